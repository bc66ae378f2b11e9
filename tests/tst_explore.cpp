// The explorer and the case lists, on the faulty class (tests/faulty/): every fault found and its
// string shrunk to one that no single reduction keeps failing, no false alarm on a harmless
// variation, every fault caught by the extended list, the same seed giving the same output; and
// the shrinker and the case-file reader on their own.
#include "testsupport.h"

#include "explore/cases.h"
#include "explore/shrink.h"
#include "grading/explorer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <map>
#include <memory>

namespace {

struct CliRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

CliRun finish(QProcess &process)
{
    CliRun run;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

CliRun run_cli(const QStringList &arguments, const QString &workdir)
{
    QProcess process;
    process.setWorkingDirectory(workdir);
    process.start(QStringLiteral(ORVIMET_CLI), arguments);
    return finish(process);
}

const QStringList exercises{"stack", "queue", "stackqueue"};

// The faulty class as built: "<exercise>-<fault>" folders, each holding <exercise>.exe.
QStringList class_folders()
{
    return QDir(QStringLiteral(ORVIMET_FAULTY_DIR)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

QString exercise_of(const QString &folder)
{
    return folder.section(QLatin1Char('-'), 0, 0);
}

QString program_of(const QString &folder)
{
    return QStringLiteral(ORVIMET_FAULTY_DIR "/") + folder + QLatin1Char('/') + exercise_of(folder)
           + QStringLiteral(".exe");
}

// Variations that change how the answer is given, never what it says.
bool harmless(const QString &folder)
{
    const QString fault = folder.section(QLatin1Char('-'), 1);
    return fault == QLatin1String("crlf") || fault == QLatin1String("answer_file")
           || fault == QLatin1String("no_line_feed");
}

// The line of `text` that begins with `label`, without it.
QByteArray field(const QByteArray &text, const QByteArray &label)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(label))
            return line.mid(label.size());
    }
    return QByteArray();
}

} // namespace

class TestExplore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void shrinkTakesEveryStep_data();
    void shrinkTakesEveryStep();
    void caseFiles_data();
    void caseFiles();

    void exploreFindsEveryFault_data();
    void exploreFindsEveryFault();
    void noFalseAlarm_data();
    void noFalseAlarm();
    void extendedListCatchesEveryFault_data();
    void extendedListCatchesEveryFault();
    void sameSeedSameOutput_data();
    void sameSeedSameOutput();
    void classRunShrinksFirstFailure();

private:
    Workbench bench;
    std::map<QString, std::unique_ptr<QProcess>> harmless_runs;
    std::map<QString, QJsonObject> extended_reports; // by folder
};

void TestExplore::initTestCase()
{
    QVERIFY2(class_folders().size() >= 20, "the faulty class is not built");
    bench.real_references();
}

void TestExplore::shrinkTakesEveryStep_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QStringList>("shrunk");

    QTest::newRow("other options go, a number is lowered as far as it fails")
        << QStringList{"-S", "5", "-I", "1", "2", "-G", "7", "-N"} << "-G at least 3"
        << QStringList{"-G", "3"};
    QTest::newRow("a non-integer stays when simpler words pass")
        << QStringList{"-S", "3", "-I", "+2", "-N"} << "+2" << QStringList{"+2"};
    QTest::newRow("a spelling with leading zeros stays when its plain form passes")
        << QStringList{"-S", "007", "-O", "-1"} << "leading zero" << QStringList{"007"};
}

void TestExplore::shrinkTakesEveryStep()
{
    QFETCH(QStringList, words);
    QFETCH(QString, failing);
    QFETCH(QStringList, shrunk);
    const auto fails = [&](const Words &w) {
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (failing == "+2" && w[i] == "+2")
                return true;
            if (failing == "leading zero" && w[i].size() > 1 && w[i][0] == '0')
                return true;
            if (failing == "-G at least 3" && w[i] == "-G" && i + 1 < w.size()
                && QByteArray::fromStdString(w[i + 1]).toInt() >= 3)
                return true;
        }
        return false;
    };
    Words start;
    for (const QString &word : words)
        start.push_back(word.toStdString());
    const Shrinking result = shrink(start, fails);
    Words expected;
    for (const QString &word : shrunk)
        expected.push_back(word.toStdString());
    QCOMPARE(result.words, expected);
    for (const Words &smaller : reductions(result.words))
        QVERIFY(!fails(smaller));
}

