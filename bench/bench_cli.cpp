// Benchmark of orvimet-cli grading a class: wall time of one "suite" over N programs with each
// number of jobs.
//
//   bench_cli [--programs N] [--runs R] [--jobs 1,2,...]
//
// For two sample exercises (stack: the program prints its answer; queue: it answers through
// queue.txt, which the grader moves) the class is N copies of the sample program, each in a
// folder of its own. Every configuration is graded R times, alternating between the job counts,
// and the table shows the median and the spread, the time per case, the speed-up over one job and
// how many processor cores the grader and its programs kept busy on average (their CPU time over
// the wall time): on a machine shared with other work, that column tells whether a second core
// was there to be had. A run whose report is not "every answer correct" stops the benchmark: it
// measured something else.
//
// The row "direct" is the floor: the same student runs (not the reference runs) started one after
// another by a bare posix_spawn loop, output to /dev/null, judging nothing. Each job count is
// graded with the sandbox ("sandbox") and without it ("bare"). Two more floors show what the
// sandbox itself costs: "bwrap" starts `bwrap --ro-bind / / true` as often as there are cases,
// the least a bubblewrap sandbox costs; "sandboxed" makes each student run through the grader's
// own sandboxed runner (namespaces, binds, launcher, limits; one sandbox kept for each
// program's ten runs), one after another, judging nothing. "direct x2" and "sandboxed x2" make
// the same runs in two processes at once, each taking every other program: what two cores give
// a bare loop at this moment, the floor that two jobs of the grader are held to when the machine
// is too busy for 1.8x.
//
// A last table shows the grader's peak resident memory (of the grader, or of the largest
// program it ran, whichever is larger) for a class of ten honest programs and for the same
// class with one program that prints without end, on the ten strings and on the extended list:
// what a program prints must not make the grader grow.

#include "judge/suitecases.h"
#include "sandbox/process.h"
#include "sandbox/sandbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct Options
{
    int programs = 40;
    int runs = 5;
    std::vector<int> jobs{1, 2};
};

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "bench_cli: %s\n", qPrintable(message));
    std::exit(1);
}

Options parse(const QStringList &arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &name = arguments.at(i);
        if (i + 1 == arguments.size())
            fail(QStringLiteral("%1 needs a value").arg(name));
        const QString value = arguments.at(++i);
        bool ok = true;
        if (name == QLatin1String("--programs")) {
            options.programs = value.toInt(&ok);
        } else if (name == QLatin1String("--runs")) {
            options.runs = value.toInt(&ok);
        } else if (name == QLatin1String("--jobs")) {
            options.jobs.clear();
            for (const QString &part : value.split(QLatin1Char(',')))
                options.jobs.push_back(part.toInt(&ok));
        } else {
            fail(QStringLiteral("unknown option %1").arg(name));
        }
        if (!ok)
            fail(QStringLiteral("%1: not a number: %2").arg(name, value));
    }
    return options;
}

// N copies of a sample program: class/s01/<name>.exe, class/s02/<name>.exe, ...
QStringList make_class(const QTemporaryDir &dir, const QString &sample, int count)
{
    QStringList programs;
    for (int i = 1; i <= count; ++i) {
        const QString folder = QStringLiteral("%1/s%2").arg(sample).arg(i, 2, 10, QLatin1Char('0'));
        const QString program = folder + QLatin1Char('/') + sample + QStringLiteral(".exe");
        QDir(dir.path()).mkpath(folder);
        if (!QFile::copy(QStringLiteral(ORVIMET_EXAMPLES_DIR "/") + sample + ".exe",
                         dir.filePath(program)))
            fail(QStringLiteral("cannot copy the sample program %1").arg(sample));
        programs << program;
    }
    return programs;
}

struct Timing
{
    double wall_ms = 0;
    double cpu_ms = 0; // user and system time of the grader and every program it ran
};

double children_cpu_ms()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

