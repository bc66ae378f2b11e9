// Grade sheets, the class file, feedback.zip, the comparison of gradings and merged shards, made
// from results.json files built here.
#include "classresults.h"
#include "gradebook/classfile.h"
#include "gradebook/compare.h"
#include "gradebook/gradebook.h"
#include "gradebook/merge.h"
#include "gradebook/pages.h"
#include "gradebook/sheets.h"
#include "judge/utf8.h"

#include <QTemporaryDir>
#include <QtTest>
#include <archive.h>
#include <archive_entry.h>

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(QList<int>)

namespace {

ClassResults parsed(const QJsonObject &object)
{
    ClassResults results;
    std::string error;
    if (!parse_results(to_bytes(object), results, error))
        qFatal("%s", error.c_str());
    return results;
}

std::string read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

std::vector<std::string> zip_names(const std::string &zip)
{
    std::vector<std::string> names;
    archive *reader = archive_read_new();
    archive_read_support_format_zip(reader);
    archive_read_open_memory(reader, zip.data(), zip.size());
    archive_entry *entry = nullptr;
    while (archive_read_next_header(reader, &entry) == ARCHIVE_OK)
        names.push_back(archive_entry_pathname_utf8(entry));
    archive_read_free(reader);
    return names;
}

} // namespace

class TestGradebook : public QObject
{
    Q_OBJECT

private slots:
    void score_data();
    void score();
    void classFile_data();
    void classFile();
    void escapeInvalidUtf8_data();
    void escapeInvalidUtf8();
    void gradesCsvReadsBack();
    void worksheet_data();
    void worksheet();
    void worksheetRefused_data();
    void worksheetRefused();
    void aBadWorksheetLeavesTheOtherOutputs();
    void gradesOutOfTheWorksheetsMaximum();
    void feedbackZipFolders();
    void hostileOutputIsEscaped();
    void compareGradings();
    void threeShardsMergedAreOneRun();
    void badShards_data();
    void badShards();
    void outputsOfAnUnfinishedGrading();
    void escapeHtml_data();
    void escapeHtml();
    void anOutputThatCannotBeWritten_data();
    void anOutputThatCannotBeWritten();
    void longCasesShownInPart();
    void languageOfWhatStudentsReceive_data();
    void languageOfWhatStudentsReceive();
    void buildingsWordsTranslated_data();
    void buildingsWordsTranslated();
    void skippedEntriesTranslated_data();
    void skippedEntriesTranslated();
    void whatEachOutputSays_data();
    void whatEachOutputSays();
};

void TestGradebook::score_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("verdicts");
    QTest::addColumn<int>("findings");
    QTest::addColumn<QByteArray>("rule"); // scoring as results.json writes it
    QTest::addColumn<double>("points");   // -1: no points at all
    const QByteArray plain = R"({"points": 100})";
    const QByteArray groups = R"({"points": 100, "groups": [
        {"name": "a", "weight": 1, "cases": [0, 1, 2, 3, 4]},
        {"name": "b", "weight": 3, "cases": [5, 6, 7, 8, 9]}]})";
    const QByteArray all_or_nothing = R"({"points": 40, "groups": [
        {"name": "a", "weight": 1, "cases": [0, 1]},
        {"name": "b", "weight": 1, "all_or_nothing": true, "cases": [2, 3]}]})";
    QTest::newRow("share of correct cases") << "graded"
                                            << "ccccccccww" << 0 << plain << 80.0;
    QTest::newRow("thirds round to hundredths") << "graded"
                                                << "ccw" << 0 << plain << 66.67;
    QTest::newRow("time-outs count wrong") << "graded"
                                           << "cttt" << 0 << plain << 25.0;
    QTest::newRow("cases the grader failed are left out") << "graded"
                                                          << "cccn" << 0 << plain << 100.0;
    QTest::newRow("does not compile earns 0") << "does not compile"
                                              << "" << 0 << plain << 0.0;
    QTest::newRow("a Windows program earns 0") << "a Windows program"
                                               << "" << 0 << plain << 0.0;
    QTest::newRow("grader failure gives no points") << "not graded"
                                                    << "" << 0 << plain << -1.0;
    QTest::newRow("weighted groups") << "graded"
                                     << "cccccwwwww" << 0 << groups << 25.0;
    QTest::newRow("all or nothing group with one wrong") << "graded"
                                                         << "cccw" << 0 << all_or_nothing << 20.0;
    QTest::newRow("memcheck penalty")
        << "graded"
        << "cccc" << 2 << QByteArray(R"({"points": 10, "memcheck_penalty": 3})") << 7.0;
    QTest::newRow("penalty never below 0")
        << "graded"
        << "wwww" << 1 << QByteArray(R"({"points": 10, "memcheck_penalty": 3})") << 0.0;
}

void TestGradebook::score()
{
    QFETCH(QString, status);
    QFETCH(QString, verdicts);
    QFETCH(int, findings);
    QFETCH(QByteArray, rule);
    QFETCH(double, points);
    StudentRecord student;
    std::string error;
    QVERIFY2(student_from_json(student_json({"Ann", "101", status, verdicts, "x", findings}),
                               student, error),
             error.c_str());
    const auto got = ::score(student, rule_from_json(QJsonDocument::fromJson(rule).object()));
    QCOMPARE(got.value_or(-1), points);
}

