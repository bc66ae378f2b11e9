// orvimet-cli end to end: a class of fixture programs with every way a run can end, the sample
// programs against the real reference programs and against the window's own judgement, the
// reports read back, and bad use.
#include "judge/utf8.h"
#include "windowsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>

namespace {

struct CliRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

CliRun run_cli(const QStringList &arguments, const QString &workdir,
               const QString &program = QStringLiteral(ORVIMET_CLI))
{
    QProcess process;
    process.setWorkingDirectory(workdir);
    process.start(program, arguments);
    CliRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// RFC 4180: fields in double quotes may hold commas, quotes (doubled) and line breaks; every
// record ends in CR LF.
QList<QByteArrayList> parse_csv(const QByteArray &text)
{
    QList<QByteArrayList> records;
    QByteArrayList record;
    QByteArray field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < text.size() && text.at(i + 1) == '"')
                field += text.at(++i);
            else
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record << field;
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n') {
            ++i;
            record << field;
            records << record;
            record.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    return records;
}

// A JSON field as the CSV writes it: bytes that are not UTF-8 escaped (the JSON keeps them
// exact), numbers in decimal, null as nothing.
QByteArray csv_form(const QJsonObject &object, const QString &key)
{
    const QString raw = key + QStringLiteral("_base64");
    const QJsonValue value = object.value(key);
    if (value.isDouble() && !object.contains(raw))
        return QByteArray::number(value.toInt());
    const QByteArray bytes = object.contains(raw)
                                 ? QByteArray::fromBase64(object.value(raw).toString().toLatin1())
                                 : value.toString().toUtf8();
    return QByteArray::fromStdString(escape_invalid_utf8(bytes.toStdString()));
}

// The report without its run times, which are all that may differ between two runs.
QByteArray csv_without_times(const QByteArray &csv)
{
    QByteArray out;
    for (QByteArrayList record : parse_csv(csv)) {
        record.removeAt(9);
        out += record.join('\x1f') + '\n';
    }
    return out;
}

QJsonObject json_without_times(QJsonObject root)
{
    QJsonArray programs;
    for (const QJsonValue &p : root.value(QStringLiteral("programs")).toArray()) {
        QJsonObject program = p.toObject();
        QJsonArray cases;
        for (const QJsonValue &c : program.value(QStringLiteral("cases")).toArray()) {
            QJsonObject one = c.toObject();
            one.remove(QStringLiteral("time_ms"));
            cases.append(one);
        }
        program.insert(QStringLiteral("cases"), cases);
        programs.append(program);
    }
    root.insert(QStringLiteral("programs"), programs);
    return root;
}

const QString exe = QStringLiteral("/queue.exe");

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void classTable();
    void classCounts_data();
    void classCounts();
    void wrongAnswerShowsFirstDifference();
    void csvHoldsTheJsonRecords();
    void answersKeepTheirBytes();
    void jobsGiveIdenticalReports();
    void answerFilesMovedBesideThePrograms();
    void timedOutProgramLeavesNothingRunning();
    void terminatedGraderLeavesNothingRunning();
    void interruptedClassLeavesNobodyGraded();

    void samplesAgreeWithTheWindow_data();
    void samplesAgreeWithTheWindow();

    void judgeCommand_data();
    void judgeCommand();
    void pathWithABlank();
    void referenceFolderDefaults();
    void help_data();
    void help();
    void badUse_data();
    void badUse();

private:
    QJsonObject program_report(const QString &name) const;

    Workbench bench;
    QStringList class_programs;
    CliRun class_run;
    CliRun serial_run;
    QJsonObject report;
};

