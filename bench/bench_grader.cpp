// Benchmark of the grader window: what judging costs beyond the programs it runs.
//
//   bench_grader [--presses K] [--sizes MiB,MiB,...] [--startups N] [--only suite|answer|startup]
//                [--child PROGRAM]
//
// prints three tables:
//   suite overhead  K presses of "自动测试" on a tiny child program (or on PROGRAM, as both the
//                   student's and the reference program), against the same child runs started
//                   by a minimal posix_spawn launcher in the same run;
//   answer size     one judgement with large answers: time, peak memory and where the time goes;
//   start-up        the main window constructed and shown until its first paint, against a bare
//                   QMainWindow of the same size.
// Peak memory only ever grows, so every figure that reports it comes from a fresh process: the
// benchmark runs itself again with one of the internal modes --answer BYTES or
// --startup grader|bare|text, which print "name value" lines for the parent to collect.

#include "app/mainwindow.h"
#include "app/outputarea.h"
#include "judge/judgecore.h"
#include "judge/suitecases.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <streambuf>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Figures = std::map<std::string, double>;

// ---------------------------------------------------------------------------------------------
// Small tools

double ms_since(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The peak resident set of this process image. Not ru_maxrss: a child started by posix_spawn
// shares its parent's memory until exec, and the kernel carries that peak over into the child's
// ru_maxrss; VmHWM starts afresh with the new image.
double peak_rss_mib()
{
    FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1)
            break;
    }
    std::fclose(status);
    return static_cast<double>(kib) / 1024.0;
}

// Swallows the grader's diagnostic lines, so that the speed of the terminal is not measured.
class NullBuffer : public std::streambuf
{
protected:
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
    std::streamsize xsputn(const char *, std::streamsize count) override { return count; }
};

class SilencedCout
{
public:
    SilencedCout()
        : saved(std::cout.rdbuf(&null))
    {}
    ~SilencedCout() { std::cout.rdbuf(saved); }
    SilencedCout(const SilencedCout &) = delete;
    SilencedCout &operator=(const SilencedCout &) = delete;

private:
    NullBuffer null;
    std::streambuf *saved;
};

// A command line cut at its blanks, as the grader cuts one without double quotes.
std::vector<std::string> words(const std::string &command)
{
    std::vector<std::string> parts;
    std::istringstream stream(command);
    std::string part;
    while (std::getline(stream, part, ' ')) {
        if (!part.empty())
            parts.push_back(part);
    }
    return parts;
}

// The minimal launcher: posix_spawn with standard output on a pipe, read to the end, waitpid.
// Without `capture` the output goes to /dev/null instead: what the program costs by itself.
std::string launch(const std::vector<std::string> &command, bool capture = true)
{
    std::vector<char *> argv;
    for (const std::string &word : command)
        argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);

    int fds[2] = {-1, -1};
    if (capture && pipe2(fds, O_CLOEXEC) != 0)
        return std::string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (capture)
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (capture)
        close(fds[1]);

    std::string output;
    if (spawned == 0) {
        static char buffer[1 << 16];
        while (capture) {
            const ssize_t got = read(fds[0], buffer, sizeof buffer);
            if (got > 0)
                output.append(buffer, static_cast<std::size_t>(got));
            else if (got < 0 && errno == EINTR)
                continue;
            else
                break;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (capture)
        close(fds[0]);
    return output;
}

std::string self_path()
{
    char path[4096];
    const ssize_t size = readlink("/proc/self/exe", path, sizeof path - 1);
    return size > 0 ? std::string(path, static_cast<std::size_t>(size)) : std::string();
}

// Runs this program again in one of its internal modes and collects its "name value" lines.
Figures run_fresh(const std::vector<std::string> &mode, double *wall_ms = nullptr)
{
    std::vector<std::string> command{self_path()};
    command.insert(command.end(), mode.begin(), mode.end());
    QElapsedTimer timer;
    timer.start();
    std::istringstream lines(launch(command));
    if (wall_ms)
        *wall_ms = ms_since(timer);
    Figures figures;
    std::string name;
    double value = 0;
    while (lines >> name >> value)
        figures[name] = value;
    return figures;
}

// A temporary working directory made current, holding the child program as the reference
// program resource/a.exe and as the student's program lab/stack.exe.
class Workspace
{
public:
    explicit Workspace(const QString &child)
        : saved(QDir::currentPath())
    {
        if (!dir.isValid() || !QDir::setCurrent(dir.path()) || !QDir().mkpath("resource")
            || !QDir().mkpath("lab") || !QFile::copy(child, "resource/a.exe")
            || !QFile::copy(child, "lab/stack.exe")) {
            std::fprintf(stderr, "bench_grader: cannot prepare %s\n", qPrintable(dir.path()));
            std::exit(1);
        }
    }
    ~Workspace() { QDir::setCurrent(saved); }
    Workspace(const Workspace &) = delete;
    Workspace &operator=(const Workspace &) = delete;

    std::string location_s() const { return dir.path().toStdString() + "/lab/"; }
    std::string command_s() const { return "stack.exe"; }
    QString location_text() const { return dir.path() + QStringLiteral("/lab/stack.exe"); }

private:
    QTemporaryDir dir;
    QString saved;
};

template<typename Widget>
Widget *child(QWidget &window, const char *name)
{
    Widget *widget = window.findChild<Widget *>(name);
    if (!widget) {
        std::fprintf(stderr, "bench_grader: no widget %s\n", name);
        std::exit(1);
    }
    return widget;
}

void show_and_wait(QWidget &window)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "bench_grader: window not exposed\n");
    QCoreApplication::processEvents();
}