void TestGradebook::classFile_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("error"); // empty: read
    QTest::newRow("the example") << example_class_file() << std::string();
    QTest::newRow("groups") << std::string("[[groups]]\nname = \"a\"\ncases = [1, 3]\n")
                            << std::string();
    QTest::newRow("cases are numbered from 1")
        << std::string("[[groups]]\nname = \"a\"\ncases = [0, 2]\n")
        << std::string("c.toml:3: cases of a group are numbers of cases, from 1");
    QTest::newRow("not TOML names its line")
        << std::string("exercise = \"queue\"\npoints = \n") << std::string("c.toml:2: ");
    QTest::newRow("misspelt key") << std::string("exercise = \"queue\"\npionts = 5\n")
                                  << std::string("c.toml:2: unknown key \"pionts\"");
    QTest::newRow("misspelt key in a table")
        << std::string("[limits]\nwall_second = 5\n") << std::string("c.toml:2: unknown key");
    QTest::newRow("unknown exercise")
        << std::string("exercise = \"heap\"\n") << std::string("c.toml:1: exercise must be");
    QTest::newRow("wrong kind") << std::string("[limits]\n\nwall_seconds = \"ten\"\n")
                                << std::string("c.toml:3: wall_seconds must be a number");
    QTest::newRow("fraction of a whole number")
        << std::string("jobs = 1.5\n") << std::string("c.toml:1: jobs must be a whole");
    QTest::newRow("negative case of a group")
        << std::string("[[groups]]\nname = \"a\"\ncases = [1, -2]\n")
        << std::string("c.toml:3: cases of a group");
    QTest::newRow("penalty above the maximum") << std::string("points = 5\nmemcheck_penalty = 6\n")
                                               << std::string("memcheck_penalty (6) is more");
    QTest::newRow("a language without translation")
        << std::string("language = \"fr\"\n")
        << std::string("c.toml:1: language must be \"zh_CN\" or \"en\"");
    QTest::newRow("a source to build outside the hand-in")
        << std::string("[build.sources]\n\"2021001\" = \"../other/queue.cpp\"\n")
        << std::string("c.toml:2: \"../other/queue.cpp\" is not a file inside the hand-in");
    QTest::newRow("an absolute source to build")
        << std::string("[build.sources]\n\"2021001\" = [\"queue.cpp\", \"/etc/passwd\"]\n")
        << std::string("c.toml:2: \"/etc/passwd\" is not a file inside the hand-in");
    QTest::newRow("a source to build that is not a name")
        << std::string("[build.sources]\n\"2021001\" = 3\n")
        << std::string("c.toml:2: the sources of \"2021001\" must be a file name");
    QTest::newRow("unknown case list")
        << std::string("[cases]\nsource = \"all\"\n") << std::string("c.toml:2: source must be");
}

void TestGradebook::classFile()
{
    QFETCH(std::string, text);
    QFETCH(std::string, error);
    ClassFile settings;
    settings.compiler = "kept";
    std::string got;
    const bool ok = parse_class_file(text, "c.toml", settings, got);
    QVERIFY2(ok == error.empty(), got.c_str());
    QVERIFY2(got.rfind(error, 0) == 0 || got.find(error) != std::string::npos, got.c_str());
    if (!ok) // a bad file changes nothing
        QCOMPARE(settings.compiler, std::string("kept"));
    if (QByteArray(QTest::currentDataTag()) == "groups") {
        QCOMPARE(settings.groups.size(), std::size_t(1));
        QCOMPARE(settings.groups[0].cases, std::vector<int>({0, 2}));
        QCOMPARE(settings.compiler, std::string("kept")); // what the file does not say stays
    }
    if (QByteArray(QTest::currentDataTag()) == "the example")
        QCOMPARE(settings.exercise.value_or(Exercise::Stack), Exercise::Queue);
}

void TestGradebook::escapeInvalidUtf8_data()
{
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<std::string>("text");
    QTest::newRow("UTF-8 stays") << std::string("队列 ok\n") << std::string("队列 ok\n");
    QTest::newRow("GBK bytes") << std::string("\xB6\xD3\xC1\xD0")
                               << std::string("\\xB6\\xD3\\xC1\\xD0");
    QTest::newRow("backslash doubles") << std::string("a\\xB6") << std::string("a\\\\xB6");
    QTest::newRow("cut sequence at the end")
        << std::string("a\xE9\x98") << std::string("a\\xE9\\x98");
    QTest::newRow("overlong slash") << std::string("\xC0\xAF") << std::string("\\xC0\\xAF");
    QTest::newRow("surrogate") << std::string("\xED\xA0\x80") << std::string("\\xED\\xA0\\x80");
    QTest::newRow("NUL kept") << std::string("a\0b", 3) << std::string("a\0b", 3);
}

void TestGradebook::escapeInvalidUtf8()
{
    QFETCH(std::string, bytes);
    QFETCH(std::string, text);
    QCOMPARE(escape_invalid_utf8(bytes), text);
}

void TestGradebook::gradesCsvReadsBack()
{
    const ClassResults results = parsed(class_json(hostile_class()));
    Points points;
    for (const StudentRecord &s : results.students)
        points.push_back(::score(s, ScoringRule{}));
    const std::string csv = grades_csv(results, points, ScoringRule{});
    QVERIFY(csv.rfind(utf8_bom, 0) == 0);
    std::vector<std::vector<std::string>> rows;
    std::string error;
    QVERIFY2(parse_csv(csv, rows, error), error.c_str());
    QCOMPARE(rows.size(), results.students.size() + 1);
    for (std::size_t i = 0; i < results.students.size(); ++i) {
        const auto &row = rows[i + 1];
        QCOMPARE(row.size(), std::size_t(11));
        QCOMPARE(row[0], spreadsheet_text(results.students[i].name));
        QCOMPARE(row[2], word(results.students[i].status));
    }
    // A name a spreadsheet would run as a formula is read as text; the others stay as they are.
    QCOMPARE(rows[3][0], std::string("'=cmd|\"a,b\"\nx"));
    QCOMPARE(rows[4][3], std::string("80"));
    QCOMPARE(rows[7][3], std::string()); // not graded: no points, not 0
}

namespace {

// A worksheet as the course website writes it for a class of four participants: Ann (80 of 100),
// Zoe (not in this class), Bob (does not compile: 0) and 李四 (not graded: left as it is).
QByteArray worksheet_csv(const QStringList &header, const QString &prefix, const QString &maximum,
                         const char *line_end = "\r\n")
{
    QString text = header.join(',') + line_end;
    const QList<QStringList> people
        = {{"101", "Ann"}, {"999", "Zoe"}, {"102", "Bob"}, {"105", "李四"}};
    for (const QStringList &p : people)
        text += QStringLiteral("\"%1%2\",\"%3\",\"%3@x\",\"\",\"%4\",\"-\",\"old\",\"x\"")
                    .arg(prefix, p[0], p[1], maximum)
                + line_end;
    return text.toUtf8();
}

} // namespace