void TestCli::initTestCase()
{
    // One reference for the queue exercise: it prints its arguments, so every option string has
    // an answer of its own.
    bench.program(QStringLiteral("ref/b.exe"), "args\n");
    QDir().mkpath(bench.path("badref"));
    bench.write(QStringLiteral("badref/b.exe"), "not a program\n");
    bench.program("class/right" + exe, "args\nout:\\r\\n");
    bench.program("class/wrong" + exe, "out:1 2 3\n");
    bench.program("class/crash" + exe, "out:[-S]\ncrash\n");
    bench.program("class/hang" + exe, "spawn:100000\nsleep:100000\n");
    bench.program("class/file" + exe, "argsfile:queue.txt\n");
    bench.program("class/张三" + exe, "argsfile:queue.txt\n");
    bench.program("class/bytes" + exe, "out:\\xFF\"a,b\"\\tc\\r\\nrest\n");
    // The wrong one is named without ".exe", as the window allows.
    class_programs
        = QStringList{"class/right/queue.exe", "class/wrong/queue",    "class/crash/queue.exe",
                      "class/hang/queue.exe",  "class/file/queue.exe", "class/张三/queue.exe",
                      "class/bytes/queue.exe"};
    const QStringList common{"suite", "--exercise", "queue", "--reference",
                             "ref",   "--timeout",  "1"};
    class_run = run_cli(common + QStringList{"--jobs", "4", "--csv", "r4.csv", "--json", "r4.json"}
                            + class_programs,
                        bench.path());
    serial_run = run_cli(common + QStringList{"-j", "1", "--csv", "r1.csv", "--json", "r1.json"}
                             + class_programs,
                         bench.path());
    QJsonParseError error;
    report = QJsonDocument::fromJson(bench.read("r4.json"), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
}

QJsonObject TestCli::program_report(const QString &name) const
{
    for (const QJsonValue &program : report.value(QStringLiteral("programs")).toArray()) {
        if (program.toObject().value(QStringLiteral("program")).toString() == name)
            return program.toObject();
    }
    return {};
}

void TestCli::classTable()
{
    QVERIFY2(class_run.status == 1, class_run.err);
    QCOMPARE(class_run.err, QByteArray());
    const QStringList lines = QString::fromUtf8(class_run.out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), class_programs.size() + 2);
    QCOMPARE(lines.first().simplified(),
             QStringLiteral("correct wrong time-outs crashes status program"));
    // Rows come in the order the programs were given, whichever finished first.
    for (int i = 0; i < class_programs.size(); ++i)
        QVERIFY2(lines.at(i + 1).endsWith("  " + class_programs.at(i)),
                 qPrintable(lines.at(i + 1)));
    QCOMPARE(lines.at(3).simplified(), QStringLiteral("0 10 0 10 graded class/crash/queue.exe"));
    QCOMPARE(
        lines.last(),
        QStringLiteral("7 programs, 70 cases: 30 correct, 40 wrong (10 time-outs, 10 crashes)"));
}

void TestCli::classCounts_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("correct");
    QTest::addColumn<int>("timeouts");
    QTest::addColumn<int>("crashes");
    QTest::addColumn<QString>("ended");
    QTest::addColumn<QJsonValue>("exitCode");
    QTest::addColumn<QJsonValue>("signal");

    const QJsonValue none;
    QTest::newRow("answer after a line end")
        << "class/right/queue.exe" << 10 << 0 << 0 << "exit" << QJsonValue(0) << none;
    QTest::newRow("wrong answer") << "class/wrong/queue" << 0 << 0 << 0 << "exit" << QJsonValue(0)
                                  << none;
    QTest::newRow("crash") << "class/crash/queue.exe" << 0 << 0 << 10 << "crash" << none
                           << QJsonValue(6);
    QTest::newRow("hangs with a child")
        << "class/hang/queue.exe" << 0 << 10 << 0 << "timeout" << none << none;
    QTest::newRow("answer file") << "class/file/queue.exe" << 10 << 0 << 0 << "exit"
                                 << QJsonValue(0) << none;
    QTest::newRow("Chinese folder, answer file")
        << "class/张三/queue.exe" << 10 << 0 << 0 << "exit" << QJsonValue(0) << none;
}