void TestExplore::caseFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("error");

    QTest::newRow("comments, empty lines, CR LF, optional leading blank")
        << QByteArray("# capacities\n\n-S 1 -N\r\n -S  2 -N\n-S 3")
        << QStringList{" -S 1 -N", " -S  2 -N", " -S 3"} << QString();
    QTest::newRow("a quoted empty word is kept as typed")
        << QByteArray("-S 3 -I \"\"\n") << QStringList{" -S 3 -I \"\""} << QString();
    QTest::newRow("NUL byte") << QByteArray("-S 1\n-S 2\0\n", 11) << QStringList{}
                              << "line 2 holds a NUL byte";
}

void TestExplore::caseFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    const CaseList list = parse_cases(text.toStdString());
    QCOMPARE(QString::fromStdString(list.error), error);
    if (!error.isEmpty())
        return;
    QStringList read;
    for (const std::string &o : list.options)
        read << QString::fromStdString(o);
    QCOMPARE(read, options);
}

void TestExplore::exploreFindsEveryFault_data()
{
    QTest::addColumn<QString>("folder");
    for (const QString &folder : class_folders()) {
        if (!harmless(folder))
            QTest::newRow(qPrintable(folder)) << folder;
    }
}

void TestExplore::exploreFindsEveryFault()
{
    QFETCH(QString, folder);
    const CliRun run = run_cli(
        {"explore", "-e", exercise_of(folder), "--seed", "1", program_of(folder)}, bench.path());
    QVERIFY2(run.status == 1, run.out.constData());
    // Generated words hold nothing that the terminal form escapes.
    const std::string options = field(run.out, "options:  ").toStdString();
    QCOMPARE(field(run.out, "seed:      "), QByteArray("1"));
    QVERIFY(field(run.out, "verdict:   ").startsWith("wrong"));

    // 1-minimal: the shrunk string fails, and no single reduction of it does.
    Grading grading;
    grading.exercise
        = *exercise_from_number(static_cast<int>(exercises.indexOf(exercise_of(folder))));
    grading.reference_path
        = std::string(ORVIMET_RESOURCE_DIR "/") + reference_file_name(grading.exercise);
    const StudentProgram program = student_program(program_of(folder).toStdString());
    ReferenceAnswers reference(grading, bench.dir_s());
    const auto fails = [&](const std::string &o) {
        return !judge_case(grading, program, o, reference.answer(o).text, bench.dir_s()).correct;
    };
    QVERIFY(fails(options));
    Words words;
    for (const QString &word : QProcess::splitCommand(QString::fromStdString(options)))
        words.push_back(word.toStdString());
    QCOMPARE(options_line(words), options);
    for (const Words &smaller : reductions(words))
        QVERIFY2(!fails(options_line(smaller)), options_line(smaller).c_str());
}

void TestExplore::noFalseAlarm_data()
{
    QTest::addColumn<QString>("folder");
    // Each runs to the end of the default budget: they run side by side, started here.
    for (const QString &folder : class_folders()) {
        if (!harmless(folder))
            continue;
        QTest::newRow(qPrintable(folder)) << folder;
        auto process = std::make_unique<QProcess>();
        process->setWorkingDirectory(bench.path());
        process->start(QStringLiteral(ORVIMET_CLI),
                       {"explore", "-e", exercise_of(folder), "--seed", "1", program_of(folder)});
        harmless_runs[folder] = std::move(process);
    }
}

void TestExplore::noFalseAlarm()
{
    QFETCH(QString, folder);
    const CliRun run = finish(*harmless_runs.at(folder));
    QVERIFY2(run.status == 0, run.out.constData());
    const QByteArray tried = field(run.out, "tried:     ");
    QVERIFY2(tried.contains("every answer the reference's"), tried.constData());
}

