// orvimet-cli: the grader's judgement from a shell, for one case or for a whole class.
#include "cli/batch.h"
#include "cli/reports.h"
#include "drivers/suitecases.h"
#include "explore/cases.h"
#include "explore/explorer.h"
#include "judge/installation.h"
#include "judge/outputfiles.h"
#include "judge/qtversion.h"
#include "judge/utf8.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>

#include <unistd.h>

namespace {

// Exit statuses.
constexpr int all_correct = 0;
constexpr int some_wrong = 1;
constexpr int not_judged = 2;

const char *const help_text
    = R"(Usage: orvimet-cli judge --exercise EXERCISE [options] PROGRAM [OPTION...]
       orvimet-cli suite --exercise EXERCISE [options] PROGRAM...
       orvimet-cli explore --exercise EXERCISE [options] PROGRAM

Runs students' programs of the container-class lab and the reference program of
their exercise with the same options, and compares the answers word by word, by
the same rules as the Orvimet window.

Commands:
  judge   judge PROGRAM on the options that follow it, like the manual test
  suite   judge every PROGRAM on the ten option strings of the automatic suite
  explore judge PROGRAM on generated option strings until its answer differs
          from the reference's, then shrink that string as far as it still
          differs; prints the shrunk string, both answers and the seed

Options:
  -e, --exercise EXERCISE  stack, queue or stackqueue
  -t, --timeout SECONDS    time limit of one run; a program still running then is
                           killed with everything it started (default 10)
  -r, --reference DIR      folder holding a.exe, b.exe and c.exe (default: the
                           resource folder beside orvimet-cli, else the installed
                           one, else ./resource)
  -j, --jobs N             suite: programs judged at the same time (default: the
                           number of processor cores)
      --csv FILE           suite: write one record per program and case as CSV
      --json FILE          suite: write the same records as JSON
      --cases FILE         suite: judge the option strings of FILE, one a line
                           ('#' starts a comment), instead of the ten
      --cases extended     suite: judge the built-in list that covers every rule
                           and boundary of the exercise
      --explore N          suite: add N generated option strings, the same for
                           every program, and shrink each program's first
                           failing one
      --seed S             suite, explore: the seed of the generated strings
                           (default: taken from the clock, and printed)
      --runs N             explore: strings to try at most (default 2000)
      --time SECONDS       explore: time to try them in at most (default 60)
  -h, --help               show this help and exit
  -v, --version            show the version and exit

Every program runs in a scratch working directory of its own, with standard input
at end of file. An answer file "<name>.txt" that it writes there is moved into the
program's folder and judged instead of its output, as the window does.

Exit status:
  0  every answer is correct; explore: no string made the answers differ
  1  some answer is wrong; in a suite, runs killed at the time-out count as wrong
  2  nothing was judged: bad use, a missing program or reference program, or, for
     judge, a program that failed to start or ran out of time
)";

struct Failure
{
    std::string message;
};

void say(const std::string &message)
{
    std::cerr << "orvimet-cli: " << message << '\n';
}

std::string utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

struct Settings
{
    std::string exercise;
    Grading grading;
    double timeout_seconds = 10;
    int jobs = 1;
    QString csv;
    QString json;
    QString cases;
    int explore = 0;
    std::uint64_t seed = 0;
    Budget budget;
    QStringList positional;
};

// A seed nobody chose, printed so that the run can be repeated.
std::uint64_t clock_seed()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
               std::chrono::duration_cast<std::chrono::microseconds>(now).count())
           % 1000000000;
}

int whole_number(const QString &text, const char *what, int lowest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest)
        throw Failure{"invalid " + std::string(what) + " '" + utf8(text)
                      + "': give a whole number of at least " + std::to_string(lowest)};
    return value;
}

int exercise_number(const std::string &name)
{
    const char *const names[] = {"stack", "queue", "stackqueue"};
    for (int i = 0; i < 3; ++i) {
        if (name == names[i])
            return i;
    }
    return -1;
}