Timing grade(const QTemporaryDir &dir, const QString &exercise, const QStringList &programs,
             int jobs, bool sandbox)
{
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{"suite", "--exercise", exercise, "--jobs", QString::number(jobs)};
    if (!sandbox)
        arguments << QStringLiteral("--no-sandbox");
    const double cpu_before = children_cpu_ms();
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(ORVIMET_CLI), arguments + programs);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        fail(QStringLiteral("the %1 class was not graded all correct:\n%2")
                 .arg(exercise, QString::fromUtf8(process.readAllStandardOutput())));
    return {static_cast<double>(timer.nsecsElapsed()) / 1e6, children_cpu_ms() - cpu_before};
}

using Argv = std::vector<std::string>;

// Every command started and waited for one at a time, output to /dev/null; descriptors 3 and 4
// are there for a sandbox's status and information.
Timing spawn_all(const QTemporaryDir &dir, std::vector<Argv> commands)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 3, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 4, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, dir.path().toUtf8().constData());
    const double cpu_before = children_cpu_ms();
    QElapsedTimer timer;
    timer.start();
    for (Argv &words : commands) {
        std::vector<char *> argv;
        for (std::string &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        pid_t pid;
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            fail(QStringLiteral("cannot start %1").arg(QString::fromUtf8(argv[0])));
        int status;
        waitpid(pid, &status, 0);
    }
    const Timing timing{static_cast<double>(timer.nsecsElapsed()) / 1e6,
                        children_cpu_ms() - cpu_before};
    posix_spawn_file_actions_destroy(&actions);
    return timing;
}

// Every program on every option string.
std::vector<Argv> student_runs(const QTemporaryDir &dir, const QStringList &programs)
{
    std::vector<Argv> commands;
    for (const QString &program : programs) {
        for (const char *options : suite_options) {
            Argv words{dir.filePath(program).toStdString()};
            for (const QByteArray &word : QByteArray(options).split(' ')) {
                if (!word.isEmpty())
                    words.push_back(word.toStdString());
            }
            commands.push_back(words);
        }
    }
    return commands;
}

// The same runs through the grader's sandboxed runner, judging nothing: one working folder per
// program, made once, and the program's sandbox kept for its ten runs, as the grader does.
Timing sandbox_all(const QTemporaryDir &dir, const std::vector<Argv> &runs,
                   unsigned first_uid = Sandbox{}.first_uid)
{
    Sandbox sandbox;
    sandbox.first_uid = first_uid;
    const double cpu_before = children_cpu_ms();
    QElapsedTimer timer;
    timer.start();
    std::string folder;
    Command command;
    for (const Argv &run : runs) {
        const std::string program_folder = run.front().substr(0, run.front().rfind('/'));
        if (program_folder != folder) {
            end_kept_sandboxes();
            folder = program_folder;
            command.workdir
                = dir.path().toStdString() + "/sandboxed" + folder.substr(folder.rfind('/'));
            command.visible = {folder};
            QDir().mkpath(QString::fromStdString(command.workdir));
        }
        command.argv = run;
        const ChildRun child = run_child(command, Limits{}, sandbox);
        if (child.end != ChildRun::End::Exited)
            fail(QStringLiteral("a sandboxed run did not end normally: %1")
                     .arg(QString::fromStdString(child.failure)));
    }
    end_kept_sandboxes();
    return {static_cast<double>(timer.nsecsElapsed()) / 1e6, children_cpu_ms() - cpu_before};
}

// The runs of every other program (`half` 0 or 1): each program's ten runs stay together.
std::vector<Argv> half_of(const std::vector<Argv> &runs, int half)
{
    std::vector<Argv> kept;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (static_cast<int>(i / 10 % 2) == half)
            kept.push_back(runs[i]);
    }
    return kept;
}