void TestCli::classCounts()
{
    QFETCH(QString, program);
    QFETCH(int, correct);
    QFETCH(int, timeouts);
    QFETCH(int, crashes);
    QFETCH(QString, ended);
    QFETCH(QJsonValue, exitCode);
    QFETCH(QJsonValue, signal);

    const QJsonObject p = program_report(program);
    QCOMPARE(p.value("correct").toInt(), correct);
    QCOMPARE(p.value("wrong").toInt(), 10 - correct);
    QCOMPARE(p.value("timeouts").toInt(), timeouts);
    QCOMPARE(p.value("crashes").toInt(), crashes);
    const QJsonArray cases = p.value("cases").toArray();
    QCOMPARE(cases.size(), 10);
    for (int i = 0; i < cases.size(); ++i) {
        const QJsonObject c = cases.at(i).toObject();
        QCOMPARE(c.value("case").toInt(), i + 1);
        QCOMPARE(c.value("ended").toString(), ended);
        QCOMPARE(c.value("exit_code"), exitCode);
        QCOMPARE(c.value("signal"), signal);
        QCOMPARE(c.value("verdict").toString(), QString(correct ? "correct" : "wrong"));
        // The reference printed its arguments: the options as the program received them.
        const QString options = c.value("options").toString();
        QCOMPARE(c.value("reference_answer").toString(),
                 '[' + options.simplified().replace(' ', "][") + ']');
        if (correct)
            QCOMPARE(c.value("student_answer"), c.value("reference_answer"));
    }
}

void TestCli::wrongAnswerShowsFirstDifference()
{
    const QJsonArray cases = program_report("class/wrong/queue").value("cases").toArray();
    const QJsonObject first = cases.at(0).toObject();
    QCOMPARE(first.value("options").toString(), QStringLiteral(" -S  5  -I  1  2  3  4 -O 2 -O 2"));
    QCOMPARE(first.value("student_answer").toString(), QStringLiteral("1 2 3"));
    QCOMPARE(first.value("difference").toInt(), 1);
    QCOMPARE(first.value("student_token").toString(), QStringLiteral("1"));
    QCOMPARE(first.value("reference_token").toString(),
             QStringLiteral("[-S][5][-I][1][2][3][4][-O][2][-O][2]"));

    // What a crashing program printed before it died is judged like any answer.
    const QJsonObject crashed
        = program_report("class/crash/queue.exe").value("cases").toArray().at(0).toObject();
    QCOMPARE(crashed.value("student_answer").toString(), QStringLiteral("[-S]"));
    QCOMPARE(crashed.value("difference").toInt(), 1);
    QCOMPARE(crashed.value("student_token").toString(), QStringLiteral("[-S]"));

    const QJsonObject timedOut
        = program_report("class/hang/queue.exe").value("cases").toArray().at(0).toObject();
    QCOMPARE(timedOut.value("student_answer").toString(), QString());
    QCOMPARE(timedOut.value("student_token"), QJsonValue());
    QVERIFY(timedOut.value("reference_token").isString());
}

void TestCli::csvHoldsTheJsonRecords()
{
    const QList<QByteArrayList> records = parse_csv(bench.read("r4.csv"));
    QCOMPARE(records.size(), 1 + class_programs.size() * 10);
    const QByteArrayList header = records.first();
    QCOMPARE(header.join(','),
             QByteArray("program,case,options,verdict,difference,student_token,reference_token,"
                        "student_answer,reference_answer,time_ms,ended,exit_code,signal,note,"
                        "shrunk_options,status"));
    int row = 1;
    for (const QJsonValue &p : report.value("programs").toArray()) {
        const QJsonObject program = p.toObject();
        for (const QJsonValue &c : program.value("cases").toArray()) {
            const QByteArrayList &record = records.at(row++);
            QCOMPARE(record.size(), header.size());
            QCOMPARE(record.first(), csv_form(program, "program"));
            for (int f = 1; f < header.size(); ++f)
                QCOMPARE(record.at(f), csv_form(c.toObject(), QString::fromLatin1(header.at(f))));
        }
    }
    QCOMPARE(report.value("exercise").toString(), QStringLiteral("queue"));
    QCOMPARE(report.value("sandbox").toObject().value("limits").toObject().value("wall_ms").toInt(),
             1000);
    QVERIFY(report.value("reference").toString().endsWith("/ref/b.exe"));
}