// The reference program: the chosen folder, else the first of resource/ beside this executable
// (a build tree) and the installed reference folder that holds the file, else ./resource/.
std::string reference_path(const QString &chosen, int flag_stack)
{
    const QString file = from_utf8(reference_file_name(flag_stack));
    QString folder = chosen;
    if (folder.isEmpty()) {
        const QString executable_folder = QCoreApplication::applicationDirPath();
        folder = QStringLiteral("resource");
        for (const QString &candidate : {executable_folder + QStringLiteral("/resource"),
                                         installed_reference_folder(executable_folder)}) {
            if (QFileInfo(candidate + QLatin1Char('/') + file).isFile()) {
                folder = candidate;
                break;
            }
        }
    }
    return utf8(
        QDir::cleanPath(QDir::current().absoluteFilePath(folder + QLatin1Char('/') + file)));
}

Settings parse(const QString &command, const QStringList &arguments)
{
    const bool suite = command == QLatin1String("suite");
    const bool exploring = command == QLatin1String("explore");
    QCommandLineParser parser;
    const QCommandLineOption exercise({"e", "exercise"}, {}, "EXERCISE");
    const QCommandLineOption timeout({"t", "timeout"}, {}, "SECONDS");
    const QCommandLineOption reference({"r", "reference"}, {}, "DIR");
    const QCommandLineOption jobs({"j", "jobs"}, {}, "N");
    const QCommandLineOption csv("csv", {}, "FILE");
    const QCommandLineOption json("json", {}, "FILE");
    const QCommandLineOption cases("cases", {}, "FILE");
    const QCommandLineOption explore("explore", {}, "N");
    const QCommandLineOption seed("seed", {}, "S");
    const QCommandLineOption runs("runs", {}, "N");
    const QCommandLineOption time("time", {}, "SECONDS");
    const QCommandLineOption help(QStringList{"h", "help"});
    parser.addOptions({exercise, timeout, reference, help});
    if (suite)
        parser.addOptions({jobs, csv, json, cases, explore, seed});
    if (exploring)
        parser.addOptions({seed, runs, time});
    if (!suite && !exploring) {
        // Whatever follows the program belongs to it, dashes and all.
        parser.setOptionsAfterPositionalArgumentsMode(
            QCommandLineParser::ParseAsPositionalArguments);
    }
    if (!parser.parse(QStringList{QStringLiteral("orvimet-cli")} + arguments))
        throw Failure{utf8(parser.errorText())};
    if (parser.isSet(help)) {
        std::cout << help_text;
        std::exit(all_correct);
    }

    Settings settings;
    if (!parser.isSet(exercise))
        throw Failure{"no exercise given: use --exercise stack, queue or stackqueue"};
    settings.exercise = utf8(parser.value(exercise));
    settings.grading.flag_stack = exercise_number(settings.exercise);
    if (settings.grading.flag_stack < 0)
        throw Failure{"unknown exercise '" + printable(settings.exercise)
                      + "': use stack, queue or stackqueue"};
    if (parser.isSet(timeout)) {
        bool ok = false;
        settings.timeout_seconds = parser.value(timeout).toDouble(&ok);
        if (!ok || !(settings.timeout_seconds > 0) || settings.timeout_seconds > 86400)
            throw Failure{"invalid time-out '" + utf8(parser.value(timeout))
                          + "': give a number of seconds above 0"};
    }
    settings.grading.timeout
        = std::chrono::milliseconds(std::max(1LL, std::llround(settings.timeout_seconds * 1000)));
    settings.jobs = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    if (suite && parser.isSet(jobs)) {
        bool ok = false;
        settings.jobs = parser.value(jobs).toInt(&ok);
        if (!ok || settings.jobs < 1)
            throw Failure{"invalid number of jobs '" + utf8(parser.value(jobs))
                          + "': give a whole number above 0"};
    }
    if (suite) {
        settings.csv = parser.value(csv);
        settings.json = parser.value(json);
        settings.cases = parser.value(cases);
        if (parser.isSet(explore))
            settings.explore = whole_number(parser.value(explore), "number of strings", 0);
    }
    settings.seed = clock_seed();
    if ((suite || exploring) && parser.isSet(seed)) {
        bool ok = false;
        settings.seed = parser.value(seed).toULongLong(&ok);
        if (!ok)
            throw Failure{"invalid seed '" + utf8(parser.value(seed))
                          + "': give a whole number from 0 to 18446744073709551615"};
    }
    if (exploring && parser.isSet(runs))
        settings.budget.strings = whole_number(parser.value(runs), "number of strings", 1);
    if (exploring && parser.isSet(time)) {
        bool ok = false;
        const double seconds = parser.value(time).toDouble(&ok);
        if (!ok || !(seconds > 0) || seconds > 86400)
            throw Failure{"invalid time '" + utf8(parser.value(time))
                          + "': give a number of seconds above 0"};
        settings.budget.time
            = std::chrono::milliseconds(std::max(1LL, std::llround(seconds * 1000)));
    }
    settings.grading.reference_path
        = reference_path(parser.value(reference), settings.grading.flag_stack);
    settings.positional = parser.positionalArguments();
    if (settings.positional.isEmpty())
        throw Failure{"no program given"};
    if (exploring && settings.positional.size() > 1)
        throw Failure{"explore takes one program, not "
                      + std::to_string(settings.positional.size())};
    return settings;
}