// `work(half)` for both halves at once, each in a process of its own.
template<class Work>
Timing in_two_processes(Work work)
{
    const double cpu_before = children_cpu_ms();
    QElapsedTimer timer;
    timer.start();
    pid_t pids[2];
    for (int half = 0; half < 2; ++half) {
        pids[half] = fork();
        if (pids[half] == 0) {
            work(half);
            _exit(0);
        }
        if (pids[half] < 0)
            fail(QStringLiteral("cannot fork"));
    }
    bool good = true;
    for (const pid_t pid : pids) {
        int status = 0;
        good = waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0
               && good;
    }
    if (!good)
        fail(QStringLiteral("a loop in two processes failed"));
    return {static_cast<double>(timer.nsecsElapsed()) / 1e6, children_cpu_ms() - cpu_before};
}

// The peak resident memory, in MiB, of orvimet-cli grading `programs` with `arguments`.
double peak_memory_mib(const QTemporaryDir &dir, const QStringList &arguments,
                       const QStringList &programs)
{
    std::vector<std::string> words{ORVIMET_CLI};
    for (const QString &word : arguments + programs)
        words.push_back(word.toStdString());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, dir.path().toUtf8().constData());
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        fail(QStringLiteral("cannot start the grader"));
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    // Exit 1: the printer's cases are wrong, as they must be.
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1)
        fail(QStringLiteral("the memory class was not graded"));
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

