// Benchmark of students' builds: what the sandbox adds to one build, what two jobs give over one
// for a class, and what the cache of builds saves.
//
//   bench_building [--students N] [--rounds R] [--jobs 1,2,...] [--only one|class]
//
// Every student's source is a small stack class with its main, like the lab's, a number apart
// from the others so that no two share a hash. "g++ bare" starts the same compiler with the
// same flags by posix_spawn and waits for it; "sandbox" is build_program with the cache off;
// "no sandbox" is build_program with the sandbox switched off. The kinds take turns within each
// round, so that a change in the machine's load hits all alike; the tables show the median and
// the range of the rounds, and for one build the CPU time of everything it started (compiler,
// sandbox, launcher), which the machine's other work changes far less than the wall time. For the
// class, "g++ bare" runs the compilers with as many threads as jobs, the floor of what the machine
// gives, and "cores busy" is the CPU time of all the compilers over the wall time. A build that
// does not succeed stops the benchmark.

#include "building/building.h"
#include "sandbox/process.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char **environ;

namespace {

struct Options
{
    int students = 40;
    int rounds = 3;
    std::vector<int> jobs{1, 2};
    std::string only; // "one" or "class": that table alone
};

[[noreturn]] void fail(const std::string &message)
{
    std::fprintf(stderr, "bench_building: %s\n", message.c_str());
    std::exit(1);
}

Options parse(const QStringList &arguments)
{
    Options options;
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        const QString &name = arguments.at(i);
        const QString &value = arguments.at(i + 1);
        bool ok = true;
        if (name == QLatin1String("--students")) {
            options.students = value.toInt(&ok);
        } else if (name == QLatin1String("--rounds")) {
            options.rounds = value.toInt(&ok);
        } else if (name == QLatin1String("--only")) {
            options.only = value.toStdString();
            ok = options.only == "one" || options.only == "class";
        } else if (name == QLatin1String("--jobs")) {
            options.jobs.clear();
            for (const QString &part : value.split(QLatin1Char(',')))
                options.jobs.push_back(part.toInt(&ok));
        } else {
            ok = false;
        }
        if (!ok)
            fail("usage: bench_building [--students N] [--rounds R] [--jobs 1,2,...] "
                 "[--only one|class]");
    }
    return options;
}

QByteArray stack_source(int number)
{
    return QByteArray(
               "#include <iostream>\n#include <stdexcept>\n#include <string>\n"
               "template<class T> class Stack {\npublic:\n"
               "    explicit Stack(int capacity) : data(new T[capacity]), cap(capacity) {}\n"
               "    ~Stack() { delete[] data; }\n"
               "    Stack(const Stack &) = delete;\n"
               "    void push(const T &v) { if (size == cap) throw std::overflow_error(\"E\");"
               " data[size++] = v; }\n"
               "    T pop() { if (size == 0) throw std::underflow_error(\"E\"); return "
               "data[--size]; }\n"
               "    int count() const { return size; }\n"
               "private:\n    T *data; int cap; int size = 0;\n};\n"
               "int main(int argc, char **argv) {\n    Stack<int> s(")
           + QByteArray::number(number + 5)
           + ");\n    for (int i = 1; i < argc; ++i) {\n"
             "        try { s.push(std::stoi(argv[i])); } catch (const std::exception &e) {\n"
             "            std::cout << e.what() << '\\n'; return 0; }\n    }\n"
             "    while (s.count() > 0) std::cout << s.pop() << ' ';\n    std::cout << '\\n';\n}\n";
}

double seconds_of_children()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void bare_build(const std::vector<std::string> &arguments)
{
    std::vector<char *> argv;
    std::vector<std::string> copy = arguments;
    for (std::string &argument : copy)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (error != 0 || ::waitpid(pid, &status, 0) != pid || status != 0)
        fail("g++ failed on " + arguments[arguments.size() - 3]);
}

struct Sample
{
    std::vector<double> values;
    double median() const
    {
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
    double low() const { return *std::min_element(values.begin(), values.end()); }
    double high() const { return *std::max_element(values.begin(), values.end()); }
};

class Bench
{
public:
    explicit Bench(const Options &options)
        : options(options)
    {
        if (!scratch.isValid())
            fail("no temporary folder");
        ::chmod(QFile::encodeName(scratch.path()).constData(), 0755);
        for (int i = 0; i < options.students; ++i) {
            const QString folder = scratch.filePath(QStringLiteral("class/%1").arg(i));
            QDir().mkpath(folder);
            ::chmod(QFile::encodeName(folder).constData(), 0755);
            ::chmod(QFile::encodeName(QFileInfo(folder).path()).constData(), 0755);
            QFile file(folder + QStringLiteral("/stack.cpp"));
            if (!file.open(QIODevice::WriteOnly) || file.write(stack_source(i)) <= 0)
                fail("cannot write the class");
            file.close();
            ::chmod(QFile::encodeName(file.fileName()).constData(), 0644);
            roots.push_back(folder.toStdString());
        }
        settings.use_cache = false;
        settings.cache = scratch.filePath(QStringLiteral("cache")).toStdString();
    }

    // A fresh empty build folder.
    std::string build_dir()
    {
        const QString path = scratch.filePath(QStringLiteral("builds/%1").arg(++builds));
        QDir().mkpath(path);
        ::chmod(QFile::encodeName(path).constData(), 0755);
        ::chmod(QFile::encodeName(QFileInfo(path).path()).constData(), 0755);
        return path.toStdString();
    }

