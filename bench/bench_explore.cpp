// Benchmark of the explorer on the faulty class (tests/faulty/), printing two tables.
//
//   bench_explore [--seeds N] [--strings N]
//   bench_explore --speed [--strings N]     the speed table alone, in a few minutes
//   bench_explore --slow-class [--strings N]
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
//
// A slow class: `orvimet-cli grade --explore N` (default 2000) on a class of ten built queue
// programs, once all right and once with one of them replaced by a program that prints its whole
// queue to standard error after every insertion, one run each: the class's time, and the slow
// program's time-outs, cases not run and time spent.

#include "explore/cases.h"
#include "grading/explorer.h"
#include "judge/suitecases.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

// A shrunk string of hundreds of values, cut to fit its row.
std::string shown(const std::string &options)
{
    return options.size() <= 60 ? options : options.substr(0, 56) + " ...";
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
        const int extended = wrong_answers(
            s, program, extended_cases(*exercise_from_number(flag_stack)), reference);
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
                            shown(e.found->shrunk.options).c_str());
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
    for (const Words &w : generate_cases(Exercise::Stack, 1, strings)) {
        words.emplace_back();
        for (const std::string &word : w)
            words.back().push_back(QByteArray::fromStdString(word));
    }
    std::vector<std::string> options;
    for (const Words &w : generate_cases(Exercise::Stack, 1, strings))
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

// The machine's load: on a shared machine, what the figures are read against.
std::string load()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly)
               ? file.readAll().split(' ').mid(0, 3).join(' ').toStdString()
               : std::string("unknown");
}

struct ClassTime
{
    double seconds = 0;
    int timeouts = 0, not_run = 0, cases = 0;
    double slow_seconds = 0; // the slow program's cases, each run's time
};

// `orvimet-cli grade` on ten built queue programs, the last one `last`.
ClassTime grade_ten(const QTemporaryDir &dir, const QString &name, const QString &last, int strings)
{
    const QString submissions = dir.filePath(name);
    for (int i = 0; i < 10; ++i) {
        const QString student = submissions + QStringLiteral("/student%1").arg(i);
        QDir().mkpath(student);
        const QString from = i == 9 ? last : QStringLiteral(ORVIMET_EXAMPLES_DIR "/queue.exe");
        if (!QFile::copy(from, student + "/queue"))
            fail(QStringLiteral("cannot copy %1").arg(from));
    }
    const QString out = dir.filePath(name + "-results");
    QProcess grade;
    grade.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    grade.start(QStringLiteral(ORVIMET_CLI),
                {"grade", "--exercise", "queue", "--reference", ORVIMET_RESOURCE_DIR, "--explore",
                 QString::number(strings), "--seed", "1", "--jobs", "2", "--quiet", "--out", out,
                 submissions});
    if (!grade.waitForFinished(-1) || grade.exitStatus() != QProcess::NormalExit)
        fail(QStringLiteral("orvimet-cli grade did not end"));
    ClassTime result;
    result.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    QFile file(out + "/results.json");
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("no results.json in %1").arg(out));
    for (const QJsonValue &value :
         QJsonDocument::fromJson(file.readAll()).object().value("students").toArray()) {
        const QJsonObject student = value.toObject();
        if (student.value("folder").toString() != QLatin1String("student9"))
            continue;
        result.timeouts = student.value("timeouts").toInt();
        result.not_run = student.value("not_run").toInt();
        const QJsonArray cases = student.value("cases").toArray();
        result.cases = static_cast<int>(cases.size());
        for (const QJsonValue &c : cases)
            result.slow_seconds += c.toObject().value("seconds").toDouble();
    }
    return result;
}

