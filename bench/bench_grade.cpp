// Benchmark of `orvimet-cli grade`, a class graded from what its students handed in: a regrade
// from the cache of builds against the grading alone, and the grader's peak memory for a large
// class on the extended list.
//
//   bench_grade [--students N] [--rounds R] [--jobs 1,2,...] [--large M] [--baseline CLI]
//               [--tmp DIR]
//
// Regrade: a class of N students, each handing in the sources of the sample queue program with a
// line of their own, so that no two share a hash. The first `grade` builds them all and fills a
// cache of builds in a scratch folder ($XDG_CACHE_HOME). Then, round after round and in turns,
// "regrade" grades the class again from its sources (every build a cache hit), and "grading
// alone" is `suite` on N copies of the built sample program: the same cases, the same jobs, the
// same sandbox, nothing taken in or built. A regrade that runs a build, or does not grade every
// student 10/10, stops the benchmark: it measured something else. With --baseline, another
// orvimet-cli (an older build, copied beside this one, where it finds the reference programs)
// regrades the same class in the same turns. --large 0 leaves out the peak memory. With --tmp,
// the graders keep their scratch folders in DIR (TMPDIR) instead of the system's temporary
// folder.
//
// Peak memory: classes of M/10 and M students, each handing in the built sample program itself
// (no build), graded once on the extended list. The peak is the largest resident set of the
// grader and of every process it waited for (ru_maxrss of wait4); the processes it starts are
// small, so the grader's own is what shows. "started alone" is `orvimet-cli --version`, started the
// same way: what any run of the program costs, and what the fork of this benchmark lends it.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Options
{
    int students = 40;
    int rounds = 5;
    std::vector<int> jobs{1, 2};
    int large = 300;
    std::string baseline; // another orvimet-cli, regrading in the same turns
    std::string tmp;      // TMPDIR of the graders
};

[[noreturn]] void fail(const std::string &message)
{
    std::fprintf(stderr, "bench_grade: %s\n", message.c_str());
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
        } else if (name == QLatin1String("--large")) {
            options.large = value.toInt(&ok);
        } else if (name == QLatin1String("--baseline")) {
            options.baseline = value.toStdString();
        } else if (name == QLatin1String("--tmp")) {
            options.tmp = value.toStdString();
        } else if (name == QLatin1String("--jobs")) {
            options.jobs.clear();
            for (const QString &part : value.split(QLatin1Char(',')))
                options.jobs.push_back(part.toInt(&ok));
        } else {
            ok = false;
        }
        if (!ok || value.isEmpty())
            fail("usage: bench_grade [--students N] [--rounds R] [--jobs 1,2,...] [--large M] "
                 "[--baseline CLI] [--tmp DIR]");
    }
    return options;
}

struct Run
{
    double wall_ms = 0;
    double cpu_ms = 0;   // user and system time of the program and all it waited for
    double peak_mib = 0; // ru_maxrss
    int exit_code = -1;
};

// Runs `argv` in `folder` with its output into `log`, and waits for it. A real fork, not a
// vfork: the child's peak resident set then starts from this small process's, not its own.
Run run(const std::vector<std::string> &argv, const QString &folder, const QString &log)
{
    std::vector<std::string> words = argv;
    std::vector<char *> pointers;
    for (std::string &word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    const QByteArray where = QFile::encodeName(folder);
    const QByteArray into = QFile::encodeName(log);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(into.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || ::dup2(out, 1) != 1 || ::dup2(out, 2) != 2
            || ::chdir(where.constData()) != 0)
            ::_exit(126);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    if (pid < 0)
        fail("cannot fork");
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
    }
    Run result;
    result.wall_ms
        = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
    const auto ms
        = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    result.cpu_ms = ms(usage.ru_utime) + ms(usage.ru_stime);
    result.peak_mib = double(usage.ru_maxrss) / 1024;
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
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

void copy_program(const QString &from, const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to)
        || !QFile::setPermissions(to, QFile::permissions(to) | QFileDevice::ExeOwner
                                          | QFileDevice::ExeGroup | QFileDevice::ExeOther))
        fail("cannot copy " + from.toStdString());
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// What results.json says of the class: students graded with every case correct, and builds
// taken from the cache.
struct Verdicts
{
    int students = 0, all_correct = 0, from_cache = 0;
    qint64 bytes = 0;
};