void TestExplore::extendedListCatchesEveryFault_data()
{
    QTest::addColumn<QString>("folder");
    // One class run per exercise; the rows read its report.
    for (const QString &exercise : exercises) {
        QStringList programs;
        for (const QString &folder : class_folders()) {
            if (exercise_of(folder) == exercise) {
                QTest::newRow(qPrintable(folder)) << folder;
                programs << program_of(folder);
            }
        }
        const QString json = exercise + QStringLiteral(".json");
        run_cli(QStringList{"suite", "-e", exercise, "--cases", "extended", "--json", json}
                    + programs,
                bench.path());
        for (const QJsonValue &report :
             QJsonDocument::fromJson(bench.read(json)).object().value("programs").toArray()) {
            const QString program = report.toObject().value("program").toString();
            extended_reports[QFileInfo(program).dir().dirName()] = report.toObject();
        }
    }
}

void TestExplore::extendedListCatchesEveryFault()
{
    QFETCH(QString, folder);
    const QJsonObject report = extended_reports[folder];
    const int cases = static_cast<int>(
        extended_cases(static_cast<int>(exercises.indexOf(exercise_of(folder)))).size());
    QCOMPARE(report.value("cases").toArray().size(), cases);
    if (harmless(folder))
        QCOMPARE(report.value("correct").toInt(), cases);
    else
        QVERIFY(report.value("wrong").toInt() > 0);
}

void TestExplore::sameSeedSameOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    const QString fault = program_of(QStringLiteral("stackqueue-dequeue_always_moves"));
    const QString right = program_of(QStringLiteral("stackqueue-no_line_feed"));
    QTest::newRow("explore, a fault found and shrunk")
        << QStringList{"explore", "-e", "stackqueue", "--seed", "7", fault};
    QTest::newRow("explore, nothing found")
        << QStringList{"explore", "-e", "stackqueue", "--seed", "7", "--runs", "60", right};
    QTest::newRow("suite with generated strings")
        << QStringList{"suite", "-e", "stackqueue", "--seed", "7", "--explore", "15", fault, right};
}

void TestExplore::sameSeedSameOutput()
{
    QFETCH(QStringList, arguments);
    const CliRun first = run_cli(arguments, bench.path());
    const CliRun second = run_cli(arguments, bench.path());
    QVERIFY(first.status == 0 || first.status == 1);
    QVERIFY(first.out.contains("seed"));
    QCOMPARE(second.status, first.status);
    QCOMPARE(second.out, first.out);
}

void TestExplore::classRunShrinksFirstFailure()
{
    const QString fault = program_of(QStringLiteral("stack-capacity_off_by_one"));
    const QString right = program_of(QStringLiteral("stack-crlf"));
    const CliRun run = run_cli({"suite", "-e", "stack", "--seed", "3", "--explore", "40", "--json",
                                "class.json", fault, right},
                               bench.path());
    QCOMPARE(run.status, 1);
    QVERIFY(run.out.startsWith("generated: 40 option strings, seed 3\n"));
    const QList<QByteArray> lines = run.out.split('\n');
    QVERIFY2(lines.at(2).contains(fault.toUtf8() + "  fails on: -S "), lines.at(2).constData());
    QVERIFY(lines.at(3).endsWith(right.toUtf8()));

    const QJsonArray programs
        = QJsonDocument::fromJson(bench.read("class.json")).object().value("programs").toArray();
    QStringList shrunk[2];
    for (int p = 0; p < 2; ++p) {
        const QJsonArray cases = programs.at(p).toObject().value("cases").toArray();
        QCOMPARE(cases.size(), 50);
        int first_wrong = 0;
        for (const QJsonValue &c : cases) {
            const QJsonObject one = c.toObject();
            if (!first_wrong && one.value("case").toInt() > 10 && one.value("verdict") == "wrong")
                first_wrong = one.value("case").toInt();
            if (!one.value("shrunk_options").isNull()) {
                shrunk[p] << one.value("shrunk_options").toString();
                QCOMPARE(one.value("case").toInt(), first_wrong);
            }
        }
    }
    // One shrunk string, beside the first failing generated case; none for the right program.
    QCOMPARE(shrunk[0].size(), 1);
    QVERIFY(lines.at(2).endsWith(shrunk[0].first().toUtf8()));
    QVERIFY(shrunk[1].isEmpty());
}

QTEST_MAIN(TestExplore)
#include "tst_explore.moc"