void TestCli::answersKeepTheirBytes()
{
    // The output's first line feed, then its first carriage return, are gone, as in the window;
    // nothing else changes.
    const QByteArray answer("\xFF\"a,b\"\tcrest");
    const QList<QByteArrayList> records = parse_csv(bench.read("r4.csv"));
    const QByteArrayList bytes = records.at(1 + 6 * 10);
    QCOMPARE(bytes.at(0), QByteArray("class/bytes/queue.exe"));
    // Every CSV reader must take the file: the byte that is not UTF-8 is escaped there.
    QCOMPARE(bytes.at(7), QByteArray("\\xFF\"a,b\"\tcrest"));
    const QJsonObject c
        = program_report("class/bytes/queue.exe").value("cases").toArray().at(0).toObject();
    QCOMPARE(QByteArray::fromBase64(c.value("student_answer_base64").toString().toLatin1()),
             answer);
    QVERIFY(!c.contains("reference_answer_base64"));
}

void TestCli::jobsGiveIdenticalReports()
{
    QCOMPARE(serial_run.status, class_run.status);
    QCOMPARE(serial_run.out, class_run.out);
    QCOMPARE(csv_without_times(bench.read("r1.csv")), csv_without_times(bench.read("r4.csv")));
    QCOMPARE(json_without_times(QJsonDocument::fromJson(bench.read("r1.json")).object()),
             json_without_times(report));
}

void TestCli::answerFilesMovedBesideThePrograms()
{
    // The last case's answer stays, alone and without its line feed, as the window leaves it.
    const QByteArray last("[-S][3][-I][1][2][3][4][-G][1][-I][5][6][-G][5][-O][6][-O][1]");
    QCOMPARE(bench.read("class/file/queue.txt"), last);
    QCOMPARE(bench.read("class/张三/queue.txt"), last);
    QVERIFY(!bench.exists("queue.txt"));
}

void TestCli::timedOutProgramLeavesNothingRunning()
{
    // The hanging program started a child of its own; both must be gone.
    QCOMPARE(processes_running(bench.path("class/hang/queue.exe")), 0);
}

void TestCli::terminatedGraderLeavesNothingRunning()
{
    bench.program("stopped/queue.exe", "spawn:100000\nsleep:100000\n");
    const QString program = bench.path("stopped/queue.exe");
    QProcess grader;
    grader.setWorkingDirectory(bench.path());
    bench.write("stopped.json", "{\"complete\": true, \"from\": \"last week\"}");
    grader.start(ORVIMET_CLI, {"suite", "-e", "queue", "-r", "ref", "--json", "stopped.json",
                               "stopped/queue.exe"});
    // The program and the child it started.
    QTRY_COMPARE_WITH_TIMEOUT(processes_running(program), 2, 30000);
    grader.terminate();
    QVERIFY(grader.waitForFinished(30000));
    QCOMPARE(grader.exitStatus(), QProcess::CrashExit);
    QTRY_COMPARE_WITH_TIMEOUT(processes_running(program), 0, 30000);
    // The old report is gone; the new one says it is not the whole class.
    const QJsonObject stopped = QJsonDocument::fromJson(bench.read("stopped.json")).object();
    QCOMPARE(stopped.value("complete"), QJsonValue(false));
    QCOMPARE(stopped.value("programs").toArray().size(), 0);
}

