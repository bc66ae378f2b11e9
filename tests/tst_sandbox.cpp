// orvimet-cli against a class of hostile programs: each attack the sandbox and the limits must
// stop, graded together with honest programs, and what the grader leaves behind afterwards. Also
// the bwrap command line itself, the grader's own failures and a grader on a terminal.
#include "sandbox/process.h"
#include "sandbox/sandbox.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <functional>
#include <map>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/keyctl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

void read_into(int fd, QByteArray &into)
{
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0)
        into.append(buffer, static_cast<int>(n));
}

// What the grader's process is given before it starts, in the forked child: plain system calls
// only (mounts in a namespace of its own, descriptors, keys). False: the grader is not started.
using Setup = std::function<bool()>;

// Runs orvimet-cli with arguments that are bytes, not text (QProcess would decode them), with
// at most `descriptors` open files, or with its standard descriptors closed.
Run run_grader(const std::vector<std::string> &arguments, const QString &workdir,
               rlim_t descriptors = 0, bool closed_standard_descriptors = false,
               const Setup &setup = {}, const std::string &grader = ORVIMET_CLI)
{
    std::vector<std::string> all{grader};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const QByteArray folder = workdir.toUtf8();
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.constData()) != 0)
            ::_exit(126);
        if (closed_standard_descriptors) {
            ::close(0), ::close(1), ::close(2);
        } else {
            ::dup2(out[1], 1), ::dup2(err[1], 2);
        }
        if (descriptors) {
            const rlimit limit{descriptors, descriptors};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        if (setup && !setup())
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]), ::close(err[1]);
    Run run;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    while (::poll(fds, 2, 120000) > 0 && (fds[0].revents || fds[1].revents)) {
        if (fds[0].revents & POLLIN)
            read_into(out[0], run.out);
        if (fds[1].revents & POLLIN)
            read_into(err[0], run.err);
        if ((fds[0].revents & POLLHUP) && !(fds[0].revents & POLLIN))
            fds[0].fd = -1;
        if ((fds[1].revents & POLLHUP) && !(fds[1].revents & POLLIN))
            fds[1].fd = -1;
        if (fds[0].fd < 0 && fds[1].fd < 0)
            break;
    }
    ::close(out[0]), ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Whether bubblewrap can make the sandbox's namespaces on this machine.
QString sandbox_missing()
{
    QProcess probe;
    probe.start("bwrap", {"--unshare-pid", "--unshare-net", "--ro-bind", "/", "/", "true"});
    if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit
        || probe.exitCode() != 0)
        return "bubblewrap cannot make namespaces here (not installed, or user namespaces are "
               "switched off): "
               + QString::fromLocal8Bit(probe.readAllStandardError()).trimmed();
    return {};
}

const QStringList attacks{
    "join-grader-group", "daemon",       "fork-storm",   "endless-output", "sparse-answer",
    "fifo-swap",         "terminal",     "next-scratch", "symlinks",       "planted-link",
    "steal-reference",   "tamper",       "home",         "network",        "descriptors",
    "session-keyring",   "user-keyring", "own-folder",   "write-root"};

long keyctl(int operation, long a, long b = 0)
{
    return ::syscall(SYS_keyctl, operation, a, b, 0L, 0L);
}

// A grader started the way a teacher's wrapper starts it: a log open on descriptor 7, and a
// secret in its session keyring.
bool teachers_grader(const char *log)
{
    const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0 || ::dup2(fd, 7) != 7)
        return false;
    if (keyctl(KEYCTL_JOIN_SESSION_KEYRING, 0) < 0)
        return errno == ENOSYS;
    return ::syscall(SYS_add_key, "user", "orvimet-grader-secret", "SECRET", 6L,
                     long(KEY_SPEC_SESSION_KEYRING))
           >= 0;
}

// A private mount namespace in which `folder` is a file system in memory of `bytes`, full
// when `full`; `bind` then appears at `at`, when given.
bool private_mounts(const char *folder, const char *size, bool full, const char *bind = nullptr,
                    const char *at = nullptr)
{
    if (::unshare(CLONE_NEWNS) != 0
        || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    if (folder && ::mount("tmpfs", folder, "tmpfs", 0, size) != 0)
        return false;
    if (folder && full) {
        const std::string filler = std::string(folder) + "/filler";
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT, 0600);
        static const char block[4096] = {};
        while (fd >= 0 && ::write(fd, block, sizeof block) > 0) {
        }
        ::close(fd);
    }
    return !bind || ::mount(bind, at, nullptr, MS_BIND | MS_REC, nullptr) == 0;
}