bool call_auto_test(MainWindow &window, const std::string &location_s, const std::string &command_s,
                    const std::string &input)
{
    bool correct = false;
    QMetaObject::invokeMethod(&window, "auto_test", Qt::DirectConnection,
                              Q_RETURN_ARG(bool, correct), Q_ARG(string, location_s),
                              Q_ARG(string, command_s), Q_ARG(string, input), Q_ARG(int, 0));
    return correct;
}

string call_start_process(MainWindow &window, const std::string &command)
{
    string output;
    QMetaObject::invokeMethod(&window, "start_process", Qt::DirectConnection,
                              Q_RETURN_ARG(string, output),
                              Q_ARG(QString, QString::fromStdString(command)));
    return output;
}

// Lays out the whole document of the output area and paints the window, as the event loop
// would after the slot returns.
void paint_fully(QWidget &window, QTextEdit *area)
{
    area->document()->documentLayout()->documentSize();
    QCoreApplication::processEvents();
    window.grab();
}

// ---------------------------------------------------------------------------------------------
// Suite overhead

// The same run as start_process makes it, without the grader around it: the program and its
// arguments already split, the same waits, the same read.
void run_qprocess(QProcess &process, const QStringList &command)
{
    process.start(command.first(), command.mid(1), QIODevice::ReadWrite);
    process.waitForStarted(30000);
    process.closeWriteChannel();
    while (process.state() != QProcess::NotRunning)
        process.waitForFinished(30000);
    process.readAll();
    process.close();
}

// One press's worth of each way of running the same twenty children, in milliseconds per press.
struct SuiteRound
{
    double grader = 0;        // the button, until the output area has been repainted
    double repaint = 0;       // the part of `grader` after the slot returned
    double launcher = 0;      // the minimal launcher
    double qprocess = 0;      // a QProcess of its own, the same calls as start_process makes
    double start_process = 0; // start_process of the window, called directly
};

struct SuiteResult
{
    std::vector<SuiteRound> rounds;
    bool all_correct = true;
};