StudentProgram existing_program(const QString &given)
{
    const StudentProgram program = student_program(utf8(given));
    if (!program_exists(program))
        throw Failure{"no such program: " + printable(program.name)};
    // The command line is split at white space as the window splits it (full-width blanks
    // included), so such a path cannot start; it is still graded, as the window would grade it.
    const QString path = from_utf8(program.location_s + program.command_s);
    if (std::any_of(path.begin(), path.end(),
                    [](QChar c) { return c.isSpace() || c == QLatin1Char('"'); }))
        say("warning: the path of " + printable(program.name)
            + " holds a blank or a quote, so the program cannot start");
    return program;
}

void check_reference(const Grading &grading)
{
    if (!is_readable_file(grading.reference_path))
        throw Failure{"no reference program: " + printable(grading.reference_path)};
}

void check_reference_run(const ReferenceAnswer &answer, const Settings &settings,
                         const std::string &options)
{
    const std::string program
        = "the reference program " + printable(settings.grading.reference_path);
    if (answer.run.end == ChildRun::End::FailedToStart)
        throw Failure{program + " failed to start"};
    if (answer.run.end == ChildRun::End::TimedOut)
        throw Failure{program + " did not finish in time on the options" + printable(options)};
}

std::unique_ptr<QSaveFile> open_report(const QString &path)
{
    if (path.isEmpty())
        return nullptr;
    auto file = std::make_unique<QSaveFile>(path);
    if (QFileInfo(path).isDir() || !file->open(QIODevice::WriteOnly))
        throw Failure{"cannot write the report " + utf8(path) + ": "
                      + (QFileInfo(path).isDir() ? "it is a folder" : utf8(file->errorString()))};
    return file;
}

void finish_report(QSaveFile *file, const QByteArray &content)
{
    if (!file)
        return;
    file->write(content);
    if (!file->commit())
        throw Failure{"cannot write the report " + utf8(file->fileName()) + ": "
                      + utf8(file->errorString())};
}

std::string scratch_folder(const QTemporaryDir &dir)
{
    if (!dir.isValid())
        throw Failure{"cannot create a scratch folder: " + utf8(dir.errorString())};
    return utf8(dir.path()) + "/";
}

// The options typed after the program, as one string of the window's form.
std::string options_text(const QStringList &arguments)
{
    Words words;
    for (const QString &argument : arguments)
        words.push_back(utf8(argument));
    return options_line(words);
}