void TestCli::interruptedClassLeavesNobodyGraded()
{
    // Each student's program sleeps on the one case, after saying that it started.
    for (const char *name : {"甲", "乙"})
        bench.program(QStringLiteral("stopped-class/") + QString::fromUtf8(name) + "/queue");
    bench.write("stopped-cases.txt",
                "file:" + bench.path("started").toUtf8() + ":1 sleep:100000\n");
    QProcess grader;
    grader.setWorkingDirectory(bench.path());
    grader.start(ORVIMET_CLI,
                 {"grade", "-e", "queue", "-r", "ref", "--no-sandbox", "-t", "600", "-j", "1", "-q",
                  "--cases", "stopped-cases.txt", "-o", "stopped-out", "stopped-class"});
    QTRY_VERIFY_WITH_TIMEOUT(bench.exists("started"), 60000);
    grader.terminate();
    QVERIFY(grader.waitForFinished(30000));
    const QJsonObject results
        = QJsonDocument::fromJson(bench.read("stopped-out/results.json")).object();
    QCOMPARE(results.value("complete"), QJsonValue(false));
    const QJsonArray students = results.value("students").toArray();
    QCOMPARE(students.size(), 2);
    // The one cut short and the one never started alike: neither is graded on what it reached.
    for (const QJsonValue &student : students) {
        const QJsonObject s = student.toObject();
        QCOMPARE(s.value("status").toString(), QStringLiteral("not graded"));
        QCOMPARE(s.value("message").toString(), QStringLiteral("the grading was interrupted"));
        QCOMPARE(s.value("cases").toArray().size(), 0);
    }
}

void TestCli::samplesAgreeWithTheWindow_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("exercise");
    QTest::addColumn<int>("flagStack");
    QTest::addColumn<bool>("allCorrect");
    QTest::newRow("stack") << "stack.exe"
                           << "stack" << 0 << true;
    QTest::newRow("queue through queue.txt") << "queue.exe"
                                             << "queue" << 1 << true;
    QTest::newRow("queue of two stacks") << "stackqueue.exe"
                                         << "stackqueue" << 2 << true;
    QTest::newRow("queue judged as a stack") << "queue.exe"
                                             << "stack" << 0 << false;
    QTest::newRow("stack judged as a queue") << "stack.exe"
                                             << "queue" << 1 << false;
}

void TestCli::samplesAgreeWithTheWindow()
{
    QFETCH(QString, sample);
    QFETCH(QString, exercise);
    QFETCH(int, flagStack);
    QFETCH(bool, allCorrect);

    // A copy, so that the answer files the judging moves stay out of the build tree.
    const QString relative = "samples/" + exercise + "/" + sample;
    QDir().mkpath(bench.path("samples/" + exercise));
    QFile::remove(bench.path(relative));
    QVERIFY(QFile::copy(ORVIMET_EXAMPLES_DIR "/" + sample, bench.path(relative)));
    // No --reference: the resource folder beside orvimet-cli.
    const CliRun run
        = run_cli({"suite", "-e", exercise, "--json", "sample.json", relative}, bench.path());
    QCOMPARE(run.status, allCorrect ? 0 : 1);
    const QJsonArray cases = QJsonDocument::fromJson(bench.read("sample.json"))
                                 .object()
                                 .value("programs")
                                 .toArray()
                                 .at(0)
                                 .toObject()
                                 .value("cases")
                                 .toArray();
    QCOMPARE(cases.size(), 10);

    if (!bench.exists("resource"))
        bench.real_references();
    MainWindow window;
    CoutCapture quiet;
    for (const QJsonValue &c : cases) {
        const QJsonObject one = c.toObject();
        const bool correct
            = call_auto_test(window, bench.dir_s("samples/" + exercise), sample.toStdString(),
                             one.value("options").toString().toStdString(), flagStack);
        QCOMPARE(one.value("verdict").toString(), QString(correct ? "correct" : "wrong"));
        if (allCorrect)
            QVERIFY(correct);
    }
}

