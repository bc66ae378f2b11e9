// orvimet-cli's command line read in-process: what each word means, and the one line a user gets
// for each misuse.
#include "cli/options.h"

#include <QtTest>

namespace {

std::vector<std::string> words(const QStringList &list)
{
    std::vector<std::string> result;
    for (const QString &word : list)
        result.push_back(word.toStdString());
    return result;
}

QString joined(const std::vector<std::string> &list)
{
    QStringList result;
    for (const std::string &word : list)
        result << QString::fromStdString(word);
    return result.join(QLatin1Char('|'));
}

} // namespace

class TestOptions : public QObject
{
    Q_OBJECT

private slots:
    void badUse_data();
    void badUse();
    void meaning_data();
    void meaning();
    void helpAndVersion_data();
    void helpAndVersion();
    void manualSynopsisNamesEveryCommand();
    void classFileUnderTheCommandLine();
    void limitsOfTheFileAsOfTheCommandLine_data();
    void limitsOfTheFileAsOfTheCommandLine();
};

void TestOptions::badUse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString p = QStringLiteral("queue.exe");
    const auto row = [](const char *name, const QStringList &arguments, const QString &message) {
        QTest::newRow(name) << arguments << message;
    };
    row("nothing", {}, "no command given: use judge, suite, explore, grade, merge or init");
    row("unknown command", {"frobnicate"},
        "unknown command 'frobnicate': use judge, suite, explore, grade, merge or init");
    row("help of an unknown command", {"help", "heap"}, "unknown command 'heap'");
    row("no exercise", {"suite", p},
        "no exercise given: use --exercise stack, queue or stackqueue");
    row("unknown exercise", {"suite", "-e", "heap", p},
        "unknown exercise 'heap': use stack, queue or stackqueue");
    row("no program", {"suite", "-e", "queue"}, "no program given");
    row("judge without program", {"judge", "-e", "queue"}, "no program given");
    row("explore takes one program", {"explore", "-e", "queue", p, p},
        "explore takes one program, not 2");
    row("time-out zero", {"suite", "-e", "queue", "-t", "0", p},
        "invalid time-out '0': give a number of seconds above 0");
    row("time-out not a number", {"judge", "-e", "queue", "--timeout", "soon", p},
        "invalid time-out 'soon': give a number of seconds above 0");
    row("time-out of infinity", {"suite", "-e", "queue", "-t", "inf", p}, "invalid time-out 'inf'");
    row("no jobs", {"suite", "-e", "queue", "--jobs", "0", p},
        "invalid number of jobs '0': give a whole number above 0");
    row("half a job", {"suite", "-e", "queue", "-j1.5", p}, "invalid number of jobs '1.5'");
    row("memory not whole", {"suite", "-e", "queue", "--memory", "1.5", p},
        "invalid value '1.5' of --memory: give a whole number from 0 to 16777216");
    row("generated strings not a number", {"suite", "-e", "queue", "--explore", "many", p},
        "invalid number of strings 'many': give a whole number of at least 0");
    row("negative seed", {"explore", "-e", "queue", "--seed", "-1", p},
        "invalid seed '-1': give a whole number from 0 to ");
    row("seed too big", {"explore", "-e", "queue", "--seed", "18446744073709551616", p},
        "invalid seed");
    row("no strings to explore", {"explore", "-e", "queue", "--runs", "0", p},
        "invalid number of strings '0': give a whole number of at least 1");
    row("no time to explore", {"explore", "-e", "queue", "--time", "0", p},
        "invalid time '0': give a number of seconds above 0");
    row("unknown option", {"suite", "--frobnicate", "-e", "queue", p},
        "unknown option '--frobnicate'");
    row("explore has no case list", {"explore", "-e", "queue", "--cases", "extended", p},
        "unknown option '--cases'");
    row("reports belong to the suite", {"judge", "-e", "queue", "--csv", "r.csv", p},
        "unknown option '--csv'");
    row("option without its value", {"suite", p, "-e"}, "missing value of --exercise");
    row("unprintable value escaped", {"suite", "-e", "qu\teue", p}, "unknown exercise 'qu\\teue'");
    row("grade without submissions", {"grade", "-e", "queue"}, "no submissions given");
    row("grade of two classes", {"grade", "-e", "queue", "a", "b"},
        "grade takes one folder or archive of submissions, not 2");
    row("shard beyond the parts", {"grade", "-e", "queue", "--shard", "4/3", "a"},
        "invalid shard '4/3': give K/N");
    row("shard without parts", {"grade", "-e", "queue", "--shard", "2", "a"}, "invalid shard '2'");
    row("negative points", {"grade", "-e", "queue", "--points", "-5", "a"},
        "invalid number of points '-5'");
    row("merge without target", {"merge", "r1", "r2"}, "no folder to merge into: give --out");
    row("merge of nothing", {"merge", "--out", "m"}, "no results given");
}