// Every file of the bench but those the grading may write: the reports and the answer files
// beside the programs. Each with a digest of its content (or of its link's target).
std::map<QString, QByteArray> teacher_files(const QString &root)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        if (relative.startsWith("reports/") || relative.endsWith("/queue.txt"))
            continue;
        const QFileInfo info = it.fileInfo();
        QByteArray digest = info.isSymLink() ? info.symLinkTarget().toUtf8() : QByteArray();
        QFile file(path);
        if (!info.isSymLink() && info.isFile() && file.open(QIODevice::ReadOnly))
            digest = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
        files[relative] = digest;
    }
    return files;
}

} // namespace

class TestSandbox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void commandLine_data();
    void commandLine();
    void launcherArgumentsRoundTrip();
    void errorOutputKept_data();
    void errorOutputKept();
    void keptSandbox_data();
    void keptSandbox();

    void classOfAttacks_data();
    void classOfAttacks();
    void honestProgramsUnharmed_data();
    void honestProgramsUnharmed();
    void nothingOutsideChanged();
    void nothingLeftRunning();
    void reportsCompleteAndValid();
    void terminalUntouched();
    void graderFailuresAreNotTheStudents();
    void closedStandardDescriptors();
    void withoutSandbox();
    void installedReferenceHidden();
    void fullScratch_data();
    void fullScratch();
    void reportOnFullDisk();
    void killedGraderLeavesNothing();
    void longCaseLineCut();
    void cleanupTestCase();

private:
    QJsonObject program_report(const QString &name) const;
    void needs_sandbox() const
    {
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
    }

    Workbench bench;
    QString missing;
    std::map<QString, QByteArray> before;
    Run class_run;
    QJsonObject report;
    std::vector<std::string> programs;
    int listener = -1;
};

void TestSandbox::initTestCase()
{
    missing = sandbox_missing();
    bench.program("ref/b.exe", "args\n");
    bench.write("canary.txt", "CANARY");
    QDir().mkpath(bench.path("reports"));
    bench.write("reports/old.txt", "last week");
    for (const QString &attack : attacks) {
        QDir().mkpath(bench.path("class/" + attack));
        QVERIFY(QFile::copy(ORVIMET_HOSTILE, bench.path("class/" + attack + "/queue.exe")));
        programs.push_back(("class/" + attack + "/queue.exe").toStdString());
    }
    QVERIFY(QFile::link("../../outside.txt", bench.path("class/planted-link/queue.txt")));
    QDir().mkpath(bench.path("class/own-folder/.ssh"));
    bench.write("class/own-folder/.ssh/id_rsa", "KEY");
    bench.program("class/honest/queue.exe", "args\n");
    // A shell script, as a student may hand in, using a command of /etc/alternatives.
    QDir().mkpath(bench.path("class/awk-script"));
    bench.write("class/awk-script/queue.exe",
                "#!/bin/sh\nexec awk 'BEGIN { for (i = 1; i < ARGC; i++) printf \"[%s]\", ARGV[i] "
                "}' \"$@\"\n");
    QFile::setPermissions(bench.path("class/awk-script/queue.exe"),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    // A folder name from an unzipped Windows archive: not UTF-8.
    const std::string raw = bench.path().toStdString() + "/class/\xB2\xE2\xCA\xD4";
    QVERIFY(::mkdir(raw.c_str(), 0755) == 0);
    // QFile would decode the name: written through the bytes.
    QFile source(ORVIMET_FIXTURE);
    QVERIFY(source.open(QIODevice::ReadOnly));
    for (const auto &[name, content] : std::vector<std::pair<std::string, QByteArray>>{
             {"/queue.exe", source.readAll()}, {"/queue.exe.do", "args\n"}}) {
        const int fd = ::open((raw + name).c_str(), O_WRONLY | O_CREAT, 0755);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, content.constData(), content.size()), ssize_t(content.size()));
        ::close(fd);
    }
    // The same honest program again, through a linked folder.
    QVERIFY(QFile::link("class/honest", bench.path("alias")));
    programs.insert(programs.end(), {"class/honest/queue.exe", "class/\xB2\xE2\xCA\xD4/queue.exe",
                                     "alias/queue.exe", "class/awk-script/queue.exe"});

    // A port that answers, for the program that tries the network.
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
    QVERIFY(::listen(listener, 64) == 0);
    QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    bench.write("port", QByteArray::number(ntohs(address.sin_port)));
    bench.write("grades.log", "");

    before = teacher_files(bench.path());
    if (!missing.isEmpty())
        return;
    std::vector<std::string> arguments{"suite",
                                       "-e",
                                       "queue",
                                       "-r",
                                       "ref",
                                       "-t",
                                       "0.5",
                                       "-j",
                                       "4",
                                       "--output",
                                       "1",
                                       "--csv",
                                       "reports/class.csv",
                                       "--json",
                                       "reports/class.json"};
    arguments.insert(arguments.end(), programs.begin(), programs.end());
    const QByteArray log = bench.path("grades.log").toUtf8();
    class_run = run_grader(arguments, bench.path(), 0, false,
                           [&] { return teachers_grader(log.constData()); });
    QJsonParseError error;
    report = QJsonDocument::fromJson(bench.read("reports/class.json"), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
}

