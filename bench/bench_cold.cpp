// Benchmark of a class graded cold against its floor: `orvimet-cli grade` on a class handing in
// sources, with an empty cache of builds, against the least the same work can cost.
//
//   bench_cold [--students N] [--rounds R] [--jobs 1,2,...] [--baseline CLI]
//
// The class: N students in the course website's layout ("Student NN_<id>_assignsubmission_file_"),
// each handing in the sample queue program's sources with one of the mistakes of the faulty class
// switched on in their fault.h (the names are read from examples/, so that every fault there
// takes its turn; the first student has none) and a line of their own, so that no two share a
// key in the cache of builds. Every student is graded on the ten option strings.
//
// The grade: `orvimet-cli grade --exercise queue --jobs J` with a cache folder made empty for
// each grading ($XDG_CACHE_HOME in a fresh folder): every build runs the compiler, in the
// sandbox, and the program's cases run in the sandbox.
//
// The floor: the same work with nothing of the grader's: each student's sources built by `g++`
// with the grader's default flags, started bare (posix_spawn, waitpid; no sandbox, no cache),
// then each built program run on the ten option strings in a folder of its own (its output read
// to the end, its answer file left where it is), one after another. Builds and runs are timed
// apart; the floor for J jobs is their sum divided by J. It is measured once a round, opening
// one round and closing the next, so that each ratio compares figures of the same few minutes
// on a machine shared with other work; the table gives medians over the rounds.
//
// For J > 1 the same bare work is also done on J threads at once, each taking the next student,
// beside the J-job grading: what the machine gave J jobs at that moment. On a machine shared
// with other work two compilers at once seldom run twice as fast as one; the grading against
// this floor tells the grader's share from the machine's.
//
// With --baseline, another orvimet-cli (an older build, copied beside this one, where it finds
// the reference programs) grades the same class cold in the same turns.

#include "judge/suitecases.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

const char *const flags[] = {"-std=c++17", "-O2", "-Wall", "-Wextra"};

struct Options
{
    int students = 32;
    int rounds = 3;
    std::vector<int> jobs{1, 2};
    std::string baseline;
};

[[noreturn]] void fail(const std::string &message)
{
    std::fprintf(stderr, "bench_cold: %s\n", message.c_str());
    std::exit(1);
}