int judge_command(const Settings &settings)
{
    const StudentProgram program = existing_program(settings.positional.first());
    check_reference(settings.grading);
    const std::string options = options_text(settings.positional.mid(1));
    const QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvimet-cli-XXXXXX"));
    const std::string root = scratch_folder(scratch);
    QDir().mkpath(from_utf8(root + "program"));
    QDir().mkpath(from_utf8(root + "reference"));

    // The student's program runs first, as in the window.
    CaseResult result = run_student(settings.grading, program, options, root + "program/");
    const ReferenceAnswer reference = run_reference(settings.grading, options, root + "reference/");
    check_reference_run(reference, settings, options);
    compare_answers(result, reference.text);

    const bool judged
        = result.run.end == ChildRun::End::Exited || result.run.end == ChildRun::End::Crashed;
    std::cout << "command:   " << printable(result.command_line) << '\n'
              << "student:   " << printable(result.student_text) << '\n'
              << "reference: " << printable(reference.text) << '\n'
              << "run:       " << ending_text(result.run, settings.timeout_seconds) << ", "
              << result.run.elapsed.count() << " ms\n";
    if (!judged) {
        std::cout << "verdict:   not judged\n";
        return not_judged;
    }
    std::cout << "verdict:   " << verdict_text(result) << '\n';
    return result.correct ? all_correct : some_wrong;
}

// The progress bar on standard error, drawn only when that is a terminal.
class ProgressBar
{
public:
    explicit ProgressBar(int total)
        : total(total)
        , shown(::isatty(STDERR_FILENO) == 1)
    {}

    void draw(int done)
    {
        if (!shown)
            return;
        last = done;
        constexpr int width = 30;
        const int filled = total ? done * width / total : width;
        std::fprintf(stderr, "\r[%s%s] %d/%d cases", std::string(filled, '#').c_str(),
                     std::string(width - filled, '.').c_str(), done, total);
        std::fflush(stderr);
    }

    // Clears the bar so that a line can be printed, then draws it again.
    template<class Print>
    void around(Print print)
    {
        clear();
        print();
        std::cout.flush();
        draw(last);
    }

    void clear()
    {
        if (!shown)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }

private:
    int total;
    bool shown;
    int last = 0;
};

void print_row(const ProgramReport &report)
{
    char counts[64];
    std::snprintf(counts, sizeof counts, "%7d  %5d  %9d  %7d  ", report.correct, report.wrong,
                  report.timeouts, report.crashes);
    std::cout << counts << printable(report.name);
    if (report.shrunk_from >= 0)
        std::cout << "  fails on:" << printable(report.shrunk.options);
    std::cout << '\n';
}

// The option strings of a suite: the ten, a case file or the extended list.
std::vector<std::string> case_list(const Settings &settings)
{
    if (settings.cases.isEmpty())
        return {suite_options.begin(), suite_options.end()};
    if (settings.cases == QLatin1String("extended"))
        return extended_cases(settings.grading.flag_stack);
    const CaseList list = read_case_file(utf8(settings.cases));
    if (!list.error.empty())
        throw Failure{"cannot read the case file " + printable(utf8(settings.cases)) + ": "
                      + list.error};
    return list.options;
}