QJsonObject TestSandbox::program_report(const QString &name) const
{
    for (const QJsonValue &program : report.value("programs").toArray()) {
        if (program.toObject().value("program").toString() == name)
            return program.toObject();
    }
    return {};
}

void TestSandbox::commandLine_data()
{
    QTest::addColumn<QStringList>("expected"); // consecutive arguments
    QTest::newRow("own processes") << QStringList{"--unshare-pid"};
    QTest::newRow("no network") << QStringList{"--unshare-net"};
    QTest::newRow("no terminal") << QStringList{"--new-session"};
    QTest::newRow("ends with the grader") << QStringList{"--die-with-parent"};
    QTest::newRow("/tmp of its own, bounded")
        << QStringList{"--size", "67108864", "--tmpfs", "/tmp"};
    QTest::newRow("/dev/shm bounded") << QStringList{"--size", "67108864", "--tmpfs", "/dev/shm"};
    QTest::newRow("own folder read-only") << QStringList{"--ro-bind", "/class/a", "/class/a"};
    QTest::newRow("working folder in memory, bounded")
        << QStringList{"--size", "67108864", "--perms", "0777", "--tmpfs", "/tmp/s/w"};
    QTest::newRow("/etc readable by the program's user")
        << QStringList{"--perms", "0755", "--dir", "/etc"};
    QTest::newRow("an installation's folder hidden")
        << QStringList{"--size", "4096", "--perms", "0555", "--tmpfs", "/usr/libexec/orvimet"};
    QTest::newRow("and made read-only") << QStringList{"--remount-ro", "/usr/libexec/orvimet"};
    QTest::newRow("passable parents") << QStringList{"--perms", "0755", "--dir", "/tmp/s"};
    QTest::newRow("its own root read-only") << QStringList{"--remount-ro", "/"};
    QTest::newRow("root keeps only what it needs to leave")
        << QStringList{"--cap-drop", "ALL", "--cap-add", "CAP_SETUID"};
    QTest::newRow("launcher as the user, on its control descriptor")
        << QStringList{"--", "/run/orvimet/launch", "3", "2000000001", "/tmp/s/w"};
}

void TestSandbox::commandLine()
{
    QFETCH(QStringList, expected);
    SandboxPlan plan;
    plan.bwrap = "bwrap";
    plan.launcher = "/build/orvimet-launch";
    plan.system = {{"/usr", ""}, {"/lib", "usr/lib"}};
    plan.workdir = "/tmp/s/w";
    plan.visible = {"/class/a"};
    // Below a folder hidden already, and outside the system shown: nothing more to hide.
    plan.hidden = {"/usr/libexec/orvimet/resource", "/usr/libexec/orvimet", "/home/t/ref"};
    plan.as_root = true;
    plan.uid = 2000000001;
    plan.control_fd = 3;
    std::vector<std::string> got = sandbox_arguments(plan);
    QStringList args;
    for (const std::string &a : got)
        args << QString::fromStdString(a);
    QVERIFY2(args.join('\n').contains(expected.join('\n')), qPrintable(args.join(' ')));
    // Nothing of the teacher's but the named folders is there.
    QVERIFY(!args.contains("/home") && !args.contains("/root") && !args.contains("/build"));
    QVERIFY(!args.join(' ').contains("/home/t/ref")
            && !args.contains("/usr/libexec/orvimet/resource"));
    QCOMPARE(args.count("--bind"), 0);
}