void TestCli::judgeCommand_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("correct") << QByteArray("args\n") << QStringList{"-S", "5", "-I", "1"} << 0
                             << QStringList{"student:   [-S][5][-I][1]",
                                            "reference: [-S][5][-I][1]", "verdict:   correct"};
    QTest::newRow("wrong word")
        << QByteArray("out:1 2\n") << QStringList{"-S", "5"} << 1
        << QStringList{"verdict:   wrong: word 1 is \"1\", the reference has \"[-S][5]\""};
    QTest::newRow("a word too many")
        << QByteArray("args\nout:\\sX\n") << QStringList{"-N"} << 1
        << QStringList{"verdict:   wrong: word 2 is \"X\", the reference has none"};
    QTest::newRow("crash after a correct answer")
        << QByteArray("args\ncrash\n") << QStringList{"-N"} << 0
        << QStringList{"run:       crashed (signal 6),", "verdict:   correct"};
    QTest::newRow("failure exit code is no failure")
        << QByteArray("args\nexit:3\n") << QStringList{"-N"} << 0
        << QStringList{"run:       exit code 3,", "verdict:   correct"};
    QTest::newRow("time-out") << QByteArray("spawn:100000\nsleep:100000\n") << QStringList{"-N"}
                              << 2
                              << QStringList{"run:       killed after the time-out of 1 s,",
                                             "verdict:   not judged"};
    QTest::newRow("not a program")
        << QByteArray() << QStringList{"-N"} << 2
        << QStringList{"run:       could not start: Permission denied,", "verdict:   not judged"};
    QTest::newRow("options with blanks and quotes")
        << QByteArray("args\n") << QStringList{"a b", "say \"hi\""} << 0
        << QStringList{"command:   " + bench.path("judged/queue.exe")
                           + " \"a b\" \"say \"\"\"hi\"\"\"\"",
                       "student:   [a b][say \"hi\"]"};
    QTest::newRow("unprintable bytes escaped")
        << QByteArray("out:1\\t2\\x01\\\\\\xE5\\xBC\\xA0\\xFF\n") << QStringList{"-N"} << 1
        << QStringList{"student:   1\\t2\\x01\\\\张\\xFF"};
    QTest::newRow("standard input at its end")
        << QByteArray("stdin\n") << QStringList{} << 1 << QStringList{"student:   eof"};
}

void TestCli::judgeCommand()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QStringList, lines);

    if (script.isEmpty()) {
        QFile::remove(bench.path("judged/queue.exe"));
        bench.write("judged/queue.exe", "not a program\n");
    } else {
        bench.program("judged/queue.exe", script);
    }
    const CliRun run = run_cli(
        QStringList{"judge", "-e", "queue", "-r", "ref", "-t", "1", "judged/queue.exe"} + options,
        bench.path());
    QCOMPARE(run.status, status);
    QCOMPARE(run.err, QByteArray());
    const QStringList out = QString::fromUtf8(run.out).split('\n');
    for (const QString &line : lines) {
        const bool found = std::any_of(out.begin(), out.end(),
                                       [&](const QString &l) { return l.startsWith(line); });
        QVERIFY2(found, qPrintable(line + "\nnot in\n" + run.out));
    }
}

void TestCli::pathWithABlank()
{
    // Programs start from their argument vector: a folder named after a student runs.
    bench.program("with blank/queue.exe", "args\n");
    const CliRun run = run_cli({"judge", "-e", "queue", "-r", "ref", "with blank/queue.exe", "-N"},
                               bench.path());
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.contains("\nverdict:   correct\n"));
    QCOMPARE(run.err, QByteArray());
    // A missing program is a row of its own; the others are still graded, and the exit status
    // says that not everything was judged.
    const CliRun suite = run_cli({"suite", "-e", "queue", "-r", "ref", "-t", "1",
                                  "nobody/queue.exe", "with blank/queue.exe", "--csv", "blank.csv"},
                                 bench.path());
    QCOMPARE(suite.status, 2);
    const QStringList lines = QString::fromUtf8(suite.out).split('\n');
    QCOMPARE(lines.at(1).simplified(), QStringLiteral("0 0 0 0 missing nobody/queue.exe"));
    QCOMPARE(lines.at(2).simplified(), QStringLiteral("10 0 0 0 graded with blank/queue.exe"));
    QVERIFY(bench.read("blank.csv").contains("\r\nnobody/queue.exe,,,,,,,,,,,,,,,missing\r\n"));
}

