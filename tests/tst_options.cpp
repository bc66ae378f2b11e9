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
    void settingsOfTheFileAsOfTheCommandLine_data();
    void settingsOfTheFileAsOfTheCommandLine();
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
    row("negative jobs", {"suite", "-e", "queue", "--jobs", "-1", p},
        "invalid value '-1' of --jobs: give a whole number from 0 to 1024");
    row("half a job", {"suite", "-e", "queue", "-j1.5", p}, "invalid value '1.5' of --jobs");
    row("memory not whole", {"suite", "-e", "queue", "--memory", "1.5", p},
        "invalid value '1.5' of --memory: give a whole number from 0 to 16777216");
    row("generated strings not a number", {"suite", "-e", "queue", "--explore", "many", p},
        "invalid value 'many' of --explore: give a whole number from 0 to 10000000");
    row("negative seed", {"explore", "-e", "queue", "--seed", "-1", p},
        "invalid value '-1' of --seed: give a whole number from 0 to ");
    row("seed too big", {"explore", "-e", "queue", "--seed", "18446744073709551616", p},
        "invalid value '18446744073709551616' of --seed");
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
        "invalid value '-5' of --points");
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
    QCOMPARE(qint64(invocation.settings.limits.wall.count()), wall_ms);
    QCOMPARE(qint64(invocation.settings.limits.memory_bytes), memory);
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
    QCOMPARE(settings.points, 10.0);
    QCOMPARE(qint64(settings.limits.wall.count()), qint64(2000));
    QCOMPARE(settings.give_up_after, 3);

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

void TestOptions::settingsOfTheFileAsOfTheCommandLine_data()
{
    QTest::addColumn<QByteArray>("lines"); // of the class file, the setting's on the last
    QTest::addColumn<QStringList>("options");

    const auto row = [](const char *name, const char *lines, const QStringList &options) {
        QTest::newRow(name) << QByteArray(lines) << options;
    };
    row("processor time in whole seconds", "[limits]\ncpu_seconds = 3", {"--cpu", "3"});
    row("processor time in fractions", "[limits]\ncpu_seconds = 0.4", {"--cpu", "0.4"});
    row("processor time off", "[limits]\ncpu_seconds = 0", {"--cpu", "0"});
    row("processor time beyond a day", "[limits]\ncpu_seconds = 86401", {"--cpu", "86401"});
    row("negative processor time", "[limits]\ncpu_seconds = -1", {"--cpu", "-1"});
    row("time-out in fractions", "[limits]\nwall_seconds = 0.25", {"--timeout", "0.25"});
    row("no time at all", "[limits]\nwall_seconds = 0", {"--timeout", "0"});
    row("memory", "[limits]\nmemory_bytes = 268435456", {"--memory", "256"});
    row("memory off", "[limits]\nmemory_bytes = 0", {"--memory", "0"});
    row("file size off", "[limits]\nfile_bytes = 0", {"--file-size", "0"});
    row("processes", "[limits]\nprocesses = 8", {"--processes", "8"});
    row("processes off", "[limits]\nprocesses = 0", {"--processes", "0"});
    row("output", "[limits]\noutput_bytes = 1048576", {"--output", "1"});
    row("output at its largest", "[limits]\noutput_bytes = 0", {"--output", "0"});
    row("jobs", "jobs = 4", {"--jobs", "4"});
    row("one job per core", "jobs = 0", {"--jobs", "0"});
    row("more jobs than a machine has", "jobs = 1025", {"--jobs", "1025"});
    row("half a job", "jobs = 1.5", {"--jobs", "1.5"});
    row("a seed", "[cases]\nseed = 7", {"--seed", "7"});
    row("a seed results.json cannot keep exactly", "[cases]\nseed = 9007199254740993",
        {"--seed", "9007199254740993"});
    row("generated strings", "[cases]\nexplore = 500", {"--explore", "500"});
    row("more generated strings than allowed", "[cases]\nexplore = 20000000",
        {"--explore", "20000000"});
    row("the ten by name", "[cases]\nsource = \"ten\"", {"--cases", "ten"});
    row("the extended list", "[cases]\nsource = \"extended\"", {"--cases", "extended"});
    row("never giving up", "give_up_after = 0", {"--give-up-after", "0"});
    row("giving up after a fraction", "give_up_after = 2.5", {"--give-up-after", "2.5"});
    row("no points at all", "points = 0", {"--points", "0"});
    row("a fraction of points", "points = 12.5", {"--points", "12.5"});
    row("a fractional penalty", "memcheck_penalty = 2.5", {"--memcheck-penalty", "2.5"});
    row("memory checked", "memcheck = true", {"--memcheck"});
    row("a compiler", "[build]\ncompiler = \"clang++\"", {"--compiler", "clang++"});
    row("no compiler", "[build]\ncompiler = \"\"", {"--compiler", ""});
    row("flags", "[build]\nflags = [\"-O0\", \"-g\"]", {"--flags", "-O0 -g"});
    row("no flags", "[build]\nflags = []", {"--flags", ""});
    row("processor time of a build", "[build]\ncpu_seconds = 5", {"--build-cpu", "5"});
    row("a build without processor time", "[build]\ncpu_seconds = 0", {"--build-cpu", "0"});
}