void TestOptions::badUse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    try {
        parse_command_line(words(arguments));
        QFAIL("accepted");
    } catch (const Failure &failure) {
        const QString said = QString::fromStdString(failure.message);
        QVERIFY2(said.startsWith(message), qPrintable(said));
    }
}

void TestOptions::meaning_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("positional");
    QTest::addColumn<int>("jobs");
    QTest::addColumn<qint64>("wall_ms");
    QTest::addColumn<qint64>("memory");
    QTest::addColumn<int>("exercise");

    const qint64 gib = qint64(1) << 30;
    QTest::newRow("judge: the program's own options after it, dashes and all")
        << QStringList{"judge", "-e", "queue", "q.exe", "-S", "5", "-e", "3", "--help"}
        << "q.exe|-S|5|-e|3|--help" << 0 << qint64(10000) << gib << 1;
    QTest::newRow("compact and joined values, the last one given wins")
        << QStringList{"suite", "-j3", "--exercise=stack", "-t", "2", "-t", "0.5", "a", "b"}
        << "a|b" << 3 << qint64(500) << gib << 0;
    QTest::newRow("after -- every word is a program")
        << QStringList{"suite", "-e", "stackqueue", "--memory", "0", "--", "-x", "--help"}
        << "-x|--help" << 0 << qint64(10000) << qint64(0) << 2;
    QTest::newRow("a program named with a blank stays one word")
        << QStringList{"explore", "-e", "queue", "张 三/queue.exe"} << "张 三/queue.exe" << 0
        << qint64(10000) << gib << 1;
}

void TestOptions::meaning()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, positional);
    QFETCH(int, jobs);
    QFETCH(qint64, wall_ms);
    QFETCH(qint64, memory);
    QFETCH(int, exercise);
    const Invocation invocation = parse_command_line(words(arguments));
    QCOMPARE(int(invocation.action), int(Invocation::Action::Run));
    QCOMPARE(joined(invocation.settings.positional), positional);
    if (jobs)
        QCOMPARE(invocation.settings.jobs, jobs);
    QCOMPARE(qint64(invocation.settings.grading.limits.wall.count()), wall_ms);
    QCOMPARE(qint64(invocation.settings.grading.limits.memory_bytes), memory);
    QCOMPARE(exercise_number(invocation.settings.grading.exercise), exercise);
}

void TestOptions::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("command");

    const int help = int(Invocation::Action::Help);
    const int version = int(Invocation::Action::Version);
    QTest::newRow("help") << QStringList{"help"} << help << "";
    QTest::newRow("help of a command") << QStringList{"help", "grade"} << help << "grade";
    QTest::newRow("command --help") << QStringList{"suite", "--help"} << help << "suite";
    QTest::newRow("-h before judge's program")
        << QStringList{"judge", "-h", "x.exe"} << help << "judge";
    QTest::newRow("version after the options")
        << QStringList{"suite", "-e", "queue", "-j", "2", "--version"} << version << "suite";
    QTest::newRow("version of a bad command line")
        << QStringList{"explore", "--runs", "0", "-v"} << version << "explore";
}

void TestOptions::helpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, command);
    const Invocation invocation = parse_command_line(words(arguments));
    QCOMPARE(int(invocation.action), action);
    QCOMPARE(QString::fromStdString(invocation.command), command);
    // Each command's help names its own usage and, where it runs programs, its limits.
    const std::string text = help_text(invocation.command);
    QVERIFY(QString::fromStdString(text).startsWith("Usage: orvimet-cli " + command));
    // Every option (with the form of its value) is described once.
    const QRegularExpression option(QStringLiteral("^ +(?:-\\w, )?(--[a-z-]+(?: [^ ]+)?)"),
                                    QRegularExpression::MultilineOption);
    QStringList seen;
    for (QRegularExpressionMatchIterator it = option.globalMatch(QString::fromStdString(text));
         it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QVERIFY2(!seen.contains(m.captured(1)), qPrintable(m.captured(1)));
        seen << m.captured(1);
    }
}

