// Benchmark of the explorer on the faulty class (tests/faulty/), printing two tables.
//
//   bench_explore [--seeds N] [--strings N]
//
// Faults found: for every program of the faulty class, whether the ten option strings of the
// automatic suite, the extended list and explore (the default budget, seeds 1 to N) find its
// fault, with explore's time to find and shrink it, the strings it tried and the words of the
// shrunk string; then the counts, the median and worst times and the shrunk sizes. Harmless
// variations count as false alarms wherever they are judged wrong.
//
// Speed: explore on a harmless program that never fails, for N strings, against a bare launcher
// (posix_spawn, a pipe, read to the end, waitpid) that runs the same reference program and the
// same student program on the same N strings, one after the other, judging nothing; and against
// the grading functions that explore runs programs through (grading/grading.h), called one after
// the other with no cache. They take turns three times and the table shows the best of each.

#include "explore/cases.h"
#include "grading/explorer.h"
#include "judge/suitecases.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "bench_explore: %s\n", qPrintable(message));
    std::exit(1);
}

const char *const exercises[] = {"stack", "queue", "stackqueue"};

int exercise_number(const QString &name)
{
    for (int i = 0; i < 3; ++i) {
        if (name == QLatin1String(exercises[i]))
            return i;
    }
    return -1;
}

bool harmless(const QString &fault)
{
    return fault == QLatin1String("crlf") || fault == QLatin1String("answer_file")
           || fault == QLatin1String("no_line_feed");
}

struct Setting
{
    Grading grading;
    std::string scratch;
};

Setting setting(int flag_stack, const QTemporaryDir &dir)
{
    Setting s;
    s.grading.exercise = *exercise_from_number(flag_stack);
    s.grading.reference_path
        = std::string(ORVIMET_RESOURCE_DIR "/") + reference_file_name(s.grading.exercise);
    s.scratch = dir.path().toStdString() + "/" + exercises[flag_stack] + "/";
    QDir().mkpath(QString::fromStdString(s.scratch + "reference"));
    return s;
}

int wrong_answers(const Setting &s, const StudentProgram &program,
                  const std::vector<std::string> &options, ReferenceAnswers &reference)
{
    int wrong = 0;
    for (const std::string &o : options)
        wrong += !judge_case(s.grading, program, o, reference.answer(o).text, s.scratch).correct;
    return wrong;
}

std::size_t word_count(const std::string &options)
{
    return static_cast<std::size_t>(QProcess::splitCommand(QString::fromStdString(options)).size());
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void faults_found(const QTemporaryDir &dir, int seeds)
{
    std::printf("Faults found (explore: default budget of %d strings or %lld s, seeds 1-%d)\n",
                Budget().strings, static_cast<long long>(Budget().time.count() / 1000), seeds);
    std::printf("%-44s %5s %8s %8s %9s %9s %6s\n", "program", "ten", "extended", "explore", "tried",
                "ms", "words");
    int faults = 0, by_ten = 0, by_extended = 0, by_explore = 0, false_alarms = 0;
    std::vector<double> times, sizes;
    double worst = 0;
    const QDir faulty(QStringLiteral(ORVIMET_FAULTY_DIR));
    for (const QString &name : faulty.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString exercise = name.section(QLatin1Char('-'), 0, 0);
        const QString fault = name.section(QLatin1Char('-'), 1);
        const int flag_stack = exercise_number(exercise);
        const Setting s = setting(flag_stack, dir);
        ReferenceAnswers reference(s.grading, s.scratch + "reference/");
        const StudentProgram program
            = student_program(faulty.filePath(name + "/" + exercise + ".exe").toStdString());
        const int ten
            = wrong_answers(s, program, {suite_options.begin(), suite_options.end()}, reference);
        const int extended = wrong_answers(s, program, extended_cases(flag_stack), reference);
        int found = 0;
        std::vector<double> tried;
        for (int seed = 1; seed <= (harmless(fault) ? 1 : seeds); ++seed) {
            QElapsedTimer timer;
            timer.start();
            const Exploration e = explore(s.grading, program, static_cast<std::uint64_t>(seed),
                                          Budget(), reference, s.scratch);
            const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            tried.push_back(e.tried);
            if (!e.found)
                continue;
            ++found;
            times.push_back(ms);
            worst = std::max(worst, ms);
            sizes.push_back(static_cast<double>(word_count(e.found->shrunk.options)));
            if (seed == 1)
                std::printf("%-44s %5d %8d %8s %9d %9.0f %6.0f  %s\n", qPrintable(name), ten,
                            extended, "found", e.tried, ms, sizes.back(),
                            e.found->shrunk.options.c_str());
        }
        if (harmless(fault)) {
            false_alarms += (ten > 0) + (extended > 0) + found;
            std::printf("%-44s %5d %8d %8s %9.0f %9s %6s\n", qPrintable(name), ten, extended,
                        found ? "ALARM" : "-", tried.front(), "", "");
            continue;
        }
        if (found < seeds && found == 0)
            std::printf("%-44s %5d %8d %8s %9.0f\n", qPrintable(name), ten, extended, "missed",
                        tried.front());
        ++faults;
        by_ten += ten > 0;
        by_extended += extended > 0;
        by_explore += found == seeds;
    }
    std::printf("\n%d faults: found by the ten strings %d, by the extended list %d, by explore "
                "with every seed %d; false alarms %d\n",
                faults, by_ten, by_extended, by_explore, false_alarms);
    std::printf("explore, find and shrink: median %.0f ms, worst %.0f ms; shrunk strings: median "
                "%.0f words, largest %.0f\n\n",
                median(times), worst, median(sizes),
                sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end()));
}