void TestGradebook::worksheet_data()
{
    // The strings of each language's worksheet as the course website's language packs write
    // them: identifier, name, e-mail, grade, maximum grade, last change, feedback, one other.
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QString>("grade"); // Ann's grade as the sheet writes numbers
    QTest::addColumn<bool>("comments"); // a last change and feedback column were recognised
    const auto row = [](const char *name, QStringList words, const QString &prefix,
                        const QString &maximum, const QString &grade) {
        words.insert(1, QStringLiteral("name"));
        words.insert(2, QStringLiteral("mail"));
        words.append(QStringLiteral("other"));
        QTest::newRow(name) << worksheet_csv(words, prefix, maximum) << grade << true;
    };
    // identifier, grade, maximum, last modified (grade), feedback comments
    row("Chinese since 2020", {"标识符", "成绩", "最高分", "上次修改（评分）", "反馈意见"},
        "参与人", "100.00", "80.00");
    row("Chinese before 2020", {"识别码", "成绩", "最高成绩", "最后修改（教师）", "评语反馈"},
        "参与者", "100.00", "80.00");
    row("English",
        {"Identifier", "Grade", "Maximum Grade", "Last modified (grade)", "Feedback comments"},
        "Participant ", "100.00", "80.00");
    row("German, decimal comma",
        {"ID", "Bewertung", "Bestwertung", "Zuletzt geändert (Bewertung)",
         "Feedback als Kommentar"},
        "Teilnehmer/in", "100,00", "80,00");
    row("French",
        {"Identifiant", "Note", "Note maximale", "Dernière modification (note)",
         "Feedback par commentaires"},
        "Participant", "100,00", "80,00");
    row("Spanish",
        {"Identificador", "Calificación", "Calificación máxima",
         "Última modificación (calificación)", "Comentarios de retroalimentación"},
        "Participante", "100.00", "80.00");
    row("Japanese", {"ID", "評点", "最大評点", "最終更新日時 (評定)", "フィードバックコメント"},
        "参加者", "100.00", "80.00");
    row("Korean", {"식별자", "성적", "최대 성적", "마지막 수정됨(성적)", "피드백 코멘트"}, "참가자",
        "100.00", "80.00");
    row("Russian",
        {"Идентификатор", "Оценка", "Максимальная оценка", "Последнее изменение (оценка)",
         "Отзыв в виде комментария"},
        "Участник", "100,00", "80,00");
    row("Portuguese, older identifier",
        {"Número de identificação", "Avaliação", "Nota máxima", "Última atualização (avaliação)",
         "Comentários de feedback"},
        "Participante", "100.00", "80.00");
    row("Italian",
        {"Identificativo", "Valutazione", "Valutazione massima", "Ultima modifica (valutazione)",
         "Commenti"},
        "Partecipante", "100", "80");
    QTest::newRow("English prefix without a space, LF line ends")
        << worksheet_csv({"Identifier", "name", "mail", "Grade", "Maximum grade",
                          "Last modified (grade)", "Feedback comments", "other"},
                         "Participant", "100.00", "\n")
        << "80.00" << true;
    QTest::newRow("a language not known: the prefix every identifier shares") << worksheet_csv(
        {"Tunniste", "Nimi", "Posti", "Arvosana", "Enimmäis", "Muokattu", "Palaute", "Muu"},
        "Osallistuja", "100.00") << "80.00" << false;
}

void TestGradebook::worksheet()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QString, grade);
    QFETCH(bool, comments);
    const ClassResults results = parsed(class_json(hostile_class()));
    Points points;
    for (const StudentRecord &s : results.students)
        points.push_back(::score(s, ScoringRule{}));
    Worksheet read;
    std::string error;
    std::vector<std::string> notes;
    QVERIFY2(read_worksheet(sheet.toStdString(), results, read, error, notes), error.c_str());
    Language english;
    QVERIFY2(english.load("en", error), error.c_str());
    const std::string out = fill_worksheet(read, results, points, ScoringRule{}, english, notes);
    std::vector<std::vector<std::string>> before, after;
    QVERIFY(parse_csv(sheet.toStdString(), before, error) && parse_csv(out, after, error));
    QCOMPARE(after.size(), before.size());
    QCOMPARE(out.find("\r\n") != std::string::npos, sheet.contains("\r\n"));
    // Ann's and Bob's grade, last change and feedback are filled; every other cell, the header
    // in the teacher's language, Zoe's row (not of this class) and 李四's (not graded) stay.
    const std::map<std::size_t, std::string> graded = {{1, grade.toStdString()}, {3, "0"}};
    for (std::size_t r = 0; r < before.size(); ++r) {
        for (std::size_t c = 0; c < before[r].size(); ++c) {
            const auto filled = graded.find(r);
            if (filled == graded.end() || (!comments && c > 3))
                QCOMPARE(after[r][c], before[r][c]);
            else if (c == 3)
                QVERIFY2(after[r][c] == filled->second
                             || (r == 3 && after[r][c].rfind("0", 0) == 0),
                         after[r][c].c_str());
            else if (c == 5)
                QCOMPARE(after[r][c], std::string("2026-12-08T10:15:00Z"));
            else if (c == 6)
                QVERIFY2(after[r][c].find(r == 1 ? "80" : "0") != std::string::npos,
                         after[r][c].c_str());
            else
                QCOMPARE(after[r][c], before[r][c]);
        }
    }
}