SuiteResult measure_suite(int presses, const QString &child_program)
{
    Workspace workspace(child_program);
    MainWindow window;
    show_and_wait(window);
    child<QLineEdit>(window, "location")->setText(workspace.location_text());
    QPushButton *suite = child<QPushButton>(window, "pushButton_3");
    QTextEdit *area = child<QTextEdit>(window, "label_5");

    // The command lines that the ten judgements of one press run, in their order.
    std::vector<std::string> command_lines;
    for (const char *options : suite_options) {
        command_lines.push_back(workspace.location_s() + workspace.command_s() + options);
        command_lines.push_back(reference_prefix(0) + options);
    }
    std::vector<std::vector<std::string>> runs;
    std::vector<QStringList> qruns;
    for (const std::string &line : command_lines) {
        runs.push_back(words(line));
        QStringList command;
        for (const std::string &word : runs.back())
            command.append(QString::fromStdString(word));
        qruns.push_back(command);
    }
    QProcess process;
    SuiteResult result;

    const std::vector<std::function<void(SuiteRound &)>> ways{
        [&](SuiteRound &round) {
            QElapsedTimer timer;
            timer.start();
            suite->click();
            const double slot = ms_since(timer);
            QCoreApplication::processEvents(); // the repaint of the output area after the press
            round.grader = ms_since(timer);
            round.repaint = round.grader - slot;
            result.all_correct = result.all_correct
                                 && area->toPlainText().contains(QStringLiteral("正确个数：10"));
        },
        [&](SuiteRound &round) {
            QElapsedTimer timer;
            timer.start();
            for (const auto &run : runs)
                launch(run);
            round.launcher = ms_since(timer);
        },
        [&](SuiteRound &round) {
            QElapsedTimer timer;
            timer.start();
            for (const QStringList &run : qruns)
                run_qprocess(process, run);
            round.qprocess = ms_since(timer);
        },
        [&](SuiteRound &round) {
            QElapsedTimer timer;
            timer.start();
            for (const std::string &line : command_lines)
                call_start_process(window, line);
            round.start_process = ms_since(timer);
        },
    };

    SilencedCout silenced;
    // One round first, so that caches and the file system are warm for every way; then the ways
    // take turns in a rotating order, so that none always follows the same other one.
    SuiteRound warm_up;
    for (const auto &way : ways)
        way(warm_up);
    for (int press = 0; press < presses; ++press) {
        SuiteRound round;
        for (std::size_t i = 0; i < ways.size(); ++i)
            ways[(press + i) % ways.size()](round);
        result.rounds.push_back(round);
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// Answer size (fresh process per size)

// The median of `times` timings of `work`, in milliseconds.
template<typename Work>
double median_ms(int times, Work work)
{
    std::vector<double> values;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        values.push_back(ms_since(timer));
    }
    return median(values);
}

int answer_mode(int argc, char **argv, const std::string &bytes)
{
    QApplication app(argc, argv);
    Workspace workspace(QStringLiteral(ORVIMET_BENCH_CHILD));
    MainWindow window;
    show_and_wait(window);
    QTextEdit *area = child<QTextEdit>(window, "label_5");
    const std::string input = " -B " + bytes;
    const int times = 3;
    Figures figures;
    figures["rss_before"] = peak_rss_mib();

    {
        SilencedCout silenced;
        bool correct = true;
        std::vector<double> judged, shown;
        for (int i = 0; i < times; ++i) {
            QElapsedTimer timer;
            timer.start();
            correct = call_auto_test(window, workspace.location_s(), workspace.command_s(), input)
                      && correct;
            judged.push_back(ms_since(timer));
            paint_fully(window, area);
            shown.push_back(ms_since(timer));
        }
        figures["judgement"] = median(judged);
        figures["shown"] = median(shown);
        figures["correct"] = correct ? 1 : 0;
    }
    // The judgements free what they take, so the peak is that of one of them.
    figures["rss_peak"] = peak_rss_mib();

    // The pieces, one by one, after the peak has been taken.
    const std::string student_line = workspace.location_s() + workspace.command_s() + input;
    const std::string reference_line = reference_prefix(0) + input;
    {
        SilencedCout silenced;
        figures["start_process"] = median_ms(times, [&] {
            call_start_process(window, student_line);
            call_start_process(window, reference_line);
        });
    }
    figures["running"] = median_ms(times, [&] {
        launch(words(student_line), false);
        launch(words(reference_line), false);
    });
    std::string student_output, reference_text;
    figures["launcher"] = median_ms(times, [&] {
        student_output = launch(words(student_line));
        reference_text = launch(words(reference_line));
    });
    // The diagnostic line as a real stream writes it, into /dev/null.
    std::ofstream devnull("/dev/null");
    figures["diagnostic"]
        = median_ms(times, [&] { devnull << student_output << "Qprocess" << std::endl; });

    // Normalised in place, as the judge does with the text it owns; the copy is not timed.
    std::string student_text;
    bool same = false;
    std::vector<double> compared, showed;
    for (int i = 0; i < times; ++i) {
        std::string text = student_output;
        QElapsedTimer timer;
        timer.start();
        student_text = normalise_answer(std::move(text));
        same = compare_answers(student_text, reference_text).equal();
        compared.push_back(ms_since(timer));
    }
    for (int i = 0; i < times; ++i) {
        area->clear();
        paint_fully(window, area);
        QElapsedTimer timer;
        timer.start();
        append_text(area, judgement_report(student_text, reference_text, same));
        paint_fully(window, area);
        showed.push_back(ms_since(timer));
    }
    figures["compare"] = median(compared);
    figures["show"] = median(showed);

    for (const auto &figure : figures)
        std::printf("%s %.3f\n", figure.first.c_str(), figure.second);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Start-up (fresh process per run)

class PaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

int startup_mode(int argc, char **argv, const std::string &which)
{
    QElapsedTimer timer;
    timer.start();
    QApplication app(argc, argv);
    const double application = ms_since(timer);

    timer.restart();
    std::unique_ptr<QMainWindow> window;
    if (which == "grader") {
        window = std::make_unique<MainWindow>();
    } else {
        window = std::make_unique<QMainWindow>();
        window->setFixedSize(600, 350);
        // One text is enough to load the fonts, which any window with a label pays for.
        if (which == "text")
            (new QLabel(QStringLiteral("栈"), window.get()))->move(100, 100);
    }
    PaintWatch watch;
    window->installEventFilter(&watch);
    window->show();
    QElapsedTimer limit;
    limit.start();
    // processEvents returns after the paint event has been handled, so the paint is included.
    while (!watch.painted && limit.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double first_paint = ms_since(timer);

    std::printf("application %.3f\nfirst_paint %.3f\nrss_peak %.3f\npainted %d\n", application,
                first_paint, peak_rss_mib(), watch.painted ? 1 : 0);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The tables

// Milliseconds per judgement: the median over the presses, and the best press.
struct PerJudgement
{
    double median = 0;
    double best = 0;
};

PerJudgement per_judgement(const SuiteResult &suite, double SuiteRound::*field)
{
    std::vector<double> values;
    for (const SuiteRound &round : suite.rounds)
        values.push_back(round.*field / 10.0);
    return {median(values), values.empty() ? 0 : *std::min_element(values.begin(), values.end())};
}

void print_suite(const SuiteResult &suite)
{
    std::printf("\nSuite overhead: %zu presses of 自动测试, 10 judgements each, 2 child runs per "
                "judgement\n",
                suite.rounds.size());
    std::printf("  %-42s %10s %10s %8s\n", "ms per judgement", "median", "best", "ratio");
    const PerJudgement launcher = per_judgement(suite, &SuiteRound::launcher);
    const std::vector<std::pair<const char *, double SuiteRound::*>> rows{
        {"bare launcher (posix_spawn, pipe, read)", &SuiteRound::launcher},
        {"QProcess alone, as start_process uses it", &SuiteRound::qprocess},
        {"start_process alone", &SuiteRound::start_process},
        {"grader, through the button", &SuiteRound::grader},
        {"  of which the repaint after the press", &SuiteRound::repaint},
    };
    for (const auto &row : rows) {
        const PerJudgement figure = per_judgement(suite, row.second);
        std::printf("  %-42s %10.3f %10.3f", row.first, figure.median, figure.best);
        if (row.second == &SuiteRound::repaint)
            std::printf("\n");
        else
            std::printf(" %7.3fx\n", figure.median / launcher.median);
    }
    std::printf("  ratio: median against the bare launcher's median; goal for the grader: <= "
                "1.10x\n");
    std::printf("  every press judged all ten cases correct: %s\n",
                suite.all_correct ? "yes" : "NO");
}

void print_answers(const std::vector<int> &sizes)
{
    std::printf("\nAnswer size: one judgement, student and reference each print N MiB of "
                "\"1 2 3 ...\" (ms, MiB)\n");
    std::printf("  %4s %9s %8s %8s %8s %7s | %8s %8s | %10s %8s %9s %6s | %6s\n", "N", "judgement",
                "+shown", "RSS base", "RSS peak", "correct", "running", "reading", "start_proc",
                "compare", "diag line", "show", "own");
    for (const int mib : sizes) {
        const std::string bytes = std::to_string(static_cast<long long>(mib) << 20);
        Figures f = run_fresh({"--answer", bytes});
        if (f.count("shown") == 0) {
            std::printf("  %4d  (the fresh process failed)\n", mib);
            continue;
        }
        const double own = 100.0 * (f["shown"] - f["launcher"]) / f["shown"];
        std::printf("  %4d %9.1f %8.1f %8.1f %8.1f %7s | %8.1f %8.1f | %10.1f %8.1f %9.1f %6.1f | "
                    "%5.0f%%\n",
                    mib, f["judgement"], f["shown"], f["rss_before"], f["rss_peak"],
                    f["correct"] > 0 ? "yes" : "NO", f["running"], f["launcher"] - f["running"],
                    f["start_process"], f["compare"], f["diagnostic"], f["show"], own);
    }
    static const char *const legend[] = {
        "judgement: auto_test until it returns; +shown: until the output area is laid out and",
        "painted (medians of 3). Then each piece alone: running: both programs writing into",
        "/dev/null; reading: what a pipe and reading it add (running + reading = bare launcher);",
        "start_proc: both runs through start_process; compare: normalise the student's answer and",
        "compare the two word by word; diag line: the student's answer through a stream into",
        "/dev/null; show: the report built, appended, laid out and painted.",
        "own: the grader's share of +shown, beyond what the bare launcher needs for both runs.",
    };
    for (const char *line : legend)
        std::printf("  %s\n", line);
}

void print_startup(int runs)
{
    std::printf(
        "\nStart-up: a window constructed and shown until its first paint (ms, MiB; median of "
        "%d fresh processes)\n",
        runs);
    std::printf("  %-34s %12s %12s %14s %9s\n", "", "QApplication", "first paint", "process total",
                "RSS peak");
    const std::vector<std::pair<const char *, const char *>> windows{
        {"bare", "bare QMainWindow 600x350"},
        {"text", "the same with one text label"},
        {"grader", "MainWindow"}};
    std::map<std::string, std::vector<Figures>> results;
    std::map<std::string, std::vector<double>> walls;
    for (int run = 0; run < runs; ++run) {
        for (const auto &window : windows) {
            double wall = 0;
            results[window.first].push_back(run_fresh({"--startup", window.first}, &wall));
            walls[window.first].push_back(wall);
        }
    }
    for (const auto &window : windows) {
        std::vector<double> application, paint, rss;
        bool painted = true;
        for (Figures &f : results[window.first]) {
            application.push_back(f["application"]);
            paint.push_back(f["first_paint"]);
            rss.push_back(f["rss_peak"]);
            painted = painted && f["painted"] > 0;
        }
        std::printf("  %-34s %12.1f %12.1f %14.1f %9.1f%s\n", window.second, median(application),
                    median(paint), median(walls[window.first]), median(rss),
                    painted ? "" : "  (no paint seen)");
    }
    std::printf("  first paint: from before the window's constructor until its first paint event "
                "is handled;\n");
    std::printf("  process total: from spawning the process until it has ended.\n");
}

std::vector<int> parse_sizes(const std::string &text)
{
    std::vector<int> sizes;
    std::istringstream stream(text);
    std::string part;
    while (std::getline(stream, part, ','))
        sizes.push_back(std::atoi(part.c_str()));
    return sizes;
}

int usage()
{
    std::fprintf(stderr, "usage: bench_grader [--presses K] [--sizes MiB,MiB,...] [--startups N]\n"
                         "                    [--only suite|answer|startup] [--child PROGRAM]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--answer")
        return answer_mode(argc, argv, args[1]);
    if (args.size() == 2 && args[0] == "--startup")
        return startup_mode(argc, argv, args[1]);

    std::string only;
    QString child_program = QStringLiteral(ORVIMET_BENCH_CHILD);
    int presses = 40;
    int startups = 5;
    std::vector<int> sizes{1, 10, 50};
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--presses")
            presses = std::max(1, std::atoi(args[i + 1].c_str()));
        else if (args[i] == "--startups")
            startups = std::max(1, std::atoi(args[i + 1].c_str()));
        else if (args[i] == "--sizes")
            sizes = parse_sizes(args[i + 1]);
        else if (args[i] == "--only")
            only = args[i + 1];
        else if (args[i] == "--child")
            child_program = QFileInfo(QString::fromStdString(args[i + 1])).absoluteFilePath();
        else
            return usage();
    }
    if (args.size() % 2 != 0)
        return usage();

    QApplication app(argc, argv);
    if (only.empty() || only == "suite")
        print_suite(measure_suite(presses, child_program));
    std::fflush(stdout);
    if (only.empty() || only == "answer")
        print_answers(sizes);
    std::fflush(stdout);
    if (only.empty() || only == "startup")
        print_startup(startups);
    return 0;
}