void TestOptions::classFileUnderTheCommandLine()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("orvimet.toml")).toStdString();
    Settings init;
    init.positional = {path};
    QCOMPARE(init_command(init), 0);
    // The example is never written over, however it was edited since.
    bool refused = false;
    try {
        init_command(init);
    } catch (const Failure &) {
        refused = true;
    }
    QVERIFY(refused);

    // The file names the exercise and the points; the command line's time-out and points win.
    Invocation invocation
        = parse_command_line(words({"grade", "--config", QString::fromStdString(path), "--points",
                                    "10", "-t", "2", "class.zip"}));
    apply_class_file(invocation.settings);
    const Settings &settings = invocation.settings;
    QCOMPARE(exercise_name(settings.grading.exercise), std::string("queue"));
    QCOMPARE(settings.grade.points, 10.0);
    QCOMPARE(qint64(settings.grading.limits.wall.count()), qint64(2000));
    QCOMPARE(settings.grade.give_up_after, 3);

    // Without --config, the class file of the folder graded from.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    Invocation here = parse_command_line(words({"grade", "class.zip"}));
    apply_class_file(here.settings);
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(here.settings.grade.config, std::string("orvimet.toml"));
    QCOMPARE(exercise_name(here.settings.grading.exercise), std::string("queue"));

    QFile broken(QString::fromStdString(path));
    QVERIFY(broken.open(QIODevice::Append));
    broken.write("\npionts = 5\n");
    broken.close();
    Invocation misspelt
        = parse_command_line(words({"grade", "--config", QString::fromStdString(path), "c.zip"}));
    try {
        apply_class_file(misspelt.settings);
        QFAIL("a misspelt key was taken");
    } catch (const Failure &failure) {
        QVERIFY2(QString::fromStdString(failure.message).contains("pionts"),
                 failure.message.c_str());
    }
}

void TestOptions::limitsOfTheFileAsOfTheCommandLine_data()
{
    QTest::addColumn<QByteArray>("line"); // in the class file's [limits]
    QTest::addColumn<QStringList>("options");

    const auto row = [](const char *name, const char *line, const QStringList &options) {
        QTest::newRow(name) << QByteArray(line) << options;
    };
    row("processor time in whole seconds", "cpu_seconds = 3", {"--cpu", "3"});
    row("processor time in fractions", "cpu_seconds = 0.4", {"--cpu", "0.4"});
    row("processor time off", "cpu_seconds = 0", {"--cpu", "0"});
    row("processor time beyond a day", "cpu_seconds = 86401", {"--cpu", "86401"});
    row("negative processor time", "cpu_seconds = -1", {"--cpu", "-1"});
    row("time-out in fractions", "wall_seconds = 0.25", {"--timeout", "0.25"});
    row("no time at all", "wall_seconds = 0", {"--timeout", "0"});
    row("memory", "memory_bytes = 268435456", {"--memory", "256"});
    row("memory off", "memory_bytes = 0", {"--memory", "0"});
    row("file size off", "file_bytes = 0", {"--file-size", "0"});
    row("processes", "processes = 8", {"--processes", "8"});
    row("processes off", "processes = 0", {"--processes", "0"});
    row("output", "output_bytes = 1048576", {"--output", "1"});
    row("output at its largest", "output_bytes = 0", {"--output", "0"});
}

void TestOptions::limitsOfTheFileAsOfTheCommandLine()
{
    QFETCH(QByteArray, line);
    QFETCH(QStringList, options);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("orvimet.toml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("exercise = \"queue\"\n[limits]\n" + line + "\n");
    file.close();
    // The limits each way gives, or the message it refuses with.
    const auto limits_of = [](const QStringList &arguments, std::string &refusal) {
        try {
            Invocation invocation = parse_command_line(words(arguments));
            apply_class_file(invocation.settings);
            return invocation.settings.grading.limits;
        } catch (const Failure &failure) {
            refusal = failure.message;
            return Limits();
        }
    };
    std::string by_file, by_option;
    const Limits from_file = limits_of({"grade", "--config", path, "c.zip"}, by_file);
    const Limits from_option = limits_of(
        QStringList{"grade", "-e", "queue"} + options + QStringList{"c.zip"}, by_option);
    QVERIFY2(by_file.empty() == by_option.empty(), (by_file + " | " + by_option).c_str());
    if (!by_file.empty()) {
        QVERIFY2(by_file.find("orvimet.toml:3: ") != std::string::npos, by_file.c_str());
        return;
    }
    QCOMPARE(qint64(from_file.wall.count()), qint64(from_option.wall.count()));
    QCOMPARE(from_file.cpu_seconds, from_option.cpu_seconds);
    QCOMPARE(from_file.memory_bytes, from_option.memory_bytes);
    QCOMPARE(from_file.file_bytes, from_option.file_bytes);
    QCOMPARE(from_file.processes, from_option.processes);
    QCOMPARE(quint64(from_file.output_bytes), quint64(from_option.output_bytes));
}

void TestOptions::manualSynopsisNamesEveryCommand()
{
    QFile manual(QStringLiteral(ORVIMET_CLI_MANUAL));
    QVERIFY(manual.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(manual.readAll());
    const QString synopsis = text.section(QStringLiteral(".SH SYNOPSIS"), 1).section(".SH ", 0, 0);
    for (const std::string &command : command_names())
        QVERIFY2(synopsis.contains(".B orvimet\\-cli " + QString::fromStdString(command) + "\n"),
                 command.c_str());
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