void TestGradebook::worksheetRefused_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<std::string>("error");
    QTest::newRow("identifiers of another assignment")
        << QByteArray("Identifier,Grade\n\"Participant 7\",\"\"\n")
        << std::string("no column of the worksheet holds identifiers");
    QTest::newRow("no grade column") << QByteArray("Tunniste,Nimi\n\"Osallistuja101\",\"Ann\"\n")
                                     << std::string("grade column was found neither");
    QTest::newRow("not CSV") << QByteArray("Identifier,Grade\n\"Participant 101\",\"5\"x\n")
                             << std::string("not CSV");
    QTest::newRow("a scale") << QByteArray("标识符,成绩,最高分\n参与人101,,优秀\n")
                             << std::string(
                                    "its maximum grade is \"优秀\", not a number of points");
    QTest::newRow("two maxima") << QByteArray(
        "Identifier,Grade,Maximum grade\nParticipant 101,,10\nParticipant 102,,20\n")
                                << std::string("its maximum grades differ (10 and 20)");
}

void TestGradebook::worksheetRefused()
{
    QFETCH(QByteArray, sheet);
    QFETCH(std::string, error);
    const ClassResults results = parsed(class_json(hostile_class()));
    Worksheet read;
    std::optional<double> maximum;
    std::string got;
    std::vector<std::string> notes;
    QVERIFY(!read_worksheet(sheet.toStdString(), results, read, got, notes)
            || !worksheet_maximum(read, maximum, got));
    QVERIFY2(got.find(error) != std::string::npos, got.c_str());
}

void TestGradebook::aBadWorksheetLeavesTheOtherOutputs()
{
    QTemporaryDir dir;
    write(dir.filePath("results.json"), to_bytes(class_json(hostile_class())));
    write(dir.filePath("sheet.csv"), "Identifier,Grade\n\"Participant 7\",\"\"\n");
    write(dir.filePath("grading-worksheet.csv"), "from an earlier run");
    GradebookOptions options;
    options.worksheet = dir.filePath("sheet.csv").toStdString();
    std::string error;
    QCOMPARE(write_outputs(dir.path().toStdString(), options, error), 3);
    QVERIFY2(error.find("sheet.csv: no column of the worksheet") != std::string::npos,
             error.c_str());
    for (const char *output :
         {"grades.csv", "report.html", "feedback.zip", "feedback/Ann_101.html"})
        QVERIFY2(QFile::exists(dir.filePath(output)), output);
    QVERIFY(!QFile::exists(dir.filePath("grading-worksheet.csv")));
}

void TestGradebook::gradesOutOfTheWorksheetsMaximum()
{
    // The class file's 100 points against the course website's 10.00: every output counts out
    // of 10, and no grade is above it.
    QTemporaryDir dir;
    write(dir.filePath("results.json"), to_bytes(class_json(hostile_class())));
    write(dir.filePath("sheet.csv"),
          worksheet_csv({"Identifier", "name", "mail", "Grade", "Maximum grade",
                         "Last modified (grade)", "Feedback comments", "other"},
                        "Participant ", "10.00"));
    GradebookOptions options;
    options.worksheet = dir.filePath("sheet.csv").toStdString();
    options.scoring = ScoringRule{100, 20, {}};
    std::vector<std::string> said;
    options.say = [&](const std::string &line) { said.push_back(line); };
    std::string error;
    QCOMPARE(write_outputs(dir.path().toStdString(), options, error), 0);
    std::vector<std::vector<std::string>> sheet, grades;
    QVERIFY(parse_csv(read(dir.filePath("grading-worksheet.csv")), sheet, error));
    QVERIFY(parse_csv(read(dir.filePath("grades.csv")), grades, error));
    QCOMPARE(sheet[1][3], std::string("6.00")); // Ann: 8 of 10, less her penalty's share (2)
    QCOMPARE(grades[4][3], std::string("6"));
    QCOMPARE(grades[4][4], std::string("10"));
    for (std::size_t r = 1; r < grades.size(); ++r)
        QVERIFY(grades[r][3].empty() || std::stod(grades[r][3]) <= 10);
    QVERIFY(std::find(said.begin(), said.end(),
                      "Worksheet: its maximum grade is 10; every grade is out of 10, not of 100 "
                      "points")
            != said.end());
}

void TestGradebook::feedbackZipFolders()
{
    QTemporaryDir dir;
    write(dir.filePath("results.json"), to_bytes(class_json(hostile_class())));
    std::string error;
    QCOMPARE(write_outputs(dir.path().toStdString(), {}, error), 0);
    std::vector<std::string> names = zip_names(read(dir.filePath("feedback.zip")));
    std::sort(names.begin(), names.end());
    // Underscores would split the folder name where the course website looks for the id, and a
    // leading dot would hide the file from it; a student whose grading failed gets a page too.
    QCOMPARE(names.size(), std::size_t(8));
    QVERIFY(std::find(names.begin(), names.end(), "王-小明_103_assignfeedback_file/feedback.html")
            != names.end());
    QVERIFY(std::find(names.begin(), names.end(), "hidden_106_assignfeedback_file/feedback.html")
            != names.end());
    QVERIFY(
        std::find(names.begin(), names.end(), "<b>Bold<-b>_107_assignfeedback_file/feedback.html")
        != names.end());
    QVERIFY(std::find(names.begin(), names.end(),
                      "=cmd|\"a,b\"-x_108_assignfeedback_file/feedback.html")
            != names.end());
    QCOMPARE(QDir(dir.filePath("feedback")).entryList(QDir::Files).size(), 8);
}