    void build(const std::string &kind, int student)
    {
        const std::string root = roots[std::size_t(student)];
        const std::string out = build_dir();
        if (kind == "g++ bare") {
            std::vector<std::string> argv{settings.compiler};
            argv.insert(argv.end(), settings.flags.begin(), settings.flags.end());
            argv.insert(argv.end(), {root + "/stack.cpp", "-o", out + "/program"});
            bare_build(argv);
            return;
        }
        BuildSettings these = settings;
        these.sandbox.enabled = kind != "no sandbox";
        these.use_cache = settings.use_cache || kind == "from the cache";
        const BuildResult result = build_program(these, root, {root + "/stack.cpp"}, {}, out, {});
        if (result.status != BuildResult::Status::Built
            || (kind == "from the cache") != result.from_cache)
            fail(kind + ": " + result.reason + "\n" + result.log);
    }

    // The whole class with `jobs` threads; wall seconds, and the cores the compilers kept busy.
    double build_class(const std::string &kind, int jobs, double &cores)
    {
        std::atomic<int> next{0};
        const double cpu_before = seconds_of_children();
        QElapsedTimer timer;
        timer.start();
        std::vector<std::thread> workers;
        for (int j = 0; j < jobs; ++j) {
            workers.emplace_back([&] {
                for (int i; (i = next.fetch_add(1)) < options.students;)
                    build(kind, i);
                end_kept_sandboxes();
            });
        }
        for (std::thread &worker : workers)
            worker.join();
        const double wall = double(timer.nsecsElapsed()) / 1e9;
        cores = (seconds_of_children() - cpu_before) / wall;
        return wall;
    }

    void one_build()
    {
        const std::vector<std::string> kinds{"g++ bare", "sandbox", "no sandbox"};
        std::map<std::string, Sample> times, cpu;
        const int rounds = std::max(options.rounds * 3, 5);
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t k = 0; k < kinds.size(); ++k) {
                const std::string &kind = kinds[(k + std::size_t(round)) % kinds.size()];
                const double cpu_before = seconds_of_children();
                QElapsedTimer timer;
                timer.start();
                build(kind, round % options.students);
                // The build's sandbox ends with it: its processes count, and the compiler's
                // CPU time reaches this process only when the sandbox's first process ends.
                end_kept_sandboxes();
                times[kind].values.push_back(double(timer.nsecsElapsed()) / 1e6);
                cpu[kind].values.push_back((seconds_of_children() - cpu_before) * 1e3);
            }
        }
        std::printf("One build of one student's source (ms, %d rounds)\n", rounds);
        std::printf("  %-24s %9s %9s %9s %8s %9s %8s\n", "", "median", "best", "worst", "ratio",
                    "CPU", "ratio");
        const double floor = times["g++ bare"].median();
        const double cpu_floor = cpu["g++ bare"].median();
        for (const std::string &kind : kinds) {
            const Sample &sample = times[kind];
            std::printf("  %-24s %9.1f %9.1f %9.1f %7.3fx %9.1f %7.3fx\n", kind.c_str(),
                        sample.median(), sample.low(), sample.high(), sample.median() / floor,
                        cpu[kind].median(), cpu[kind].median() / cpu_floor);
        }
    }

    void whole_class()
    {
        std::map<std::pair<std::string, int>, Sample> walls, busy;
        const std::vector<std::string> kinds{"g++ bare", "sandbox"};
        for (int round = 0; round < options.rounds; ++round) {
            for (const int jobs : options.jobs) {
                for (const std::string &kind : kinds) {
                    double cores = 0;
                    walls[{kind, jobs}].values.push_back(build_class(kind, jobs, cores));
                    busy[{kind, jobs}].values.push_back(cores);
                }
            }
        }
        std::printf("\nA class of %d sources built (s, median of %d rounds)\n", options.students,
                    options.rounds);
        std::printf("  %-12s %5s %9s %9s %9s %10s %11s\n", "", "jobs", "median", "best", "worst",
                    "speed-up", "cores busy");
        for (const std::string &kind : kinds) {
            const double one = walls[{kind, options.jobs.front()}].median();
            for (const int jobs : options.jobs) {
                const Sample &sample = walls[{kind, jobs}];
                std::printf("  %-12s %5d %9.2f %9.2f %9.2f %9.2fx %11.2f\n", kind.c_str(), jobs,
                            sample.median(), sample.low(), sample.high(), one / sample.median(),
                            busy[{kind, jobs}].median());
            }
        }
        // The same class again with the cache on: the first pass fills it, the second is all
        // hits, which copy and check each program instead of building it.
        settings.use_cache = true;
        double cores = 0;
        build_class("sandbox", 1, cores);
        const double cached = build_class("from the cache", 1, cores);
        std::printf("  %-12s %5d %9.2f   (%.1f ms per student)\n", "from cache", 1, cached,
                    cached * 1e3 / options.students);
    }

private:
    const Options options;
    QTemporaryDir scratch;
    std::vector<std::string> roots;
    BuildSettings settings;
    std::atomic<int> builds{0};
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
    Bench bench(options);
    if (options.only != "class")
        bench.one_build();
    if (options.only != "one")
        bench.whole_class();
    return 0;
}