void TestSandbox::launcherArgumentsRoundTrip()
{
    LaunchPlan plan{3, 2000000002, "/tmp/s/w", Limits{2, 1 << 20, 4096, 7, 0}};
    LaunchPlan read;
    QVERIFY(parse_launch(launch_arguments(plan), read));
    QCOMPARE(read.uid, plan.uid);
    QCOMPARE(read.workdir, plan.workdir);
    QCOMPARE(read.limits.processes, 7);
    QCOMPARE(read.limits.memory_bytes, std::uint64_t(1) << 20);
    QVERIFY(!parse_launch({"3", "x", "/w", "1", "1", "1", "1"}, read));
    QVERIFY(!parse_launch({"3", "0", "/w", "1", "1", "1", "1", "p"}, read));

    // Requests: arguments with spaces and empty ones survive; an empty program does not, nor an
    // answer file that is not a plain name.
    const Request request{{"/class/a/queue.exe", "-S", "", "a b"}, {"queue.txt"}};
    const std::string bytes = encode_request(request);
    Request decoded;
    QVERIFY(decode_request(bytes.substr(4), decoded));
    QCOMPARE(decoded.argv, request.argv);
    QCOMPARE(decoded.answer_files, request.answer_files);
    QVERIFY(!decode_request(std::string("0\0\0-S\0", 6), decoded));
    QVERIFY(!decode_request(std::string("1\0../x\0p\0", 10), decoded));
    QVERIFY(!decode_request("p", decoded));
    // A count of answer files that wraps around when one is added.
    QVERIFY(!decode_request(std::string("18446744073709551615\0p\0", 23), decoded));
}

void TestSandbox::errorOutputKept_data()
{
    QTest::addColumn<bool>("sandboxed");
    QTest::addColumn<int>("keep"); // bytes of standard error kept; 0: discarded
    QTest::addColumn<QByteArray>("kept");
    QTest::newRow("bare, discarded") << false << 0 << QByteArray();
    QTest::newRow("bare, kept") << false << 64 << QByteArray("report\n");
    QTest::newRow("bare, bounded") << false << 3 << QByteArray("rep");
    QTest::newRow("sandboxed, discarded") << true << 0 << QByteArray();
    QTest::newRow("sandboxed, kept") << true << 64 << QByteArray("report\n");
    QTest::newRow("sandboxed, bounded") << true << 3 << QByteArray("rep");
}

// A sanitizer's report is read from standard error; the answer stays standard output alone.
void TestSandbox::errorOutputKept()
{
    QFETCH(bool, sandboxed);
    QFETCH(int, keep);
    QFETCH(QByteArray, kept);
    if (sandboxed)
        needs_sandbox();
    const QTemporaryDir scratch;
    const std::string folder = scratch.path().toStdString();
    ::chmod(folder.c_str(), 0755);
    QDir().mkpath(scratch.filePath("work"));
    QFile::copy(ORVIMET_FIXTURE, scratch.filePath("p.exe"));
    Command command{
        {folder + "/p.exe", "err:report\\n", "out:answer"}, folder + "/work", {folder}, {}};
    command.error_bytes = static_cast<std::size_t>(keep);
    Sandbox sandbox;
    sandbox.enabled = sandboxed;
    for (int run = 0; run < 2; ++run) { // the second in the sandbox kept from the first
        const ChildRun result = run_child(command, Limits{}, sandbox);
        QCOMPARE(int(result.end), int(ChildRun::End::Exited));
        QCOMPARE(result.output, std::string("answer"));
        QCOMPARE(QByteArray::fromStdString(result.error), kept);
    }
    end_kept_sandboxes();
}