void TestGradebook::hostileOutputIsEscaped()
{
    QTemporaryDir dir;
    write(dir.filePath("results.json"), to_bytes(class_json(hostile_class())));
    std::string error;
    QCOMPARE(write_outputs(dir.path().toStdString(), {}, error), 0);
    const std::string report = read(dir.filePath("report.html"));
    const std::string page = read(dir.filePath("feedback/Ann_101.html"));
    for (const std::string &html : {report, page}) {
        QVERIFY(html.find("<script>document.title") == std::string::npos);
        QVERIFY(html.find("<img") == std::string::npos);
        QVERIFY(html.find("<b>Bold") == std::string::npos);
        QVERIFY(html.find("<b>stray") == std::string::npos);
        // No tag fetches anything from anywhere.
        QVERIFY(!QString::fromStdString(html).contains(
            QRegularExpression("<[^>]*\\s(src|href)=\"?[a-z]+:")));
        QVERIFY(html.find("<link") == std::string::npos);
    }
    QVERIFY(page.find("&lt;script&gt;document.title=&apos;pwned&apos;&lt;/script&gt;")
            != std::string::npos);
    QVERIFY(page.find("<script") == std::string::npos);
    // Cut answers say their full size; the first differing word is marked.
    const std::string cut = read(dir.filePath("feedback/张三_104.html"));
    QVERIFY(cut.find("<span class=\"cut\"> …（共 1048576 字节）</span>") != std::string::npos);
    QVERIFY(read(dir.filePath("feedback/王-小明_103.html")).find("S 5 <mark>\\xB5\\xC4</mark> 2")
            != std::string::npos);
}

void TestGradebook::compareGradings()
{
    QList<FixtureStudent> before = hostile_class(), after = hostile_class();
    after[4].status = "graded"; // Bob's program compiles after a fix of the grader's flags
    after[4].verdicts = "cccccccccc";
    after[3].verdicts = "cccccccccc"; // Ann: 80 -> 100
    after.removeAt(5);                // 张三 left
    const ClassResults old_results = parsed(class_json(before));
    const ClassResults new_results = parsed(class_json(after));
    Points points;
    for (const StudentRecord &s : new_results.students)
        points.push_back(::score(s, ScoringRule{}));
    std::vector<std::string> lines;
    for (const Change &change : compare(old_results, new_results, points))
        lines.push_back(change_line(change));
    QCOMPARE(lines, std::vector<std::string>(
                        {"Ann (101): 80 → 100", "Bob (102): does not compile → graded, 0 → 100",
                         "张三 (104): no longer in the class (was graded, 10)"}));
}

void TestGradebook::threeShardsMergedAreOneRun()
{
    QJsonObject one_run = class_json(hostile_class());
    QJsonArray students = one_run.value("students").toArray();
    // The first two hand in the same sources: one run lists each as the other's copy, while
    // each of their parts sees only one of them.
    for (const auto &[i, j] : {std::pair<int, int>{0, 1}, std::pair<int, int>{1, 0}}) {
        QJsonObject student = students[i].toObject();
        QJsonObject build = student.value("build").toObject();
        build.insert("hash", "c0de");
        student.insert("build", build);
        student.insert("copies", QJsonArray{students[j].toObject().value("folder")});
        students[i] = student;
    }
    one_run.insert("students", students);
    std::vector<QJsonObject> shards(3, one_run);
    for (int k = 0; k < 3; ++k) {
        QJsonArray part;
        QJsonObject totals = one_run.value("totals").toObject();
        for (auto it = totals.begin(); it != totals.end(); ++it)
            it.value() = 0;
        // The k-th of every three students, as a stable split by position would give.
        for (int i = k; i < students.size(); i += 3) {
            QJsonObject student = students[i].toObject();
            student.insert("copies", QJsonArray());
            part.append(student);
            QString key = students[i].toObject().value("status").toString();
            key.remove(QStringLiteral("a ")).replace(' ', '_');
            totals.insert("students", totals.value("students").toInt() + 1);
            totals.insert(key, totals.value(key).toInt() + 1);
        }
        shards[std::size_t(k)].insert("students", part);
        shards[std::size_t(k)].insert("totals", totals);
        shards[std::size_t(k)].insert("shard", QJsonObject{{"part", 3 - k}, {"of", 3}});
    }
    shards[1].insert("date", "2026-12-08T10:14:00Z"); // the parts end at different times
    QJsonObject merged;
    std::string error;
    QVERIFY2(merge_documents(shards, merged, error), error.c_str());
    QCOMPARE(merged, one_run);

    // Through the folders, as `orvimet-cli merge` does it.
    QTemporaryDir dir;
    std::vector<std::string> folders;
    for (int k = 0; k < 3; ++k) {
        const QString folder = dir.filePath(QString::number(k));
        QDir().mkpath(folder);
        write(folder + "/results.json", to_bytes(shards[std::size_t(k)]));
        folders.push_back(folder.toStdString());
    }
    const std::string out = dir.filePath("merged").toStdString();
    QVERIFY2(merge_results(folders, out, error), error.c_str());
    QCOMPARE(QJsonDocument::fromJson(
                 QByteArray::fromStdString(read(dir.filePath("merged/results.json"))))
                 .object(),
             one_run);
    QVERIFY(!merge_results({folders[0], out}, out, error));
}

void TestGradebook::badShards_data()
{
    QTest::addColumn<QByteArray>("change"); // JSON merged into the second part
    QTest::addColumn<std::string>("error");
    QTest::newRow("other flags")
        << QByteArray(R"({"build": {"compiler": "g++", "flags": ["-O0"]}})")
        << std::string("part 2 was graded differently from part 1: \"build.flags\" is [\"-O0\"]");
    QTest::newRow("another seed")
        << QByteArray(R"({"cases": {"source": "ten", "count": 10, "seed": 7, "explore": 0}})")
        << std::string("graded differently from part 1: \"cases.seed\" is 7, not 42");
    QTest::newRow("unfinished") << QByteArray(R"({"complete": false})")
                                << std::string("part 2 did not finish");
    QTest::newRow("the same shard twice") << QByteArray(R"({"shard": {"part": 1, "of": 2}})")
                                          << std::string("part 2 is shard 1/2, which does not fit");
    QTest::newRow("a student twice")
        << QByteArray(R"({"students": "first"})") << std::string("is in more than one part");
}

void TestGradebook::badShards()
{
    QFETCH(QByteArray, change);
    QFETCH(std::string, error);
    QJsonObject first = class_json(hostile_class());
    first.insert("shard", QJsonObject{{"part", 1}, {"of", 2}});
    QJsonObject second = first;
    second.insert("shard", QJsonObject{{"part", 2}, {"of", 2}});
    second.insert("students", QJsonArray());
    const QJsonObject changes = QJsonDocument::fromJson(change).object();
    for (auto it = changes.begin(); it != changes.end(); ++it)
        second.insert(it.key(),
                      it.value() == QJsonValue("first") ? first.value(it.key()) : it.value());
    QJsonObject merged;
    std::string got;
    QVERIFY(!merge_documents({first, second}, merged, got));
    QVERIFY2(got.find(error) != std::string::npos, got.c_str());
}