int suite_command(const Settings &settings)
{
    std::vector<StudentProgram> programs;
    for (const QString &given : settings.positional)
        programs.push_back(existing_program(given));
    check_reference(settings.grading);
    const std::unique_ptr<QSaveFile> csv = open_report(settings.csv);
    const std::unique_ptr<QSaveFile> json = open_report(settings.json);
    const QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvimet-cli-XXXXXX"));

    ClassRun run;
    run.grading = settings.grading;
    run.workroot = scratch_folder(scratch);
    run.jobs = settings.jobs;
    run.options = case_list(settings);
    const std::size_t first_generated = run.options.size();
    const std::vector<Words> generated
        = generate_cases(settings.grading.flag_stack, settings.seed, settings.explore);
    for (const Words &words : generated)
        run.options.push_back(options_line(words));

    // The reference answers do not depend on the student: each option string runs once.
    std::vector<ReferenceAnswer> answers(run.options.size());
    run_parallel(static_cast<int>(run.options.size()), run.jobs, [&](int i, const Wake &) {
        const std::string workdir = run.workroot + "reference" + std::to_string(i + 1) + "/";
        QDir().mkpath(from_utf8(workdir));
        answers[i] = run_reference(run.grading, run.options[i], workdir);
    });
    for (std::size_t i = 0; i < answers.size(); ++i) {
        check_reference_run(answers[i], settings, run.options[i]);
        run.reference_texts.push_back(answers[i].text);
    }

    // Each program's first failing generated string is shrunk, on the thread that graded it.
    ReferenceAnswers reference(run.grading, run.workroot + "reference/");
    QDir().mkpath(from_utf8(run.workroot + "reference/"));
    for (std::size_t i = first_generated; i < run.options.size(); ++i)
        reference.add(run.options[i], answers[i]);
    if (!generated.empty()) {
        run.finish_program = [&](const StudentProgram &program, ProgramReport &report,
                                 const std::string &workdir) {
            for (std::size_t c = first_generated; c < report.cases.size(); ++c) {
                if (report.cases[c].correct)
                    continue;
                report.shrunk = shrink_failure(run.grading, program, generated[c - first_generated],
                                               report.cases[c], reference, workdir)
                                    .shrunk;
                report.shrunk_from = static_cast<int>(c);
                return;
            }
        };
        std::cout << "generated: " << generated.size() << " option strings, seed " << settings.seed
                  << '\n';
    }

    ProgressBar bar(static_cast<int>(programs.size() * run.options.size()));
    std::cout << "correct  wrong  time-outs  crashes  program\n" << std::flush;
    const std::vector<ProgramReport> reports = grade_class(
        run, programs, [&](int cases_done) { bar.draw(cases_done); },
        [&](const ProgramReport &report) { bar.around([&] { print_row(report); }); });
    bar.clear();

    int correct = 0, wrong = 0, timeouts = 0, crashes = 0;
    for (const ProgramReport &report : reports) {
        correct += report.correct;
        wrong += report.wrong;
        timeouts += report.timeouts;
        crashes += report.crashes;
    }
    std::cout << programs.size() << (programs.size() == 1 ? " program, " : " programs, ")
              << correct + wrong << " cases: " << correct << " correct, " << wrong << " wrong ("
              << timeouts << " time-outs, " << crashes << " crashes)\n";

    finish_report(csv.get(), QByteArray::fromStdString(csv_report(reports)));
    finish_report(json.get(), json_report({settings.exercise, settings.grading.reference_path,
                                           settings.timeout_seconds},
                                          reports));
    return wrong == 0 ? all_correct : some_wrong;
}

int explore_command(const Settings &settings)
{
    const StudentProgram program = existing_program(settings.positional.first());
    check_reference(settings.grading);
    const QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvimet-cli-XXXXXX"));
    const std::string root = scratch_folder(scratch);
    QDir().mkpath(from_utf8(root + "program"));
    QDir().mkpath(from_utf8(root + "reference"));

    ReferenceAnswers reference(settings.grading, root + "reference/");
    const Exploration exploration = explore(settings.grading, program, settings.seed,
                                            settings.budget, reference, root + "program/");
    if (exploration.reference_failed_on) {
        const std::string &options = *exploration.reference_failed_on;
        check_reference_run(reference.answer(options), settings, options);
    }
    std::cout << exploration_text(exploration, settings.timeout_seconds);
    return exploration.found ? some_wrong : all_correct;
}

} // namespace

int main(int argc, char *argv[])
{
    use_utf8_for_local_text();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvimet-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVIMET_VERSION));
    kill_children_on_termination();

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString command = arguments.value(0);
    if (command == QLatin1String("-h") || command == QLatin1String("--help")
        || command == QLatin1String("help")) {
        std::cout << help_text;
        return all_correct;
    }
    if (command == QLatin1String("-v") || command == QLatin1String("--version")) {
        std::cout << "orvimet-cli " ORVIMET_VERSION "\n";
        return all_correct;
    }
    try {
        if (command.isEmpty())
            throw Failure{"no command given: use judge, suite or explore"};
        const QStringList commands{"judge", "suite", "explore"};
        if (!commands.contains(command))
            throw Failure{"unknown command '" + utf8(command) + "': use judge, suite or explore"};
        const Settings settings = parse(command, arguments.mid(1));
        if (command == QLatin1String("judge"))
            return judge_command(settings);
        return command == QLatin1String("suite") ? suite_command(settings)
                                                 : explore_command(settings);
    } catch (const Failure &failure) {
        say(failure.message);
        std::cerr << "Try 'orvimet-cli --help' for more information.\n";
        return not_judged;
    }
}