void TestSandbox::keptSandbox_data()
{
    QTest::addColumn<QStringList>("first"); // the first run's actions; none: a missing program
    QTest::addColumn<int>("end");
    QTest::newRow("a process left behind")
        << QStringList{"spawn:600000"} << int(ChildRun::End::Exited);
    QTest::newRow("a time-out") << QStringList{"spawn:600000", "sleep:600000"}
                                << int(ChildRun::End::TimedOut);
    QTest::newRow("a crash") << QStringList{"spawn:600000", "crash"} << int(ChildRun::End::Crashed);
    QTest::newRow("a program that cannot start")
        << QStringList{} << int(ChildRun::End::FailedToStart);
}

// Runs in one working folder share a sandbox; the next run sees only itself and the launcher.
void TestSandbox::keptSandbox()
{
    QFETCH(QStringList, first);
    QFETCH(int, end);
    needs_sandbox();
    // Beside the class's bench, whose files must not change.
    const QTemporaryDir scratch;
    const std::string folder = scratch.path().toStdString();
    ::chmod(folder.c_str(), 0755); // passable for root's sandbox user
    QDir().mkpath(scratch.filePath("work"));
    QFile::copy(ORVIMET_FIXTURE, scratch.filePath("p.exe"));
    const std::string program = folder + "/p.exe";
    Command command{
        {first.isEmpty() ? program + ".missing" : program}, folder + "/work", {folder}, {}};
    for (const QString &action : first)
        command.argv.push_back(action.toStdString());
    const ChildRun run = run_child(
        command, Limits{10, 1 << 30, 64 << 20, 64, 16 << 20, std::chrono::milliseconds(1000)},
        Sandbox{});
    QVERIFY2(int(run.end) == end, run.failure.c_str());
    command.argv = {program, "procs"};
    const ChildRun next = run_child(command, Limits{}, Sandbox{});
    QCOMPARE(int(next.end), int(ChildRun::End::Exited));
    QCOMPARE(next.output, std::string("2"));
    end_kept_sandboxes();
}

void TestSandbox::classOfAttacks_data()
{
    QTest::addColumn<QString>("attack");
    for (const QString &attack : attacks)
        QTest::newRow(qPrintable(attack)) << attack;
}

void TestSandbox::classOfAttacks()
{
    QFETCH(QString, attack);
    needs_sandbox();
    const QJsonObject p = program_report("class/" + attack + "/queue.exe");
    QCOMPARE(p.value("cases").toArray().size(), 10);
    QCOMPARE(p.value("correct").toInt(), 0);
    QCOMPARE(p.value("not_graded").toInt(), 0);
}

void TestSandbox::honestProgramsUnharmed_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("honest") << "class/honest/queue.exe";
    QTest::newRow("the same through a linked folder") << "alias/queue.exe";
    QTest::newRow("folder name not UTF-8")
        << QString::fromUtf8("class/\uFFFD\uFFFD\uFFFD\uFFFD/queue.exe");
    QTest::newRow("a shell script using awk") << "class/awk-script/queue.exe";
}

void TestSandbox::honestProgramsUnharmed()
{
    QFETCH(QString, program);
    needs_sandbox();
    QCOMPARE(class_run.status, 1);
    QVERIFY2(class_run.err.isEmpty(), class_run.err);
    const QJsonObject p = program_report(program);
    QCOMPARE(p.value("correct").toInt(), 10);
    // Shown escaped on the terminal; exact in the report.
    if (program.contains(QChar(0xFFFD))) {
        QVERIFY(class_run.out.contains("class/\\xB2\\xE2\\xCA\\xD4/queue.exe\n"));
        QCOMPARE(QByteArray::fromBase64(p.value("program_base64").toString().toLatin1()),
                 QByteArray("class/\xB2\xE2\xCA\xD4/queue.exe"));
    }
}

void TestSandbox::nothingOutsideChanged()
{
    needs_sandbox();
    QCOMPARE(teacher_files(bench.path()), before);
    QVERIFY(!bench.exists("outside.txt"));
    QCOMPARE(bench.read("canary.txt"), QByteArray("CANARY"));
}

void TestSandbox::nothingLeftRunning()
{
    needs_sandbox();
    for (const QString &attack : attacks)
        QCOMPARE(processes_running(bench.path("class/" + attack + "/queue.exe")), 0);
}

