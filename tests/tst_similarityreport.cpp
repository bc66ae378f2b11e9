// The teacher's similarity outputs: hostile names and sources are shown as text on the pair
// pages, under the report's content security policy; similarity.csv does not let a spreadsheet
// run a name; the pages of an earlier grading do not outlive it. And the grading's side: the
// students' files read bounded, the template read from the teacher's files, an earlier class's
// fingerprints refused when they are not.
#include "classresults.h"
#include "gradebook/gradebook.h"
#include "gradebook/similarityreport.h"
#include "grading/classsimilarity.h"
#include "similarityclass.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A planted copy of student 1 under `name`, whose stack.cpp ends with `tail`.
std::vector<StudentSources> pair_of(const std::string &name, const std::string &tail)
{
    StackPlan p;
    std::vector<StudentSources> out = {stack_solution("s1", p), stack_solution(name, p)};
    out[1].files[1].text += tail;
    out[1].files[1].name = name + ".cpp";
    return out;
}

Language loaded(const char *name)
{
    Language language;
    std::string error;
    if (!language.load(name, error))
        qFatal("%s", error.c_str());
    return language;
}

StackPlan plan_of(unsigned seed)
{
    StackPlan p;
    p.choices = p.names = p.order = p.style = seed;
    return p;
}

} // namespace

class TestSimilarityReport : public QObject
{
    Q_OBJECT

private slots:
    void hostileTextIsShownAsText_data();
    void hostileTextIsShownAsText();
    void csvKeepsNamesAsText();
    void outputsReplaceAnEarlierGrading();
    void gradedClassIsReadBounded_data();
    void gradedClassIsReadBounded();
    void reportOpensWithTheFlaggedPairs_data();
    void reportOpensWithTheFlaggedPairs();
    void resultsHoldEachStudentsSimilar_data();
    void resultsHoldEachStudentsSimilar();
    void inTheLanguageOfTheReport_data();
    void inTheLanguageOfTheReport();
};

void TestSimilarityReport::hostileTextIsShownAsText_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QByteArray>("shown"); // what the page must hold, escaped
    QTest::newRow("markup in a name") << QByteArray("<img src=x onerror=alert(1)>") << QByteArray()
                                      << QByteArray("&lt;img src=x onerror=alert(1)&gt;");
    QTest::newRow("a script in a comment")
        << QByteArray("bob") << QByteArray("// </pre><script>alert(1)</script>\n")
        << QByteArray("&lt;/pre&gt;&lt;script&gt;alert(1)&lt;/script&gt;");
    QTest::newRow("quotes and ampersands")
        << QByteArray("a\"b'c&d") << QByteArray() << QByteArray("a&quot;b&apos;c&amp;d");
    QTest::newRow("a NUL byte and binary")
        << QByteArray("nul") << QByteArray("int x;\0\x01\xff\n", 11)
        << QByteArray("int x;\xEF\xBF\xBD");
    QTest::newRow("a line of a megabyte")
        << QByteArray("long") << ("// " + QByteArray(1 << 20, '<') + "\n")
        << QByteArray("&lt;&lt;&lt; … (1048579 bytes)");
}

void TestSimilarityReport::hostileTextIsShownAsText()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, tail);
    QFETCH(QByteArray, shown);
    const auto sources = pair_of(name.toStdString(), tail.toStdString());
    const ClassSimilarity r = compare_class(sources, stack_template());
    QCOMPARE(r.pairs.size(), std::size_t(1));
    QVERIFY(r.pairs[0].flagged);
    const QByteArray page
        = QByteArray::fromStdString(similarity_pair_page(r, 0, sources, loaded("en")));
    const QByteArray overview
        = QByteArray::fromStdString(similarity_overview_page(r, loaded("en")));
    QVERIFY(!overview.contains("<script") && !overview.contains("<img"));
    QVERIFY(overview.contains("Content-Security-Policy\" content=\"default-src 'none'"));
    QVERIFY(page.contains("Content-Security-Policy\" content=\"default-src 'none'"));
    QVERIFY2(page.contains(shown), page.left(2000).constData());
    // No markup of the student's: every tag on the page is the page's own.
    QVERIFY(!page.contains("<script"));
    QVERIFY(!page.contains("<img"));
    QVERIFY(page.size() < 2 * (1 << 20) / 1000 * 1000 + 200000);
    QVERIFY(page.contains("<mark>"));
}