void TestGradebook::outputsOfAnUnfinishedGrading()
{
    QTemporaryDir dir;
    QJsonObject results = class_json(hostile_class());
    results.insert("complete", false);
    write(dir.filePath("results.json"), to_bytes(results));
    std::string error;
    QCOMPARE(write_outputs(dir.path().toStdString(), {}, error), 2);
    QVERIFY2(error.find("did not finish") != std::string::npos, error.c_str());
    QVERIFY(!QFile::exists(dir.filePath("grades.csv")));

    // Finished, the rule given is written back with each student's points.
    results.insert("complete", true);
    write(dir.filePath("results.json"), to_bytes(results));
    GradebookOptions options;
    options.scoring = ScoringRule{10, 2, {}};
    QCOMPARE(write_outputs(dir.path().toStdString(), options, error), 0);
    const QJsonObject written
        = QJsonDocument::fromJson(QByteArray::fromStdString(read(dir.filePath("results.json"))))
              .object();
    QCOMPARE(written.value("scoring").toObject().value("memcheck_penalty").toDouble(), 2.0);
    const QJsonArray students = written.value("students").toArray();
    QCOMPARE(students[3].toObject().value("points").toDouble(), 6.0); // Ann: 8 of 10, less 2
    QVERIFY(students[6].toObject().value("points").isNull());         // 李四: not graded
}

void TestGradebook::escapeHtml_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("html");
    QTest::newRow("nothing to escape") << std::string() << std::string();
    QTest::newRow("text and bytes kept")
        << std::string("张三 S 5 \\xB5 \xB5") << std::string("张三 S 5 \\xB5 \xB5");
    QTest::newRow("every special character")
        << std::string("&<>\"'") << std::string("&amp;&lt;&gt;&quot;&apos;");
    QTest::newRow("at both ends of the text")
        << std::string("'a & b<") << std::string("&apos;a &amp; b&lt;");
    QTest::newRow("an entity is shown, not read")
        << std::string("&amp;") << std::string("&amp;amp;");
}

void TestGradebook::escapeHtml()
{
    QFETCH(std::string, text);
    QFETCH(std::string, html);
    QCOMPARE(escape_html(text), html);
}

void TestGradebook::anOutputThatCannotBeWritten_data()
{
    QTest::addColumn<QString>("output");
    QTest::newRow("a feedback page") << "feedback/Ann_101.html";
    QTest::newRow("feedback.zip") << "feedback.zip";
    QTest::newRow("the report") << "report.html";
}

void TestGradebook::anOutputThatCannotBeWritten()
{
    // The outputs are made side by side; whichever fails, the run says which and leaves
    // results.json as it was.
    QFETCH(QString, output);
    QTemporaryDir dir;
    const QByteArray results = to_bytes(class_json(hostile_class()));
    write(dir.filePath("results.json"), results);
    QVERIFY(QDir(dir.path()).mkpath(output));
    std::string error;
    QCOMPARE(write_outputs(dir.path().toStdString(), {}, error), 1);
    QVERIFY2(error.find(output.toStdString()) != std::string::npos, error.c_str());
    QCOMPARE(QByteArray::fromStdString(read(dir.filePath("results.json"))), results);
}

QTEST_GUILESS_MAIN(TestGradebook)
#include "tst_gradebook.moc"

void TestGradebook::longCasesShownInPart()
{
    // A case of thousands of values: its options and a correct answer are shown in part with
    // their size, on the page and in the report, so that a class of such cases stays readable.
    QJsonObject results = class_json({{"Ann", "101", "graded", "cw"}});
    QJsonArray students = results.value("students").toArray();
    QJsonObject ann = students[0].toObject();
    QJsonArray cases = ann.value("cases").toArray();
    const QString options = QStringLiteral("-S 9999 -I") + QStringLiteral(" 12345").repeated(500);
    const QString answer = QStringLiteral("12345 ").repeated(400);
    for (int i = 0; i < cases.size(); ++i) {
        QJsonObject c = cases[i].toObject();
        c.insert("options", options);
        c.insert("reference", answer);
        c.insert("reference_bytes", answer.size());
        cases[i] = c;
    }
    ann.insert("cases", cases);
    students[0] = ann;
    results.insert("students", students);
    QTemporaryDir dir;
    write(dir.filePath("results.json"), to_bytes(results));
    std::string error;
    QCOMPARE(write_outputs(dir.path().toStdString(), {}, error), 0);
    for (const QString &file :
         {QStringLiteral("report.html"), QStringLiteral("feedback/Ann_101.html")}) {
        const std::string html = read(dir.filePath(file));
        QVERIFY2(html.find("3010 字节") != std::string::npos, qPrintable(file));
        QVERIFY2(html.find("2400 字节") != std::string::npos, qPrintable(file));
        QVERIFY2(html.size() < 12000, qPrintable(file));
    }
}

void TestGradebook::whatEachOutputSays_data()
{
    // Ann's sources are Bob's; 张三's program crashed on its second case; .hidden has every case
    // right.
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("a feedback page names no other student, numbers cases from 1")
        << "feedback/Ann_101.html" << QStringList{"<td>1<td>", "<td>10<td>"}
        << QStringList{"Bob", "102", "<td>0<td>"};
    QTest::newRow("the report names copies by name and id, counts crashes")
        << "report.html"
        << QStringList{"identical to those of Bob (102)", ">Crashes</th>",
                       "<td>1</td><td>8</td><td>0</td><td>1</td><td>0</td>"}
        << QStringList{"Bob_102_assignsubmission"};
    QTest::newRow("the histogram's top bar holds the maximum")
        << "report.html" << QStringList{"<title>100: 1</title>", "<title>90 to under 100: 0"}
        << QStringList{"90 to 100"};
    QTest::newRow("grades.csv names copies by name and id, counts crashes")
        << "grades.csv"
        << QStringList{"\"Crashes\"", "\"Bob (102)\"",
                       "\"10\",\"100\",\"1\",\"8\",\"0\",\"1\",\"0\""}
        << QStringList{"Bob_102_assignsubmission"};
}