void TestSandbox::reportsCompleteAndValid()
{
    needs_sandbox();
    QCOMPARE(report.value("complete").toBool(), true);
    QCOMPARE(report.value("programs").toArray().size(), int(programs.size()));
    QCOMPARE(report.value("sandbox").toObject().value("enabled").toBool(), true);
    // The old report was replaced, the teacher's other file in the folder left alone.
    QCOMPARE(bench.read("reports/old.txt"), QByteArray("last week"));
    QCOMPARE(bench.read("reports/class.csv").count("\r\n"), 1 + int(programs.size()) * 10);
    const QJsonArray cases
        = program_report("class/endless-output/queue.exe").value("cases").toArray();
    QCOMPARE(cases.at(0).toObject().value("note").toString(), QStringLiteral("output truncated"));
    // Kept in part, with its whole size: the grader's memory does not grow with what is printed.
    const QJsonObject endless = cases.at(0).toObject();
    QVERIFY(endless.value("student_answer").toString().size() <= 65536);
    QCOMPARE(endless.value("student_answer_bytes").toInt(), 1 << 20);
}

void TestSandbox::terminalUntouched()
{
    needs_sandbox();
    bench.program("tty/ref/b.exe", "args\n");
    QDir().mkpath(bench.path("tty/class/terminal"));
    QVERIFY(QFile::copy(ORVIMET_HOSTILE, bench.path("tty/class/terminal/queue.exe")));
    const QByteArray folder = bench.path("tty").toUtf8();
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (::chdir(folder.constData()) == 0)
            ::execl(ORVIMET_CLI, ORVIMET_CLI, "suite", "-e", "queue", "-r", "ref",
                    "class/terminal/queue.exe", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    QVERIFY(pid > 0);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    // A second look at the terminal's input, as the teacher's shell would read it afterwards.
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(slave >= 0);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    // The slave stays open here, so the end of the grader is no end of file on the master.
    QByteArray shown;
    int status = 0;
    bool ended = false;
    while (!ended) {
        pollfd fd{master, POLLIN, 0};
        const bool ready = ::poll(&fd, 1, 100) > 0;
        // Qt's own child handling may reap it first.
        ended = ::waitpid(pid, &status, WNOHANG) != 0;
        if (ready || ended)
            read_into(master, shown);
    }
    char typed[64];
    const ssize_t pending = ::read(slave, typed, sizeof typed);
    ::close(slave);
    ::close(master);
    QVERIFY2(shown.contains("0     10"), shown);
    QVERIFY2(!shown.contains("HOSTILE-TTY"), shown);
    QCOMPARE(pending, ssize_t(-1));
}

void TestSandbox::graderFailuresAreNotTheStudents()
{
    needs_sandbox();
    // Forty programs at once with 64 descriptors: the grader runs out of them, not the students.
    // A generous time limit: forty sandboxes starting at once on a loaded machine are slow.
    std::vector<std::string> arguments{"suite", "-e", "queue", "-r", "ref", "-j", "40", "-t", "60"};
    for (int i = 0; i < 40; ++i) {
        bench.program(QStringLiteral("many/%1/queue.exe").arg(i), "args\n");
        arguments.push_back(QStringLiteral("many/%1/queue.exe").arg(i).toStdString());
    }
    const Run run = run_grader(arguments, bench.path(), 64);
    QVERIFY2(run.status == 2, run.out + run.err);
    QVERIFY2(run.err.contains(" cases not graded: the grader could not run them"), run.err);
    // Where the descriptors run out first (a pipe, a folder read) depends on the timing; the
    // cause is named either way.
    QVERIFY2(run.err.contains(": Too many open files"), run.err);
    const QList<QByteArray> last = run.out.trimmed().split('\n');
    QVERIFY2(last.last().contains(" 0 wrong"), run.out);
}

void TestSandbox::closedStandardDescriptors()
{
    needs_sandbox();
    bench.program("closed/queue.exe", "args\n");
    run_grader({"suite", "-e", "queue", "-r", "ref", "--csv", "closed.csv", "closed/queue.exe"},
               bench.path(), 0, true);
    const QByteArray csv = bench.read("closed.csv");
    QVERIFY2(csv.startsWith("program,case,"), csv);
    QVERIFY(!csv.contains("correct  wrong"));
}

void TestSandbox::withoutSandbox()
{
    // Today's behaviour, with the fixes that need no sandbox: a program that moves into the
    // grader's process group still ends at the time-out, and the report says what was missing.
    const Run run
        = run_grader({"suite", "-e", "queue", "-r", "ref", "-t", "0.3", "--no-sandbox", "--json",
                      "bare.json", "class/honest/queue.exe", "class/join-grader-group/queue.exe"},
                     bench.path());
    QCOMPARE(run.status, 1);
    QVERIFY2(run.out.endsWith("2 programs, 20 cases: 10 correct, 10 wrong (10 time-outs, 0 "
                              "crashes)\n"),
             run.out);
    const QJsonObject bare = QJsonDocument::fromJson(bench.read("bare.json")).object();
    QCOMPARE(bare.value("sandbox").toObject().value("enabled"), QJsonValue(false));
    QCOMPARE(processes_running(bench.path("class/join-grader-group/queue.exe")), 0);
}

// An installation below /usr, in a mount namespace of the test's own: a script that runs the
// installed reference finds nothing, while an honest program beside it scores in full.
void TestSandbox::installedReferenceHidden()
{
    needs_sandbox();
    if (::geteuid() != 0)
        QSKIP("a private mount namespace needs root");
    const QString usr = bench.path("installed/usr-local");
    QDir().mkpath(usr + "/bin");
    QDir().mkpath(usr + "/libexec/orvimet/resource");
    QVERIFY(QFile::copy(ORVIMET_CLI, usr + "/bin/orvimet-cli"));
    QVERIFY(QFile::copy(ORVIMET_LAUNCH, usr + "/libexec/orvimet/orvimet-launch"));
    bench.program("installed/usr-local/libexec/orvimet/resource/b.exe", "args\n");
    bench.program("installed/class/honest/queue.exe", "args\n");
    QDir().mkpath(bench.path("installed/class/script"));
    bench.write("installed/class/script/queue.exe",
                "#!/bin/sh\nexec /usr/local/libexec/orvimet/resource/b.exe \"$@\"\n");
    QFile::setPermissions(bench.path("installed/class/script/queue.exe"),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    const QByteArray tree = usr.toUtf8();
    const Run run = run_grader(
        {"suite", "-e", "queue", "installed/class/script/queue.exe",
         "installed/class/honest/queue.exe"},
        bench.path(), 0, false,
        [&] { return private_mounts(nullptr, nullptr, false, tree.constData(), "/usr/local"); },
        "/usr/local/bin/orvimet-cli");
    QVERIFY2(run.status == 1, run.out + run.err);
    QVERIFY2(run.out.contains(
                 "      0     10          0        0  graded           installed/class/script/"),
             run.out);
    QVERIFY2(run.out.contains(
                 "     10      0          0        0  graded           installed/class/honest/"),
             run.out);
}

void TestSandbox::fullScratch_data()
{
    QTest::addColumn<bool>("full");   // the scratch disk is full before grading starts
    QTest::addColumn<int>("status");  // the grader's exit status
    QTest::addColumn<QString>("row"); // the honest program's row on the terminal
    QTest::newRow("a program filling its folder, then one answering in a file")
        << false << 1
        << "     10      0          0        0  graded           scratch/class/answer-file/";
    QTest::newRow("no room to keep an answer: not graded, never wrong")
        << true << 2 << "      0      0          0        0  ";
}

// The scratch folder on a small disk of its own (root: a mount namespace of the test's own).
void TestSandbox::fullScratch()
{
    QFETCH(bool, full);
    QFETCH(int, status);
    QFETCH(QString, row);
    needs_sandbox();
    if (::geteuid() != 0)
        QSKIP("a private mount namespace needs root");
    QDir().mkpath(bench.path("scratch/class/fill-disk"));
    QFile::remove(bench.path("scratch/class/fill-disk/queue.exe"));
    QVERIFY(QFile::copy(ORVIMET_HOSTILE, bench.path("scratch/class/fill-disk/queue.exe")));
    bench.program("scratch/class/answer-file/queue.exe", "argsfile:queue.txt\n");
    QDir().mkpath(bench.path("scratch/tmp"));
    const QByteArray tmp = bench.path("scratch/tmp").toUtf8();
    qputenv("TMPDIR", tmp);
    const Run run = run_grader(
        {"suite", "-e", "queue", "-r", "ref", "-j", "1", "scratch/class/fill-disk/queue.exe",
         "scratch/class/answer-file/queue.exe"},
        bench.path(), 0, false, [&] { return private_mounts(tmp.constData(), "size=96m", full); });
    qunsetenv("TMPDIR");
    QVERIFY2(run.status == status, run.out + run.err);
    QVERIFY2(run.out.contains(row.toUtf8()), run.out);
    if (full)
        QVERIFY2(run.err.contains("cannot keep the answer file: No space left on device"), run.err);
}

// A report that fills its disk midway: the grader says so, ends what runs and leaves no scratch.
void TestSandbox::reportOnFullDisk()
{
    needs_sandbox();
    if (::geteuid() != 0)
        QSKIP("a private mount namespace needs root");
    bench.program("fulldisk/class/honest/queue.exe", "args\n");
    bench.program("fulldisk/class/hung/queue.exe", "sleep:600000\n");
    QDir().mkpath(bench.path("fulldisk/reports"));
    QDir().mkpath(bench.path("fulldisk/tmp"));
    const QByteArray reports = bench.path("fulldisk/reports").toUtf8();
    qputenv("TMPDIR", bench.path("fulldisk/tmp").toUtf8());
    const Run run = run_grader({"suite", "-e", "queue", "-r", "ref", "-j", "2", "-t", "600",
                                "--json", "fulldisk/reports/class.json",
                                "fulldisk/class/honest/queue.exe", "fulldisk/class/hung/queue.exe"},
                               bench.path(), 0, false, [&] {
                                   return private_mounts(reports.constData(), "size=4k", false);
                               });
    qunsetenv("TMPDIR");
    QVERIFY2(run.status == 2, run.out + run.err);
    QVERIFY2(run.err.contains("cannot write the report fulldisk/reports/class.json: No space left "
                              "on device"),
             run.err);
    QCOMPARE(processes_running(bench.path("fulldisk/class/hung/queue.exe")), 0);
    QCOMPARE(QDir(bench.path("fulldisk/tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

// A grader killed outright, running a program that never ends: nothing of the class lives on.
void TestSandbox::killedGraderLeavesNothing()
{
    needs_sandbox();
    bench.program("killed/class/hung/queue.exe", "sleep:600000\n");
    const QByteArray folder = bench.path().toUtf8();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null_fd = ::open("/dev/null", O_RDWR);
        if (::chdir(folder.constData()) != 0 || ::dup2(null_fd, 1) != 1 || ::dup2(null_fd, 2) != 2)
            ::_exit(126);
        ::execl(ORVIMET_CLI, ORVIMET_CLI, "suite", "-e", "queue", "-r", "ref", "-t", "600",
                "killed/class/hung/queue.exe", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    QVERIFY(pid > 0);
    const QString hung = bench.path("killed/class/hung/queue.exe");
    QTRY_VERIFY_WITH_TIMEOUT(processes_running(hung) > 0, 30000);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    QTRY_COMPARE_WITH_TIMEOUT(processes_running(hung), 0, 10000);
}

// A reference that cannot run a line of a megabyte: the message shows its start and its size.
void TestSandbox::longCaseLineCut()
{
    bench.program("long/ref/b.exe", "crash\n");
    bench.program("long/class/honest/queue.exe", "args\n");
    bench.write("long/cases.txt", QByteArray(" -S 1").repeated(200000) + "\n");
    const Run run = run_grader({"suite", "-e", "queue", "-r", "long/ref", "--no-sandbox", "--cases",
                                "long/cases.txt", "long/class/honest/queue.exe"},
                               bench.path());
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("(1000000 bytes in all)"), run.err.left(400));
    QVERIFY2(run.err.size() < 1000, run.err.left(400));
}

void TestSandbox::cleanupTestCase()
{
    // QDir cannot name what is not UTF-8.
    const std::string raw = bench.path().toStdString() + "/class/\xB2\xE2\xCA\xD4";
    for (const char *name : {"/queue.exe", "/queue.exe.do", "/queue.txt"})
        ::unlink((raw + name).c_str());
    ::rmdir(raw.c_str());
    if (listener >= 0)
        ::close(listener);
}

QTEST_MAIN(TestSandbox)
#include "tst_sandbox.moc"