void TestCli::referenceFolderDefaults()
{
    // A copy of the grader with a resource folder of its own, run where ./resource differs.
    QDir().mkpath(bench.path("bin"));
    QFile::remove(bench.path("bin/orvimet-cli"));
    QVERIFY(QFile::copy(ORVIMET_CLI, bench.path("bin/orvimet-cli")));
    bench.program("bin/resource/c.exe", "out:beside\n");
    bench.program("cwd/resource/c.exe", "out:here\n");
    bench.program("cwd/p/stackqueue.exe", "out:beside\n");
    const QString copy = bench.path("bin/orvimet-cli");
    const QStringList arguments{"judge", "-e", "stackqueue", "p/stackqueue.exe"};

    QCOMPARE(run_cli(arguments, bench.path("cwd"), copy).status, 0);
    QVERIFY(QFile::remove(bench.path("bin/resource/c.exe")));
    const CliRun here = run_cli(arguments, bench.path("cwd"), copy);
    QCOMPARE(here.status, 1);
    QVERIFY(here.out.contains("reference: here\n"));
    QVERIFY(QFile::remove(bench.path("cwd/resource/c.exe")));
    const CliRun none = run_cli(arguments, bench.path("cwd"), copy);
    QCOMPARE(none.status, 2);
    QVERIFY2(
        none.err.contains("no reference program: " + bench.path("cwd/resource/c.exe").toUtf8()),
        none.err);
}

void TestCli::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("--help") << QStringList{"--help"};
    QTest::newRow("-h") << QStringList{"-h"};
    QTest::newRow("help before the command") << QStringList{"--help", "suite"};
}

void TestCli::help()
{
    QFETCH(QStringList, arguments);
    const CliRun run = run_cli(arguments, bench.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    QVERIFY(run.out.startsWith("Usage: orvimet-cli judge --exercise EXERCISE"));
    QVERIFY(run.out.contains("\nExit status:\n"));
}

void TestCli::badUse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString program = QStringLiteral("class/right/queue.exe");
    QTest::newRow("missing program, judge")
        << QStringList{"judge", "-e", "queue", "-r", "ref", "nobody.exe", "-N"}
        << "no such program: nobody.exe";
    QTest::newRow("report in a missing folder")
        << QStringList{"suite", "-e", "queue", "-r", "ref", "--csv", "no/such/r.csv", program}
        << "cannot write the report no/such/r.csv: ";
    QTest::newRow("report onto a folder")
        << QStringList{"suite", "-e", "queue", "-r", "ref", "--json", "class", program}
        << "cannot write the report class: it is a folder";
    QTest::newRow("missing case file")
        << QStringList{"suite", "-e", "queue", "-r", "ref", "--cases", "none.txt", program}
        << "cannot read the case file none.txt: ";
    QTest::newRow("case file is a folder")
        << QStringList{"suite", "-e", "queue", "-r", "ref", "--cases", "class", program}
        << "cannot read the case file class: it is a folder";
    QTest::newRow("reference that cannot start")
        << QStringList{"suite", "-e", "queue", "-r", "badref", program}
        << "the reference program " + bench.path("badref/b.exe") + " failed to start";
    QTest::newRow("one file for both reports")
        << QStringList{"suite", "-e",    "queue",  "-r",      "ref",
                       "--csv", "r.csv", "--json", "./r.csv", program}
        << "the CSV and the JSON report would both be r.csv: give two different files";
    QTest::newRow("no reference program")
        << QStringList{"suite", "-e", "stack", "-r", "ref", program}
        << "no reference program: " + bench.path("ref/a.exe");
}

void TestCli::badUse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const CliRun run = run_cli(arguments, bench.path());
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QByteArray());
    const QString err = QString::fromUtf8(run.err);
    QVERIFY2(err.startsWith("orvimet-cli: " + message), qPrintable(err));
    QVERIFY(err.endsWith("Try 'orvimet-cli --help' for more information.\n"));
    // Nothing was judged, so no report was begun.
    QVERIFY(!bench.exists("r.csv"));
    QVERIFY(!bench.exists("no"));
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