void TestGradebook::whatEachOutputSays()
{
    QFETCH(QString, output);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QList<FixtureStudent> roster = hostile_class();
    roster[5].verdicts = "cxwwwwwwww";
    QJsonObject results = class_json(roster);
    QJsonArray students = results.value("students").toArray();
    QJsonObject ann = students[3].toObject();
    ann.insert("copies", QJsonArray{students[4].toObject().value("folder")});
    students[3] = ann;
    results.insert("students", students);
    QTemporaryDir dir;
    write(dir.filePath("results.json"), to_bytes(results));
    std::string error;
    GradebookOptions options;
    options.language = "en";
    QCOMPARE(write_outputs(dir.path().toStdString(), options, error), 0);
    const QString text = QString::fromStdString(read(dir.filePath(output)));
    for (const QString &words : present)
        QVERIFY2(text.contains(words), qPrintable(words));
    for (const QString &words : absent)
        QVERIFY2(!text.contains(words), qPrintable(words));
}

void TestGradebook::languageOfWhatStudentsReceive_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("verdicts");
    QTest::addColumn<QStringList>("page"); // on the feedback page
    QTest::addColumn<QString>("comment");  // the worksheet's comment
    QTest::newRow("Chinese, the course's")
        << "zh_CN"
        << "ccccccctxw"
        << QStringList{"<html lang=\"zh-CN\">",
                       "<h1>你的队列程序的反馈</h1>",
                       "共 10 个用例：正确 7 个，错误 1 个，超时 1 个，崩溃 1 个。",
                       "<td>超时",
                       "<th>标准答案</th>",
                       "70 分（满分 100）"}
        << "70 分（满分 100）。10 个用例中正确 7 个，超时 1 个，崩溃 1 个。详见附件中的反馈页面。";
    QTest::newRow("English, one of each")
        << "en"
        << "ccccccctxw"
        << QStringList{"<html lang=\"en\">",
                       "Of 10 cases: 7 correct, 1 wrong, 1 time-out, 1 crash."}
        << "70 of 100 points. 7 of 10 cases correct, 1 time-out, 1 crash. See the attached "
           "feedback page.";
    QTest::newRow("English, several and one case")
        << "en"
        << "tt" << QStringList{"2 time-outs, 0 crashes."}
        << "0 of 100 points. 0 of 2 cases correct, 2 time-outs. See the attached feedback page.";
    QTest::newRow("English, a single case") << "en"
                                            << "c" << QStringList{"Of 1 case: 1 correct"}
                                            << "100 of 100 points. 1 of 1 case correct. See "
                                               "the attached feedback page.";
}

void TestGradebook::languageOfWhatStudentsReceive()
{
    QFETCH(QString, language);
    QFETCH(QString, verdicts);
    QFETCH(QStringList, page);
    QFETCH(QString, comment);
    Language loaded;
    std::string error;
    QVERIFY2(loaded.load(language.toStdString(), error), error.c_str());
    const ClassResults results = parsed(class_json({{"Ann", "101", "graded", verdicts}}));
    const StudentRecord &ann = results.students[0];
    const auto points = ::score(ann, ScoringRule{});
    const QString html = QString::fromStdString(feedback_page(
        results, ann, student_details(results, ann, points, ScoringRule{}, loaded), loaded));
    for (const QString &words : page)
        QVERIFY2(html.contains(words), qPrintable(words));
    QCOMPARE(QString::fromStdString(feedback_comment(ann, points, ScoringRule{}, loaded)), comment);
}