Verdicts read_results(const QString &path)
{
    const QByteArray text = read_file(path);
    Verdicts v;
    v.bytes = text.size();
    const QJsonArray students
        = QJsonDocument::fromJson(text).object().value(QStringLiteral("students")).toArray();
    for (const QJsonValue &value : students) {
        const QJsonObject s = value.toObject();
        v.students += 1;
        v.all_correct += s.value(QStringLiteral("status")).toString() == QLatin1String("graded")
                         && s.value(QStringLiteral("wrong")).toInt() == 0
                         && s.value(QStringLiteral("correct")).toInt()
                                == s.value(QStringLiteral("cases")).toArray().size();
        v.from_cache += s.value(QStringLiteral("build"))
                            .toObject()
                            .value(QStringLiteral("from_cache"))
                            .toBool();
    }
    return v;
}

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
        ::setenv("XDG_CACHE_HOME", QFile::encodeName(scratch.filePath("cache")).constData(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (!options.tmp.empty())
            ::setenv("TMPDIR", options.tmp.c_str(), 1);
    }

    // N folders of the sample queue program's sources, each with a line of its own.
    void make_sources_class(int count)
    {
        const QString dir = scratch.filePath(QStringLiteral("sources"));
        for (int i = 0; i < count; ++i) {
            const QString folder = dir + QStringLiteral("/s%1").arg(i, 3, 10, QLatin1Char('0'));
            QDir().mkpath(folder);
            for (const char *name :
                 {"queue_main.cpp", "queue.cpp", "queue.h", "exercise.h", "fault.h"}) {
                QByteArray text = read_file(QStringLiteral(ORVIMET_SOURCE_DIR "/examples/")
                                            + QLatin1String(name));
                if (text.isEmpty())
                    fail(std::string("no sample source ") + name);
                if (QByteArray(name) == "queue.cpp")
                    text += "// handed in by student " + QByteArray::number(i) + "\n";
                write_file(folder + QLatin1Char('/') + QLatin1String(name), text);
            }
        }
    }

    // N folders, each holding the built sample program under `name`.
    QStringList make_program_class(const QString &dir, int count, const QString &name)
    {
        QStringList programs;
        for (int i = 0; i < count; ++i) {
            const QString folder = dir + QStringLiteral("/s%1").arg(i, 3, 10, QLatin1Char('0'));
            QDir().mkpath(folder);
            copy_program(QStringLiteral(ORVIMET_EXAMPLES_DIR "/queue.exe"),
                         folder + QLatin1Char('/') + name);
            programs << folder + QLatin1Char('/') + name;
        }
        return programs;
    }

    Run grade(const QString &submissions, int jobs, const QStringList &more = {},
              const std::string &cli = ORVIMET_CLI)
    {
        std::vector<std::string> argv{
            cli,          "grade",
            "--exercise", "queue",
            "--jobs",     std::to_string(jobs),
            "--quiet",    "--force",
            "--out",      scratch.filePath(QStringLiteral("out")).toStdString()};
        for (const QString &word : more)
            argv.push_back(word.toStdString());
        argv.push_back(submissions.toStdString());
        const Run result = run(argv, scratch.path(), scratch.filePath(QStringLiteral("log")));
        if (result.exit_code != 0)
            fail("grade did not grade every student correct:\n"
                 + read_file(scratch.filePath(QStringLiteral("log"))).toStdString());
        return result;
    }

    Run suite(const QStringList &programs, int jobs)
    {
        std::vector<std::string> argv{ORVIMET_CLI, "suite",  "--exercise",
                                      "queue",     "--jobs", std::to_string(jobs)};
        for (const QString &program : programs)
            argv.push_back(program.toStdString());
        const Run result = run(argv, scratch.path(), scratch.filePath(QStringLiteral("log")));
        if (result.exit_code != 0)
            fail("suite did not grade every program correct:\n"
                 + read_file(scratch.filePath(QStringLiteral("log"))).toStdString());
        return result;
    }

    void regrade()
    {
        const int n = options.students;
        make_sources_class(n);
        const QStringList programs
            = make_program_class(scratch.filePath(QStringLiteral("built")), n, "queue.exe");
        const QString sources = scratch.filePath(QStringLiteral("sources"));
        const QString results = scratch.filePath(QStringLiteral("out/results.json"));

        const Run first = grade(sources, options.jobs.back());
        const Verdicts built = read_results(results);
        if (built.students != n || built.all_correct != n || built.from_cache != 0)
            fail("the first grade did not build and grade every student");
        const double cpu_per_build = first.cpu_ms / n;

        std::map<std::string, std::vector<double>> wall, cpu;
        const int kinds = options.baseline.empty() ? 2 : 3;
        for (int round = 0; round < options.rounds; ++round) {
            for (const int jobs : options.jobs) {
                const std::string j = std::to_string(jobs);
                // Which goes first turns, so that none always follows the same other.
                for (int k = 0; k < kinds; ++k) {
                    const int kind = (k + round) % kinds;
                    if (kind != 1) {
                        const std::string key = (kind == 0 ? "regrade " : "baseline ") + j;
                        const Run r
                            = grade(sources, jobs, {},
                                    kind == 0 ? std::string(ORVIMET_CLI) : options.baseline);
                        const Verdicts v = read_results(results);
                        if (v.students != n || v.all_correct != n || v.from_cache != n)
                            fail("a regrade built again, or did not grade everybody correct");
                        wall[key].push_back(r.wall_ms);
                        cpu[key].push_back(r.cpu_ms);
                    } else {
                        const Run r = suite(programs, jobs);
                        wall["alone " + j].push_back(r.wall_ms);
                        cpu["alone " + j].push_back(r.cpu_ms);
                    }
                }
            }
        }
        std::printf("Regrade from the cache: a class of %d from its sources, 10 cases each "
                    "(ms, median of %d rounds)\n",
                    n, options.rounds);
        std::printf("  first grade, %d jobs: %.0f ms wall, %.0f ms CPU: %.0f ms CPU per build\n",
                    options.jobs.back(), first.wall_ms, first.cpu_ms, cpu_per_build);
        std::printf("  %-22s %5s %9s %9s %9s %9s %8s\n", "", "jobs", "median", "best", "worst",
                    "CPU", "ratio");
        for (const int jobs : options.jobs) {
            const std::string j = std::to_string(jobs);
            const double alone = median(wall["alone " + j]);
            const std::pair<const char *, const char *> rows[]
                = {{"grading alone (suite)", "alone "},
                   {"regrade from cache", "regrade "},
                   {"regrade, baseline", "baseline "}};
            for (const auto &[label, prefix] : rows) {
                const std::string key = prefix + j;
                const std::vector<double> &t = wall[key];
                if (t.empty())
                    continue;
                std::printf("  %-22s %5d %9.0f %9.0f %9.0f %9.0f %7.3fx\n", label, jobs, median(t),
                            *std::min_element(t.begin(), t.end()),
                            *std::max_element(t.begin(), t.end()), median(cpu[key]),
                            median(t) / alone);
            }
        }
        // No compiler ran: results.json says every build came from the cache, and the CPU the
        // regrade spends beyond grading alone is less than one build's.
        for (const int jobs : options.jobs) {
            const std::string j = std::to_string(jobs);
            const double extra = median(cpu["regrade " + j]) - median(cpu["alone " + j]);
            std::printf("  %d jobs: every build of every regrade from the cache; CPU beyond "
                        "grading alone %.0f ms, %s one build's %.0f ms",
                        jobs, extra, extra < cpu_per_build ? "below" : "NOT below", cpu_per_build);
            if (!options.baseline.empty())
                std::printf("; the baseline's %.0f ms",
                            median(cpu["baseline " + j]) - median(cpu["alone " + j]));
            std::printf("\n");
        }
        std::printf("\n");
    }

    void peak_memory()
    {
        std::printf("Peak memory: classes handing in the built program, graded once on the "
                    "extended list with %d jobs\n",
                    options.jobs.back());
        std::printf("  %-26s %9s %9s %9s %12s %14s\n", "", "students", "cases", "wall s",
                    "peak MiB", "results.json");
        const Run alone = run({ORVIMET_CLI, "--version"}, scratch.path(),
                              scratch.filePath(QStringLiteral("log")));
        std::printf("  %-26s %9s %9s %9s %12.1f %14s\n", "started alone (--version)", "", "", "",
                    alone.peak_mib, "");
        std::vector<std::pair<int, Run>> rows;
        for (const int count : {std::max(1, options.large / 10), options.large}) {
            const QString dir = scratch.filePath(QStringLiteral("handed-in-%1").arg(count));
            make_program_class(dir, count, QStringLiteral("queue"));
            const Run r = grade(dir, options.jobs.back(), {"--cases", "extended"});
            const Verdicts v = read_results(scratch.filePath(QStringLiteral("out/results.json")));
            if (v.students != count || v.all_correct != count)
                fail("the large class was not graded all correct");
            const QJsonObject head
                = QJsonDocument::fromJson(
                      read_file(scratch.filePath(QStringLiteral("out/results.json"))))
                      .object();
            const int cases = head.value(QStringLiteral("cases"))
                                  .toObject()
                                  .value(QStringLiteral("count"))
                                  .toInt();
            std::printf("  %-26s %9d %9d %9.1f %12.1f %11.1f MB\n", "grade --cases extended", count,
                        cases * count, r.wall_ms / 1e3, r.peak_mib, double(v.bytes) / 1e6);
            rows.emplace_back(count, r);
        }
        const double per_student = (rows.back().second.peak_mib - rows.front().second.peak_mib)
                                   * 1024 / (rows.back().first - rows.front().first);
        std::printf("  growth: %.1f KiB of peak per student beyond the first %d\n", per_student,
                    rows.front().first);
    }

private:
    const Options options;
    QTemporaryDir scratch;
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
    bench.regrade();
    std::fflush(stdout);
    if (options.large > 0)
        bench.peak_memory();
    if (::getloadavg(load, 3) == 3)
        std::printf("\nload average at the end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    return 0;
}