Options parse(const QStringList &arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); i += 2) {
        const QString &name = arguments.at(i);
        const QString value = i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
        bool ok = true;
        if (name == QLatin1String("--students")) {
            options.students = value.toInt(&ok);
        } else if (name == QLatin1String("--rounds")) {
            options.rounds = value.toInt(&ok);
        } else if (name == QLatin1String("--baseline")) {
            options.baseline = value.toStdString();
        } else if (name == QLatin1String("--jobs")) {
            options.jobs.clear();
            for (const QString &part : value.split(QLatin1Char(',')))
                options.jobs.push_back(part.toInt(&ok));
        } else {
            ok = false;
        }
        if (!ok || value.isEmpty() || options.students < 1 || options.rounds < 1)
            fail("usage: bench_cold [--students N] [--rounds R] [--jobs 1,2,...] "
                 "[--baseline CLI]");
    }
    return options;
}

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double cpu_ms(const rusage &usage)
{
    const auto ms
        = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Run
{
    double wall_ms = 0;
    double cpu_ms = 0; // of the process and all it waited for
    int exit_code = -1;
};

// Starts `argv` in `folder`, its standard input empty and its output into `out` (a file, or a
// pipe read to the end when `out` is empty), and waits for it.
Run spawn(std::vector<std::string> argv, const std::string &folder, const std::string &out = {})
{
    std::vector<char *> pointers;
    for (std::string &word : argv)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    int pipe_ends[2] = {-1, -1};
    if (out.empty()) {
        if (::pipe2(pipe_ends, O_CLOEXEC) != 0)
            fail("no pipe");
        posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 1);
        posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    // A session of its own, as every sandbox starts one (bwrap --new-session): where the kernel
    // groups processes by session for its fair share (autogroups), a bare compiler in this
    // benchmark's session would share one group's time with everything else started from the
    // same session, while the grader's sandboxed compilers each get a group's share.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, pointers[0], &actions, &attributes, pointers.data(), environ) != 0)
        fail("cannot start " + argv[0]);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (out.empty()) {
        ::close(pipe_ends[1]);
        char buffer[65536];
        while (::read(pipe_ends[0], buffer, sizeof buffer) > 0) {
        }
        ::close(pipe_ends[0]);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
    }
    Run run;
    run.wall_ms = ms_since(start);
    run.cpu_ms = cpu_ms(usage);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

QByteArray read_file(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write_file(const QString &path, const QByteArray &data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        fail("cannot write " + path.toStdString());
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Every mistake the sample programs can be built with, in the order the sources name them.
QStringList fault_names()
{
    QStringList names;
    const QRegularExpression call(QStringLiteral("fault\\(\"([a-z0-9_]+)\"\\)"));
    for (const QString &file : QDir(QStringLiteral(ORVIMET_SOURCE_DIR "/examples"))
                                   .entryList({QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                                              QDir::Files, QDir::Name)) {
        const QString text
            = QString::fromUtf8(read_file(QStringLiteral(ORVIMET_SOURCE_DIR "/examples/") + file));
        for (auto it = call.globalMatch(text); it.hasNext();) {
            const QString name = it.next().captured(1);
            if (!names.contains(name))
                names << name;
        }
    }
    return names;
}

struct Floor
{
    double build_ms = 0, run_ms = 0, build_cpu = 0, run_cpu = 0; // summed over the processes
    double wall_ms = 0;                                          // of the whole
};

class Bench
{
public:
    explicit Bench(const Options &options)
        : options(options)
    {
        if (!scratch.isValid())
            fail("no temporary folder");
        // Programs run as an unprivileged user when the grader is root: the folders must be
        // readable to it.
        ::chmod(QFile::encodeName(scratch.path()).constData(), 0755);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (::access(compiler.c_str(), X_OK) != 0)
            fail("no " + compiler);
    }

    void make_class()
    {
        const QStringList faults = fault_names();
        const QString root = scratch.filePath(QStringLiteral("class"));
        for (int i = 0; i < options.students; ++i) {
            const QString folder = root
                                   + QStringLiteral("/Student %1_%2_assignsubmission_file_")
                                         .arg(i, 2, 10, QLatin1Char('0'))
                                         .arg(7100 + i);
            QDir().mkpath(folder);
            const QString fault = i == 0 ? QString() : faults.at((i - 1) % faults.size());
            for (const char *name :
                 {"queue_main.cpp", "queue.cpp", "queue.h", "exercise.h", "fault.h"}) {
                QByteArray text = read_file(QStringLiteral(ORVIMET_SOURCE_DIR "/examples/")
                                            + QLatin1String(name));
                if (text.isEmpty())
                    fail(std::string("no sample source ") + name);
                if (QByteArray(name) == "fault.h" && !fault.isEmpty())
                    text.prepend("#define ORVIMET_FAULT \"" + fault.toUtf8() + "\"\n");
                if (QByteArray(name) == "queue.cpp")
                    text += "// handed in by student " + QByteArray::number(i) + "\n";
                write_file(folder + QLatin1Char('/') + QLatin1String(name), text);
            }
            folders << folder;
        }
    }

    // Bare g++ for each student and its built program on the ten strings, the students taken in
    // turn by `threads` threads; with one, every build and run one after another.
    Floor floor(int threads)
    {
        const QString built = scratch.filePath(QStringLiteral("floor"));
        QDir(built).removeRecursively();
        std::vector<std::string> outs, roots;
        for (int i = 0; i < folders.size(); ++i) {
            const QString out = built + QStringLiteral("/%1").arg(i);
            QDir().mkpath(out);
            outs.push_back(out.toStdString());
            roots.push_back(folders.at(i).toStdString());
        }
        std::atomic<int> next{0};
        std::vector<Floor> parts(static_cast<std::size_t>(threads));
        auto work = [&](Floor &f) {
            for (int i = next++; i < static_cast<int>(outs.size()); i = next++) {
                const std::string &out = outs[static_cast<std::size_t>(i)];
                std::vector<std::string> argv{compiler};
                argv.insert(argv.end(), std::begin(flags), std::end(flags));
                argv.insert(argv.end(), {"queue_main.cpp", "queue.cpp", "-o", out + "/queue"});
                const Run r = spawn(argv, roots[static_cast<std::size_t>(i)]);
                if (r.exit_code != 0)
                    fail("the bare compiler failed on " + roots[static_cast<std::size_t>(i)]);
                f.build_ms += r.wall_ms;
                f.build_cpu += r.cpu_ms;
                for (const char *line : suite_options) {
                    std::vector<std::string> run{out + "/queue"};
                    for (const QByteArray &word : QByteArray(line).split(' '))
                        if (!word.isEmpty())
                            run.push_back(word.toStdString());
                    const Run ran = spawn(run, out);
                    f.run_ms += ran.wall_ms;
                    f.run_cpu += ran.cpu_ms;
                }
            }
        };
        const Clock::time_point start = Clock::now();
        std::vector<std::thread> started;
        for (Floor &part : parts)
            started.emplace_back(work, std::ref(part));
        for (std::thread &thread : started)
            thread.join();
        Floor f;
        f.wall_ms = ms_since(start);
        for (const Floor &part : parts) {
            f.build_ms += part.build_ms;
            f.run_ms += part.run_ms;
            f.build_cpu += part.build_cpu;
            f.run_cpu += part.run_cpu;
        }
        return f;
    }

    // One cold grading; checks in results.json that it built everybody and graded them all.
    Run grade(int jobs, const std::string &cli)
    {
        const QString cache = scratch.filePath(QStringLiteral("cache"));
        QDir(cache).removeRecursively();
        QDir().mkpath(cache);
        ::setenv("XDG_CACHE_HOME", QFile::encodeName(cache).constData(), 1);
        const QString out = scratch.filePath(QStringLiteral("out"));
        const Run r = spawn({cli, "grade", "--exercise", "queue", "--jobs", std::to_string(jobs),
                             "--quiet", "--force", "--out", out.toStdString(),
                             scratch.filePath(QStringLiteral("class")).toStdString()},
                            scratch.path().toStdString(),
                            scratch.filePath(QStringLiteral("log")).toStdString());
        const QJsonArray students
            = QJsonDocument::fromJson(read_file(out + QStringLiteral("/results.json")))
                  .object()
                  .value(QStringLiteral("students"))
                  .toArray();
        int graded = 0;
        for (const QJsonValue &value : students) {
            const QJsonObject s = value.toObject();
            graded += s.value(QStringLiteral("status")).toString() == QLatin1String("graded")
                      && !s.value(QStringLiteral("build"))
                              .toObject()
                              .value(QStringLiteral("from_cache"))
                              .toBool();
        }
        if (r.exit_code < 0 || r.exit_code > 1 || graded != options.students)
            fail("grade did not build and grade every student (exit " + std::to_string(r.exit_code)
                 + ", " + std::to_string(graded) + " graded):\n"
                 + read_file(scratch.filePath(QStringLiteral("log"))).toStdString());
        return r;
    }

    void measure()
    {
        std::map<std::string, std::vector<double>> wall, cpu, ratio, ratio_machine;
        std::vector<double> floor_build, floor_run, floor_cpu;
        const std::vector<std::pair<std::string, std::string>> graders
            = options.baseline.empty()
                  ? std::vector<std::pair<std::string, std::string>>{{"grade", ORVIMET_CLI}}
                  : std::vector<std::pair<std::string, std::string>>{
                      {"grade", ORVIMET_CLI}, {"baseline", options.baseline}};
        for (int round = 0; round < options.rounds; ++round) {
            // The bare floor opens one round and closes the next; each job count's gradings and
            // the same work bare on as many threads take turns likewise.
            const bool floor_first = round % 2 == 0;
            Floor serial;
            if (floor_first)
                serial = floor(1);
            std::map<int, std::map<std::string, Run>> runs;
            std::map<int, Floor> machine;
            for (const int jobs : options.jobs) {
                if (jobs > 1 && floor_first)
                    machine[jobs] = floor(jobs);
                for (std::size_t k = 0; k < graders.size(); ++k) {
                    const auto &[name, cli] = graders[(k + round) % graders.size()];
                    runs[jobs][name] = grade(jobs, cli);
                }
                if (jobs > 1 && !floor_first)
                    machine[jobs] = floor(jobs);
            }
            if (!floor_first)
                serial = floor(1);
            floor_build.push_back(serial.build_ms);
            floor_run.push_back(serial.run_ms);
            floor_cpu.push_back(serial.build_cpu + serial.run_cpu);
            for (const int jobs : options.jobs) {
                const std::string j = std::to_string(jobs);
                const double bare = (serial.build_ms + serial.run_ms) / jobs;
                const double given = jobs > 1 ? machine[jobs].wall_ms : bare * jobs;
                wall["floor " + j].push_back(bare);
                wall["bare " + j].push_back(given);
                std::printf("  round %d, %d jobs: floor %.0f ms (builds %.0f, runs %.0f, / %d)",
                            round + 1, jobs, bare, serial.build_ms, serial.run_ms, jobs);
                if (jobs > 1)
                    std::printf(", bare on %d threads %.0f ms", jobs, given);
                for (const auto &[name, r] : runs[jobs]) {
                    wall[name + " " + j].push_back(r.wall_ms);
                    cpu[name + " " + j].push_back(r.cpu_ms);
                    ratio[name + " " + j].push_back(r.wall_ms / bare);
                    ratio_machine[name + " " + j].push_back(r.wall_ms / given);
                    std::printf(", %s %.0f ms (%.3fx; %.3fx)", name.c_str(), r.wall_ms,
                                r.wall_ms / bare, r.wall_ms / given);
                }
                std::printf("\n");
            }
            std::fflush(stdout);
        }
        std::printf("\nA cold class of %d from its sources, 10 cases each, empty cache of builds "
                    "(s, median of %d rounds)\n",
                    options.students, options.rounds);
        std::printf("  floor: bare g++ builds %.2f s (%.0f ms each), bare runs %.2f s (%.2f ms "
                    "each), CPU %.2f s\n",
                    median(floor_build) / 1e3, median(floor_build) / options.students,
                    median(floor_run) / 1e3, median(floor_run) / (options.students * 10.0),
                    median(floor_cpu) / 1e3);
        std::printf("  %-10s %5s %9s %9s %9s %9s %9s %8s %12s %9s\n", "", "jobs", "wall", "best",
                    "worst", "CPU", "floor", "ratio", "bare, J thr", "ratio");
        for (const int jobs : options.jobs) {
            const std::string j = std::to_string(jobs);
            for (const auto &grader : graders) {
                const std::string key = grader.first + " " + j;
                const std::vector<double> &t = wall[key];
                std::printf("  %-10s %5d %9.2f %9.2f %9.2f %9.2f %9.2f %7.3fx %12.2f %8.3fx\n",
                            grader.first.c_str(), jobs, median(t) / 1e3,
                            *std::min_element(t.begin(), t.end()) / 1e3,
                            *std::max_element(t.begin(), t.end()) / 1e3, median(cpu[key]) / 1e3,
                            median(wall["floor " + j]) / 1e3, median(ratio[key]),
                            median(wall["bare " + j]) / 1e3, median(ratio_machine[key]));
            }
        }
        std::printf("  (ratio: median over the rounds of each grading against the floor of its "
                    "round, the bare builds and runs one after another divided by the jobs; goal "
                    "1.100x. \"bare, J thr\": the same bare work on as many threads at once, what "
                    "the machine gave J jobs in that round, and the grading against it)\n");
    }

private:
    const Options options;
    QTemporaryDir scratch;
    QStringList folders;
    // The grader's default compiler, g++ on the search path, is this one on Debian.
    const std::string compiler = "/usr/bin/g++";
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Options options = parse(QCoreApplication::arguments());
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) == 3)
        std::printf("load average at the start: %.2f %.2f %.2f, %u cores\n\n", load[0], load[1],
                    load[2], std::thread::hardware_concurrency());
    std::fflush(stdout);
    Bench bench(options);
    bench.make_class();
    bench.measure();
    if (::getloadavg(load, 3) == 3)
        std::printf("\nload average at the end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    return 0;
}