void TestGradebook::buildingsWordsTranslated_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english"); // as building writes the message
    QTest::newRow("build time-out")
        << "build time-out" << QStringList{"60"} << "编译失败：编译用时超过 60 秒"
        << "does not compile: the build took longer than 60 s";
    QTest::newRow("program too large")
        << "program too large" << QStringList{"64"} << "编译失败：程序大于 64 MiB"
        << "does not compile: the program is larger than 64 MiB";
    QTest::newRow("compiler cpu")
        << "compiler cpu" << QStringList{"30"} << "编译失败：编译器用掉的 CPU 时间超过 30 秒"
        << "does not compile: the compiler used more than 30 s of CPU time";
    QTest::newRow("compiler killed")
        << "compiler killed" << QStringList{} << "编译失败：编译器到达 CPU 时间或内存的上限，被终止"
        << "does not compile: the compiler was killed at a limit of CPU time or memory";
    QTest::newRow("two files empty")
        << "empty" << QStringList{"a.cpp", "b.cpp"} << "未提交：a.cpp、b.cpp 是空的"
        << "nothing handed in: a.cpp, b.cpp are empty";
    QTest::newRow("a name with mark-up stays text")
        << "several mains" << QStringList{"<b>.cpp", "x.cpp"}
        << "2 个文件都定义了 main：&lt;b&gt;.cpp、x.cpp"
        << "2 files define main: &lt;b&gt;.cpp, x.cpp";
    QTest::newRow("could not start")
        << "could not start" << QStringList{"no such file"} << "无法运行：no such file"
        << "could not start: no such file";
    QTest::newRow("the grader could not build it")
        << "grader build" << QStringList{"disk full"} << "评分程序未能编译它：disk full"
        << "the grader could not build it: disk full";
    QTest::newRow("the grader could not take the program")
        << "grader program" << QStringList{"disk full"} << "评分程序未能取用编译好的程序：disk full"
        << "the grader could not take the built program: disk full";
    QTest::newRow("interrupted") << "interrupted" << QStringList{} << "评分被中断"
                                 << "the grading was interrupted";
    QTest::newRow("a source the class file names")
        << "source not handed in" << QStringList{"orvimet.toml:4", "q.cpp"}
        << "orvimet.toml:4 指定编译 q.cpp，但它不在提交的源文件中"
        << "orvimet.toml:4 names q.cpp to build, which is not one of the sources handed in";
    QTest::newRow("a Windows program")
        << "windows program" << QStringList{} << "Windows 程序：请提交源代码"
        << "a Windows program: hand in the sources";
    QTest::newRow("nothing handed in") << "nothing handed in" << QStringList{} << "未提交"
                                       << "nothing handed in";
    QTest::newRow("an archive in an archive")
        << "nested archive" << QStringList{} << "未提交（压缩包里的压缩包不会被解压）"
        << "nothing handed in (an archive inside an archive is not unpacked)";
    QTest::newRow("one archive of a folder")
        << "one archive" << QStringList{}
        << "未提交（文件夹中没有源文件时，只解压其中唯一的一个压缩包）"
        << "nothing handed in (only one archive of a folder without sources is unpacked)";
    QTest::newRow("a share of the class's archive too large")
        << "share too large" << QStringList{"64"}
        << "在全班的压缩包中，该学生的文件解压后超过 64 MiB"
        << "in the class&apos;s archive, this student&apos;s files unpack to more than 64 MiB";
    QTest::newRow("a share of the class's archive a zip bomb")
        << "share ratio" << QStringList{"100"}
        << "在全班的压缩包中，该学生的文件解压后超过原大小的 100 倍（压缩炸弹）"
        << "in the class&apos;s archive, this student&apos;s files unpack to more than 100 times "
           "their size (a zip bomb)";
    QTest::newRow("a link in the student's archive")
        << "refused link" << QStringList{"work.zip", "queue.cpp"} << "work.zip：链接：queue.cpp"
        << "work.zip: a link: queue.cpp";
    QTest::newRow("a file copied in too large")
        << "refused file too large" << QStringList{"", "64 MiB", "a.out"}
        << "文件大于 64 MiB：a.out"
        << "a file larger than 64 MiB: a.out";
    QTest::newRow("folders too deep") << "refused too deep" << QStringList{"w.tar", "64", "a/b"}
                                      << "w.tar：文件夹嵌套超过 64 层：a/b"
                                      << "w.tar: folders nested more than 64 deep: a/b";
    QTest::newRow("a kind this version does not know")
        << "a new kind" << QStringList{"7"} << "the message as written"
        << "the message as written";
}

void TestGradebook::skippedEntriesTranslated_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("kind"); // of the message, or none
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("chinese");
    QTest::newRow("graded, three skipped and two more")
        << "graded"
        << ""
        << "skipped: a link: a/p; a name too long: a/x; a file larger than 2 MiB: a/b; and 2 more"
        << "已跳过：链接：a/p；名字太长：a/x；文件大于 2 MiB：a/b；另有 2 个";
    QTest::newRow("nothing handed in, one skipped") << "nothing handed in"
                                                    << "nothing handed in"
                                                    << "nothing handed in; skipped: a link: a/p"
                                                    << "未提交；已跳过：链接：a/p";
}

// The notes of entries skipped in a student's share of the class's archive read in the students'
// language after the intake's sentence; in English as the intake wrote them.
void TestGradebook::skippedEntriesTranslated()
{
    QFETCH(QString, status);
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QFETCH(QString, chinese);
    QJsonObject results = class_json({{"Ann", "101", status, ""}});
    QJsonArray students = results["students"].toArray();
    QJsonObject ann = students[0].toObject();
    ann.insert("message", message);
    if (!kind.isEmpty())
        ann.insert("reason", QJsonObject{{"kind", kind}, {"values", QJsonArray{}}});
    const auto note = [](const char *kind, QStringList values) {
        return QJsonObject{{"kind", kind}, {"values", QJsonArray::fromStringList(values)}};
    };
    QJsonArray skipped{note("refused link", {"a/p"})};
    if (status == "graded") {
        skipped.append(note("refused name too long", {"a/x"}));
        skipped.append(note("refused file too large", {"2 MiB", "a/b"}));
        ann.insert("skipped_more", 2);
    }
    ann.insert("skipped", skipped);
    students[0] = ann;
    results.insert("students", students);
    const ClassResults parsed_results = parsed(results);
    for (const auto &[name, said] : {std::pair{"zh_CN", chinese}, std::pair{"en", message}}) {
        Language language;
        std::string error;
        QVERIFY2(language.load(name, error), error.c_str());
        const QString html = QString::fromStdString(student_details(
            parsed_results, parsed_results.students[0], std::nullopt, ScoringRule{}, language));
        QVERIFY2(html.contains("<p>" + said + "</p>"), qPrintable(html));
    }
}

// Each kind of building's problem, of the grader's failures and of the intake's refusals reads in
// the students' language; in English as the grading wrote it, and a file of a later version with
// a kind this one does not know shows its message.
void TestGradebook::buildingsWordsTranslated()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, values);
    QFETCH(QString, chinese);
    QFETCH(QString, english);
    QJsonObject results = class_json({{"Ann", "101", "does not compile", ""}});
    QJsonArray students = results["students"].toArray();
    QJsonObject ann = students[0].toObject();
    ann.insert("message", "the message as written");
    ann.insert("reason",
               QJsonObject{{"kind", kind}, {"values", QJsonArray::fromStringList(values)}});
    students[0] = ann;
    results.insert("students", students);
    const ClassResults parsed_results = parsed(results);
    for (const auto &[name, said] : {std::pair{"zh_CN", chinese}, std::pair{"en", english}}) {
        Language language;
        std::string error;
        QVERIFY2(language.load(name, error), error.c_str());
        const StudentRecord &s = parsed_results.students[0];
        const QString html = QString::fromStdString(
            student_details(parsed_results, s, std::nullopt, ScoringRule{}, language));
        QVERIFY2(html.contains("<p>" + said + "</p>"), qPrintable(html));
    }
}