void TestSimilarityReport::csvKeepsNamesAsText()
{
    const auto sources = pair_of("=HYPERLINK(\"http://x\")", "");
    const std::string csv = similarity_csv(compare_class(sources, stack_template()));
    QVERIFY(csv.find("\"'=HYPERLINK(\"\"http://x\"\")\"") != std::string::npos);
    QVERIFY(csv.find("\"yes\"") != std::string::npos);
    QVERIFY(csv.find("similarity/pair-1.html") != std::string::npos);
}

void TestSimilarityReport::outputsReplaceAnEarlierGrading()
{
    QTemporaryDir results;
    const std::string folder = results.path().toStdString();
    QVERIFY(QDir().mkpath(results.filePath("similarity")));
    QFile stale(results.filePath("similarity/pair-9.html"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    const auto sources = pair_of("copy", "");
    const ClassSimilarity r = compare_class(sources, stack_template());
    std::string error;
    QVERIFY2(write_similarity_outputs(folder, r, sources, loaded("en"), error), error.c_str());
    QVERIFY(!QFile::exists(results.filePath("similarity/pair-9.html")));
    QVERIFY(QFile::exists(results.filePath("similarity/pair-1.html")));
    QVERIFY(QFile::exists(results.filePath("similarity.csv")));
    QFile overview(results.filePath("similarity.html"));
    QVERIFY(overview.open(QIODevice::ReadOnly));
    QVERIFY(overview.readAll().contains("<a href=\"similarity/pair-1.html\">1.000</a>"));
    // The fingerprints are kept, the sources are not.
    QFile prints(results.filePath(fingerprints_file_name));
    QVERIFY(prints.open(QIODevice::ReadOnly));
    const QByteArray kept = prints.readAll();
    QVERIFY(!kept.contains("Stack::"));
    std::vector<StudentPrints> earlier;
    QVERIFY(read_fingerprints(kept.toStdString(), SimilaritySettings(), earlier, error));
    QCOMPARE(earlier.size(), std::size_t(2));
}

void TestSimilarityReport::gradedClassIsReadBounded_data()
{
    QTest::addColumn<QString>("case_");
    QTest::addColumn<QString>("error");
    QTest::newRow("a copy and a source of 100 MB") << "huge" << QString();
    QTest::newRow("the template left out") << "template" << QString();
    QTest::newRow("a template file that is missing") << "no template"
                                                     << "cannot read the template";
    QTest::newRow("an earlier class's fingerprints that are none") << "bad earlier"
                                                                   << "not a file of fingerprints";
}

void TestSimilarityReport::gradedClassIsReadBounded()
{
    QFETCH(QString, case_);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    auto put = [](const std::string &path, const std::string &text) {
        QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
        QFile f(QString::fromStdString(path));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text.data(), qint64(text.size()));
    };
    // Two students handing in the same solution, a third another one, one nothing.
    std::vector<Submission> students(4);
    const char *names[] = {"ann", "ben", "cat", "dan"};
    for (int i = 0; i < 4; ++i) {
        Submission &s = students[std::size_t(i)];
        s.folder = names[i];
        s.path = root + "/" + names[i];
        if (i == 3)
            continue;
        s.kind = SubmissionKind::Sources;
        const StudentSources code = stack_solution(names[i], plan_of(i == 1 ? 1 : unsigned(i + 1)));
        for (const SourceFile &f : code.files) {
            put(s.path + "/" + f.name, f.text);
            (f.name.size() > 2 && f.name.substr(f.name.size() - 2) == ".h" ? s.headers : s.sources)
                .push_back(s.path + "/" + f.name);
        }
    }
    SimilarityRequest request;
    if (case_ == "huge") {
        put(root + "/cat/huge.cpp", std::string(100 << 20, 'x'));
        students[2].sources.push_back(root + "/cat/huge.cpp");
    }
    if (case_ == "template" || case_ == "no template") {
        for (const SourceFile &t : stack_template()) {
            put(root + "/handout/" + t.name, t.text);
            request.template_files.push_back(root + "/handout/" + t.name);
        }
        if (case_ == "no template")
            request.template_files.push_back(root + "/handout/missing.cpp");
    }
    if (case_ == "bad earlier") {
        put(root + "/old/" + fingerprints_file_name, "<html>");
        request.earlier_results = root + "/old";
    }
    const ClassSimilarityOutcome out = class_similarity(students, request);
    QVERIFY2(QString::fromStdString(out.error).contains(error), out.error.c_str());
    if (!error.isEmpty())
        return;
    QCOMPARE(out.sources.size(), std::size_t(3));
    QCOMPARE(out.sources[0].files.front().name, std::string("main.cpp"));
    std::size_t bytes = 0;
    for (const SourceFile &f : out.sources[2].files)
        bytes += f.text.size();
    QVERIFY(bytes <= 4 * similarity_file_bytes);
    // Each source read holds about its own size until the class is compared, not the most a
    // file may give: a class of hundreds would otherwise hold gigabytes.
    for (const StudentSources &s : out.sources)
        for (const SourceFile &f : s.files)
            QVERIFY2(f.text.capacity() <= 2 * f.text.size() + 65536,
                     qPrintable(QStringLiteral("%1: %2 bytes held for %3")
                                    .arg(QString::fromStdString(f.name))
                                    .arg(f.text.capacity())
                                    .arg(f.text.size())));
    const ClassSimilarity &r = out.result;
    QVERIFY(!r.pairs.empty());
    QCOMPARE(r.students[r.pairs[0].a].student + r.students[r.pairs[0].b].student,
             std::string("annben"));
    QVERIFY(r.pairs[0].flagged);
    // Without the template, the two share the whole handed-out driver with the third as well.
    std::uint32_t cat_longest = 0;
    for (const SimilarPair &p : r.pairs) {
        if (p.a == 2 || p.b == 2)
            cat_longest = std::max(cat_longest, p.longest);
    }
    QVERIFY2((cat_longest >= 200) == (case_ != "template"),
             qPrintable(QString::number(cat_longest)));
}

void TestSimilarityReport::reportOpensWithTheFlaggedPairs_data()
{
    QTest::addColumn<unsigned>("bob_plan");
    QTest::addColumn<bool>("flagged");
    QTest::newRow("Bob copied Ann") << 1u << true;
    QTest::newRow("three solutions of their own") << 2u << false;
}

// The teacher's report names the copies at its top; a student's feedback names nobody else, and
// a class without copies gets the report it always got.
void TestSimilarityReport::reportOpensWithTheFlaggedPairs()
{
    QFETCH(unsigned, bob_plan);
    QFETCH(bool, flagged);
    const QList<FixtureStudent> roster = {{"Ann", "101", "graded", "cccccccccc"},
                                          {"Bob", "102", "graded", "cccccccccc"},
                                          {"Cat", "103", "graded", "ccccccccww"}};
    const std::vector<StudentSources> sources
        = {stack_solution("Ann", plan_of(1)), stack_solution("Bob", plan_of(bob_plan)),
           stack_solution("Cat", plan_of(3))};
    const ClassSimilarity similarity = compare_class(sources, stack_template());
    QTemporaryDir with, without;
    std::string error;
    for (QTemporaryDir *dir : {&with, &without}) {
        QFile json(dir->filePath("results.json"));
        QVERIFY(json.open(QIODevice::WriteOnly));
        json.write(to_bytes(class_json(roster)));
        json.close();
        GradebookOptions options;
        options.similarity = dir == &with ? &similarity : nullptr;
        QCOMPARE(write_outputs(dir->path().toStdString(), options, error), 0);
    }
    auto read = [](const QTemporaryDir &dir, const char *name) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray report = read(with, "report.html");
    const qsizetype link = report.indexOf("href=\"similarity/pair-1.html\"");
    QCOMPARE(link >= 0, flagged);
    if (flagged)
        QVERIFY(link < report.indexOf("id=\"counts\""));
    else
        QCOMPARE(report, read(without, "report.html"));
    for (const char *page : {"feedback/Ann_101.html", "feedback/Bob_102.html"}) {
        const QByteArray feedback = read(with, page);
        QVERIFY(!feedback.isEmpty());
        QCOMPARE(feedback, read(without, page));
        QVERIFY(!feedback.contains(page[9] == 'A' ? "Bob" : "Ann"));
    }
}

void TestSimilarityReport::resultsHoldEachStudentsSimilar_data()
{
    QTest::addColumn<bool>("compared");
    QTest::addColumn<int>("student");
    QTest::addColumn<QString>("similar");
    QTest::newRow("a copy found by its fingerprints")
        << true << 0 << "Bob_102_assignsubmission_file_ 1.000";
    QTest::newRow("its original, the other way")
        << true << 1 << "Ann_101_assignsubmission_file_ 1.000";
    QTest::newRow("a student like nobody") << true << 2 << "";
    QTest::newRow("copies of the template alone, by their bytes")
        << true << 3 << "Eve_105_assignsubmission_file_ 1.000";
    QTest::newRow("not compared: no records") << false << 0 << "none";
}

void TestSimilarityReport::resultsHoldEachStudentsSimilar()
{
    QFETCH(bool, compared);
    QFETCH(int, student);
    QFETCH(QString, similar);
    const QList<FixtureStudent> roster = {{"Ann", "101", "graded", "cccccccccc"},
                                          {"Bob", "102", "graded", "cccccccccc"},
                                          {"Cat", "103", "graded", "cccccccccc"},
                                          {"Dan", "104", "graded", "cccccccccc"},
                                          {"Eve", "105", "graded", "cccccccccc"}};
    std::vector<std::string> folders;
    for (const FixtureStudent &f : roster)
        folders.push_back(f.name.toStdString() + "_" + f.id.toStdString()
                          + "_assignsubmission_file_");
    const std::vector<StudentSources> sources = {stack_solution("Ann", plan_of(1)),
                                                 stack_solution("Bob", plan_of(1)),
                                                 stack_solution("Cat", plan_of(3)),
                                                 {"Dan", stack_template()},
                                                 {"Eve", stack_template()}};
    const ClassSimilarity similarity = compare_class(sources, stack_template());
    QJsonObject document = class_json(roster);
    QJsonArray students = document.value(QLatin1String("students")).toArray();
    for (int i : {3, 4}) {
        QJsonObject s = students[i].toObject();
        s.insert(QStringLiteral("copies"), QJsonArray{QString::fromStdString(folders[7 - i])});
        students[i] = s;
    }
    document.insert(QStringLiteral("students"), students);
    QTemporaryDir dir;
    QFile json(dir.filePath("results.json"));
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write(to_bytes(document));
    json.close();
    GradebookOptions options;
    if (compared) {
        options.similarity = &similarity;
        options.similarity_folders = folders;
    }
    std::string error;
    QCOMPARE(write_outputs(dir.path().toStdString(), options, error), 0);
    ClassResults results;
    QVERIFY2(read_results(dir.filePath("results.json").toStdString(), results, error),
             error.c_str());
    const StudentRecord &s = results.students[std::size_t(student)];
    QString found = s.similar ? QString() : QStringLiteral("none");
    for (const SimilarityRecord &r : s.similar.value_or(std::vector<SimilarityRecord>()))
        found += QString::fromStdString(r.student) + " " + QString::number(r.similarity, 'f', 3);
    QCOMPARE(found, similar);
}

QTEST_GUILESS_MAIN(TestSimilarityReport)
#include "tst_similarityreport.moc"

void TestSimilarityReport::inTheLanguageOfTheReport_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("Chinese report")
        << "zh_CN"
        << "report.html"
        << QStringList{"<h2>相似的源代码</h2>", "<p>在有共同之处的 1 对中，1 对被标记，分为 1 组。",
                       "<th>学生</th><th>另一名学生</th><th>相似度</th>"};
    QTest::newRow("Chinese overview")
        << "zh_CN"
        << "similarity.html" << QStringList{"<html lang=\"zh-CN\">", "<title>相似的源代码</title>"};
    QTest::newRow("Chinese pair page")
        << "zh_CN"
        << "similarity/pair-1.html"
        << QStringList{"<html lang=\"zh-CN\">", "<h1>相似：s1 与 copy</h1>", "个共同指纹",
                       "<th>词法单元</th>", "copy.cpp 第 "};
    QTest::newRow("English, one pair of one")
        << "en"
        << "report.html"
        << QStringList{"<p>1 flagged pair of 1 pair sharing anything, in 1 group."};
    QTest::newRow("English pair page")
        << "en"
        << "similarity/pair-1.html"
        << QStringList{"<h1>Similar: s1 and copy</h1>", "shared fingerprints · longest shared "
                                                        "fragment"};
}

// The teacher reads the similarity in the report's language, plurals right.
void TestSimilarityReport::inTheLanguageOfTheReport()
{
    QFETCH(QString, language);
    QFETCH(QString, file);
    QFETCH(QStringList, shown);
    const auto sources = pair_of("copy", "");
    const ClassSimilarity r = compare_class(sources, stack_template());
    QTemporaryDir dir;
    QFile json(dir.filePath("results.json"));
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write(to_bytes(class_json({{"Ann", "101", "graded", "cccccccccc"}})));
    json.close();
    std::string error;
    GradebookOptions options;
    options.similarity = &r;
    options.language = language.toStdString();
    QCOMPARE(write_outputs(dir.path().toStdString(), options, error), 0);
    QVERIFY2(write_similarity_outputs(dir.path().toStdString(), r, sources,
                                      loaded(language.toUtf8().constData()), error),
             error.c_str());
    QFile page(dir.filePath(file));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    for (const QString &words : shown)
        QVERIFY2(text.contains(words), qPrintable(words + "\n" + text.left(3000)));
}