// Ten copies of the queue sample, and a program that prints without end.
void memory_table()
{
    const QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no scratch folder"));
    const QStringList honest = make_class(dir, QStringLiteral("queue"), 10);
    QDir(dir.path()).mkpath(QStringLiteral("printer"));
    // The printer is a script beside its own copy of the child, so that the sandbox shows both.
    QFile script(dir.filePath(QStringLiteral("printer/queue.exe")));
    if (!QFile::copy(QStringLiteral(ORVIMET_TINYCHILD),
                     dir.filePath(QStringLiteral("printer/child")))
        || !script.open(QIODevice::WriteOnly)
        || script.write("#!/bin/sh\nexec \"${0%/*}/child\" -B 1000000000000000\n") < 0)
        fail(QStringLiteral("cannot write the printer"));
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    std::printf("\n%-24s %-12s %16s\n", "class", "cases", "peak memory MiB");
    for (const bool printer : {false, true}) {
        for (const bool extended : {false, true}) {
            QStringList arguments{"suite", "--exercise", "queue", "--jobs",
                                  "2",     "--timeout",  "0.5"};
            if (extended)
                arguments << QStringLiteral("--cases") << QStringLiteral("extended");
            const QStringList programs
                = printer ? honest + QStringList{QStringLiteral("printer/queue.exe")} : honest;
            std::printf("%-24s %-12s %16.1f\n", printer ? "10 honest + 1 printer" : "10 honest",
                        extended ? "extended" : "ten strings",
                        peak_memory_mib(dir, arguments, programs));
            std::fflush(stdout);
        }
    }
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Options options = parse(QCoreApplication::arguments());
    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no scratch folder"));

    const int cases = options.programs * 10;
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3)
        std::printf("load average at the start: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    std::printf("%d programs x 10 option strings = %d cases per run; median of %d runs\n\n",
                options.programs, cases, options.runs);
    std::printf("%-10s %-10s %11s %11s %11s %9s %11s\n", "class", "jobs", "median ms", "range ms",
                "ms / case", "speed-up", "cores busy");
    const auto print_row
        = [&](const QString &exercise, const QString &label, const std::vector<double> &t,
              const std::vector<double> &busy, double one_job) {
              const double m = median(t);
              const QString range = QStringLiteral("%1-%2")
                                        .arg(*std::min_element(t.begin(), t.end()), 0, 'f', 0)
                                        .arg(*std::max_element(t.begin(), t.end()), 0, 'f', 0);
              const QString speed_up
                  = one_job > 0 ? QStringLiteral("%1x").arg(one_job / m, 0, 'f', 2) : QString();
              std::printf("%-10s %-10s %11.0f %11s %11.2f %9s %11.2f\n", qPrintable(exercise),
                          qPrintable(label), m, qPrintable(range), m / cases, qPrintable(speed_up),
                          median(busy));
          };
    for (const QString &exercise : {QStringLiteral("stack"), QStringLiteral("queue")}) {
        const QStringList programs = make_class(dir, exercise, options.programs);
        const std::vector<Argv> runs = student_runs(dir, programs);
        const std::vector<Argv> bare_bwrap(runs.size(), {"bwrap", "--ro-bind", "/", "/", "true"});
        // Floors first, then the grader with and without the sandbox for each job count.
        std::map<QString, std::vector<double>> times, busy;
        std::vector<QString> order{"direct", "direct x2", "bwrap", "sandboxed", "sandboxed x2"};
        for (const int jobs : options.jobs) {
            order.push_back(QStringLiteral("%1 bare").arg(jobs));
            order.push_back(QStringLiteral("%1 sandbox").arg(jobs));
        }
        grade(dir, exercise, programs, options.jobs.front(), true); // warm the file cache
        const auto record = [&](const QString &label, const Timing &timing) {
            times[label].push_back(timing.wall_ms);
            busy[label].push_back(timing.cpu_ms / timing.wall_ms);
        };
        for (int run = 0; run < options.runs; ++run) {
            record("direct", spawn_all(dir, runs));
            record("direct x2",
                   in_two_processes([&](int half) { spawn_all(dir, half_of(runs, half)); }));
            record("bwrap", spawn_all(dir, bare_bwrap));
            record("sandboxed", sandbox_all(dir, runs));
            // The second process's programs run as other users, as a second job's do.
            record("sandboxed x2", in_two_processes([&](int half) {
                       sandbox_all(dir, half_of(runs, half), Sandbox{}.first_uid + 512 * half);
                   }));
            for (const int jobs : options.jobs) {
                record(QStringLiteral("%1 bare").arg(jobs),
                       grade(dir, exercise, programs, jobs, false));
                record(QStringLiteral("%1 sandbox").arg(jobs),
                       grade(dir, exercise, programs, jobs, true));
            }
        }
        for (const QString &label : order) {
            const bool grader = label.endsWith(QLatin1String(" bare"))
                                || label.endsWith(QLatin1String(" sandbox"));
            QString first;
            if (label.endsWith(QLatin1String("bare")))
                first = QStringLiteral("%1 bare").arg(options.jobs.front());
            else if (grader)
                first = QStringLiteral("%1 sandbox").arg(options.jobs.front());
            else if (label.endsWith(QLatin1String(" x2")))
                first = label.chopped(3);
            print_row(exercise, label, times[label], busy[label],
                      first.isEmpty() ? 0 : median(times[first]));
        }
        // Two jobs against one, held to 1.8x, or to what two bare loops got from the machine in
        // the same sitting when that is less.
        if (std::find(options.jobs.begin(), options.jobs.end(), 2) != options.jobs.end()
            && options.jobs.front() == 1) {
            for (const QString &kind : {QStringLiteral("bare"), QStringLiteral("sandbox")}) {
                const double speed_up = median(times["1 " + kind]) / median(times["2 " + kind]);
                const QString floor_label = kind == "bare" ? "direct" : "sandboxed";
                const double floor
                    = median(times[floor_label]) / median(times[floor_label + " x2"]);
                const double goal = std::min(1.8, floor);
                std::printf("%-10s two jobs %-8s %.3fx; goal %.3fx (1.8x, or %s x2: %.3fx): %s\n",
                            qPrintable(exercise), qPrintable(kind), speed_up, goal,
                            qPrintable(floor_label), floor, speed_up >= goal ? "met" : "not met");
            }
        }
    }
    memory_table();
    if (getloadavg(load, 3) == 3)
        std::printf("load average at the end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    return 0;
}