namespace {

// Every setting of a grading, in words, to compare two of them whole.
QString described(const GradingSettings &s)
{
    const Limits &l = s.limits;
    return QStringLiteral("%1 %2 %3 %4 %5 %6 sandbox %7 | %8 %9 cpu %10 | %11 seed %12 explore %13 "
                          "| memcheck %14 give up %15 jobs %16 shard %17/%18 | %19 %20")
        .arg(l.wall.count())
        .arg(l.cpu_seconds)
        .arg(l.memory_bytes)
        .arg(l.file_bytes)
        .arg(l.processes)
        .arg(quint64(l.output_bytes))
        .arg(int(s.sandbox))
        .arg(QString::fromStdString(s.compiler), joined(s.flags))
        .arg(s.build_cpu)
        .arg(QString::fromStdString(s.cases))
        .arg(s.seed)
        .arg(s.explore)
        .arg(int(s.memcheck))
        .arg(s.give_up_after)
        .arg(s.jobs)
        .arg(s.shard)
        .arg(s.shards)
        .arg(s.points)
        .arg(s.memcheck_penalty);
}

} // namespace

void TestOptions::settingsOfTheFileAsOfTheCommandLine()
{
    QFETCH(QByteArray, lines);
    QFETCH(QStringList, options);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("orvimet.toml"));
    const QString plain = dir.filePath(QStringLiteral("plain.toml"));
    for (const auto &[name, text] : {std::pair{path, "exercise = \"queue\"\n" + lines + "\n"},
                                     std::pair{plain, QByteArray("exercise = \"queue\"\n")}}) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    // The settings each way gives, or the message it refuses with.
    const auto settings_of = [](const QStringList &arguments, std::string &refusal) {
        try {
            Invocation invocation = parse_command_line(words(arguments));
            apply_class_file(invocation.settings);
            return described(invocation.settings);
        } catch (const Failure &failure) {
            refusal = failure.message;
            return QString();
        }
    };
    std::string by_file, by_option;
    const QString from_file = settings_of({"grade", "--config", path, "c.zip"}, by_file);
    // The option over a class file that says nothing but the exercise.
    const QString from_option = settings_of(
        QStringList{"grade", "--config", plain} + options + QStringList{"c.zip"}, by_option);
    QVERIFY2(by_file.empty() == by_option.empty(), (by_file + " | " + by_option).c_str());
    if (!by_file.empty()) {
        const std::string line = std::to_string(2 + lines.count('\n'));
        QVERIFY2(by_file.find("orvimet.toml:" + line + ": ") != std::string::npos, by_file.c_str());
        return;
    }
    QCOMPARE(from_file, from_option);
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