void slow_class(const QTemporaryDir &dir, int strings)
{
    std::printf("A class of ten queue programs, grade --explore %d --seed 1 --jobs 2; load %s\n",
                strings, load().c_str());
    const ClassTime right = grade_ten(dir, QStringLiteral("right"),
                                      QStringLiteral(ORVIMET_EXAMPLES_DIR "/queue.exe"), strings);
    const ClassTime slow
        = grade_ten(dir, QStringLiteral("slow"), QStringLiteral(ORVIMET_SLOW_QUEUE), strings);
    std::printf("%-40s %9s %7s   %-34s\n", "", "s", "ratio", "the tenth: time-outs, not run, s");
    for (const auto &[label, c] :
         {std::pair<const char *, const ClassTime &>{"ten right programs", right},
          {"nine right, one quadratic printer", slow}})
        std::printf("%-40s %9.1f %6.2fx   %d of %d cases timed out, %d not run, %.1f s\n", label,
                    c.seconds, c.seconds / right.seconds, c.timeouts, c.cases, c.not_run,
                    c.slow_seconds);
    std::printf("load after: %s\n", load().c_str());
}

// Shrinking a long failure: each program fails on a string of counted values, 1500 of them (2500
// for the two-stack queue, whose two stacks of 1000 hold 2000), which shrinks to as many as its
// fault needs.
void long_shrinks(const QTemporaryDir &dir)
{
    std::printf("Shrinking a long failure (-S 3000 -I 1 2 ... n -N)\n");
    std::printf("%-44s %6s %9s %9s %6s\n", "program", "n", "ms", "steps", "words");
    for (const char *name : {"stack-fixed_array_100", "queue-ring_of_128",
                             "stackqueue-fixed_stacks_1000", "stack-answer_buffer_1024"}) {
        const QString folder = QString::fromLatin1(name);
        const QString exercise = folder.section(QLatin1Char('-'), 0, 0);
        const int n = exercise == QLatin1String("stackqueue") ? 2500 : 1500;
        Words words{"-S", "3000", "-I"};
        for (int i = 1; i <= n; ++i)
            words.push_back(std::to_string(i));
        words.push_back("-N");
        const std::string options = options_line(words);
        const Setting s = setting(exercise_number(exercise), dir);
        ReferenceAnswers reference(s.grading, s.scratch + "reference/");
        const StudentProgram program = student_program(
            (QStringLiteral(ORVIMET_FAULTY_DIR "/") + folder + "/" + exercise + ".exe")
                .toStdString());
        const CaseResult failing
            = judge_case(s.grading, program, options, reference.answer(options).text, s.scratch);
        if (failing.correct)
            fail(QStringLiteral("%1 does not fail on the long string").arg(folder));
        QElapsedTimer timer;
        timer.start();
        const Counterexample c
            = shrink_failure(s.grading, program, words, failing, reference, s.scratch);
        std::printf("%-44s %6d %9.0f %9d %6zu\n", name, n,
                    static_cast<double>(timer.nsecsElapsed()) / 1e6, c.steps,
                    word_count(c.shrunk.options));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each row as soon as it is measured
    int seeds = 3;
    int strings = 0;
    QStringList arguments = QCoreApplication::arguments();
    const bool speed_only = arguments.removeAll(QStringLiteral("--speed")) > 0;
    const bool slow = arguments.removeAll(QStringLiteral("--slow-class")) > 0;
    const auto usage = [] {
        fail(QStringLiteral("usage: bench_explore [--speed | --slow-class] [--seeds N] "
                            "[--strings N]"));
    };
    if (arguments.size() % 2 == 0)
        usage();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        bool ok = false;
        if (arguments.at(i) == QLatin1String("--seeds"))
            ok = (seeds = arguments.at(i + 1).toInt()) >= 1;
        else if (arguments.at(i) == QLatin1String("--strings"))
            ok = (strings = arguments.at(i + 1).toInt()) >= 1;
        if (!ok)
            usage();
    }
    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no scratch folder"));
    if (slow) {
        slow_class(dir, strings > 0 ? strings : 2000);
        return 0;
    }
    if (strings == 0)
        strings = 500;
    std::printf("load: %s\n", load().c_str());
    speed(dir, strings);
    std::printf("load after: %s\n", load().c_str());
    if (speed_only)
        return 0;
    std::printf("\n");
    long_shrinks(dir);
    std::printf("\n");
    faults_found(dir, seeds);
    return 0;
}