// One run of `words` (program first) as a bare launcher makes it: output read from a pipe.
void launch(std::vector<QByteArray> words, const char *workdir)
{
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0)
        fail(QStringLiteral("no pipe"));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    posix_spawn_file_actions_addchdir_np(&actions, workdir);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        fail(QStringLiteral("cannot start %1").arg(QString::fromUtf8(argv[0])));
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    char buffer[4096];
    while (::read(pipe_fds[0], buffer, sizeof buffer) > 0) {
    }
    ::close(pipe_fds[0]);
    int status;
    ::waitpid(pid, &status, 0);
}

void speed(const QTemporaryDir &dir, int strings)
{
    const int flag_stack = 0;
    const Setting s = setting(flag_stack, dir);
    const QString student = QStringLiteral(ORVIMET_FAULTY_DIR "/stack-crlf/stack.exe");
    const StudentProgram program = student_program(student.toStdString());
    std::vector<std::vector<QByteArray>> words;
    for (const Words &w : generate_cases(flag_stack, 1, strings)) {
        words.emplace_back();
        for (const std::string &word : w)
            words.back().push_back(QByteArray::fromStdString(word));
    }
    std::vector<std::string> options;
    for (const Words &w : generate_cases(flag_stack, 1, strings))
        options.push_back(options_line(w));
    double best_bare = 1e300, best_api = 1e300, best_explore = 1e300;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (const std::vector<QByteArray> &w : words) {
            for (const std::string &path : {s.grading.reference_path, student.toStdString()}) {
                std::vector<QByteArray> command{QByteArray::fromStdString(path)};
                command.insert(command.end(), w.begin(), w.end());
                launch(command, s.scratch.c_str());
            }
        }
        best_bare = std::min(best_bare, static_cast<double>(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        for (const std::string &o : options)
            judge_case(s.grading, program, o, run_reference(s.grading, o, s.scratch).text,
                       s.scratch);
        best_api = std::min(best_api, static_cast<double>(timer.nsecsElapsed()) / 1e6);
        // A fresh cache each round: every string is new to the explorer, as when exploring.
        ReferenceAnswers reference(s.grading, s.scratch + "reference/");
        timer.restart();
        const Exploration e = explore(s.grading, program, 1, {strings, std::chrono::hours(1)},
                                      reference, s.scratch);
        best_explore = std::min(best_explore, static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (e.found || e.tried != strings)
            fail(QStringLiteral("the harmless program was judged wrong"));
    }
    std::printf("Speed: %d generated strings, the reference and stack-crlf on each; best of 3\n",
                strings);
    std::printf("%-44s %10s %12s %8s\n", "", "ms", "strings / s", "ratio");
    std::printf("%-44s %10.0f %12.0f %7.2fx\n", "bare launcher (posix_spawn, pipe, read)",
                best_bare, strings / best_bare * 1e3, 1.0);
    std::printf("%-44s %10.0f %12.0f %7.2fx\n", "grading API, one run after the other", best_api,
                strings / best_api * 1e3, best_bare / best_api);
    std::printf("%-44s %10.0f %12.0f %7.2fx\n", "explore", best_explore,
                strings / best_explore * 1e3, best_bare / best_explore);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each row as soon as it is measured
    int seeds = 3;
    int strings = 500;
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        bool ok = false;
        if (arguments.at(i) == QLatin1String("--seeds"))
            seeds = arguments.at(i + 1).toInt(&ok);
        else if (arguments.at(i) == QLatin1String("--strings"))
            strings = arguments.at(i + 1).toInt(&ok);
        if (!ok || seeds < 1 || strings < 1)
            fail(QStringLiteral("usage: bench_explore [--seeds N] [--strings N]"));
    }
    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no scratch folder"));
    speed(dir, strings);
    std::printf("\n");
    faults_found(dir, seeds);
    return 0;
}
