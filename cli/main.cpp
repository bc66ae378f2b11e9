// orvimet-cli: the grader's judgement from a shell, for one case or for a whole class. This file
// reads the command line and hands over to the command.
#include "cli/commands.h"
#include "grading/reports.h"
#include "judge/installation.h"
#include "judge/outputfiles.h"
#include "judge/qtversion.h"
#include "judge/utf8.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <map>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace {

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
  explore try generated option strings on PROGRAM until its answer differs from
          the reference's, then shrink that string to a shortest one

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

Limits of every run (0 switches one off):
      --cpu SECONDS        processor time (default 10)
      --memory MB          address space, in MiB (default 1024)
      --file-size MB       largest file a program may write, in MiB (default 64)
      --processes N        processes a program may have at once (default 64;
                           in the sandbox only)
      --output MB          standard output kept, in MiB; the rest is dropped and
                           the case is wrong (default 16)

Sandbox:
      --no-sandbox         run programs without the bubblewrap sandbox: they then
                           see and may change whatever the grader's user may
  -h, --help               show this help and exit
  -v, --version            show the version and exit

Every program runs in a bubblewrap sandbox: its own processes, no network, no
terminal, the system read-only, its own folder read-only, and one fresh working
folder where it may write; nothing else of the machine is there. An answer file
"<name>.txt" that it writes there is moved into the program's folder and judged
instead of its output, as the window does. The reference program runs the same
way, before any student's, and must exit with code 0 within the limits.

Exit status:
  0  every answer is correct; explore: no string made the answers differ
  1  some answer is wrong; in a suite, runs killed at the time-out count as wrong
  2  nothing was judged, or not everything: bad use, a missing program or reference
     program, a reference program that fails, no sandbox, cases the grader could
     not run; for judge, a program that failed to start or ran out of time
)";

std::string value_text(const std::string &value)
{
    return printable(value);
}

double number_value(const std::string &text, bool &ok)
{
    char *end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    ok = !text.empty() && end && *end == '\0' && errno == 0 && std::isfinite(value);
    return value;
}

// A whole number from 0 to `max`.
long long whole_value(const std::string &option, const std::string &text, long long max)
{
    bool ok = false;
    const double value = number_value(text, ok);
    if (!ok || value < 0 || value > static_cast<double>(max) || value != std::floor(value))
        throw Failure{"invalid value '" + value_text(text) + "' of --" + option
                      + ": give a whole number from 0 to " + std::to_string(max)};
    return static_cast<long long>(value);
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
std::string reference_path(const std::string &chosen, int flag_stack)
{
    const std::string file = reference_file_name(flag_stack);
    std::string folder = chosen;
    if (folder.empty()) {
        const QString executable_folder = QCoreApplication::applicationDirPath();
        folder = "resource";
        for (const QString &candidate : {executable_folder + QStringLiteral("/resource"),
                                         installed_reference_folder(executable_folder)}) {
            const std::string path = to_utf8(candidate);
            if (is_readable_file(path + "/" + file)) {
                folder = path;
                break;
            }
        }
    }
    return absolute_path(folder + "/" + file);
}

struct Option
{
    const char *short_name; // empty: none
    const char *long_name;
    bool takes_value;
    const char *commands; // the commands that take it, each followed by a blank; empty: all
};

const Option options[] = {
    {"e", "exercise", true, ""},
    {"t", "timeout", true, ""},
    {"r", "reference", true, ""},
    {"j", "jobs", true, "suite "},
    {"", "csv", true, "suite "},
    {"", "json", true, "suite "},
    {"", "cases", true, "suite "},
    {"", "explore", true, "suite "},
    {"", "seed", true, "suite explore "},
    {"", "runs", true, "explore "},
    {"", "time", true, "explore "},
    {"", "cpu", true, ""},
    {"", "memory", true, ""},
    {"", "file-size", true, ""},
    {"", "processes", true, ""},
    {"", "output", true, ""},
    {"", "no-sandbox", false, ""},
    {"h", "help", false, ""},
};

bool takes(const Option &option, const std::string &command)
{
    const std::string commands = option.commands;
    return commands.empty() || commands.find(command + ' ') != std::string::npos;
}

// Reads the options and the positional arguments of a command, on their bytes: program paths
// need not be UTF-8. For judge, everything after the program belongs to it, dashes and all.
std::map<std::string, std::string> read_options(const std::vector<std::string> &arguments,
                                                const std::string &command,
                                                std::vector<std::string> &positional)
{
    std::map<std::string, std::string> values;
    bool only_positional = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (only_positional || argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
            only_positional = only_positional || command == "judge";
            continue;
        }
        if (argument == "--") {
            only_positional = true;
            continue;
        }
        const bool is_long = argument[1] == '-';
        const std::size_t equals = is_long ? argument.find('=') : std::string::npos;
        const std::string name = is_long ? argument.substr(2, equals - 2) : argument.substr(1, 1);
        const Option *option
            = std::find_if(std::begin(options), std::end(options), [&](const Option &o) {
                  return (is_long ? o.long_name : o.short_name) == name && takes(o, command);
              });
        if (option == std::end(options) || name.empty())
            throw Failure{"Unknown option '" + value_text(is_long ? name : argument.substr(1))
                          + "'."};
        std::string value;
        if (option->takes_value) {
            if (equals != std::string::npos) {
                value = argument.substr(equals + 1);
            } else if (!is_long && argument.size() > 2) {
                value = argument.substr(2); // compacted: -j4
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                throw Failure{"Missing value after '" + value_text(argument) + "'."};
            }
        }
        values[option->long_name] = value;
    }
    return values;
}

// A number of option strings, at least `lowest`.
int string_count(const std::string &text, int lowest)
{
    bool ok = false;
    const double value = number_value(text, ok);
    if (!ok || value < lowest || value > 100000000 || value != std::floor(value))
        throw Failure{"invalid number of strings '" + value_text(text)
                      + "': give a whole number of at least " + std::to_string(lowest)};
    return static_cast<int>(value);
}

// A seed nobody chose, printed so that the run can be repeated.
std::uint64_t clock_seed()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
               std::chrono::duration_cast<std::chrono::microseconds>(now).count())
           % 1000000000;
}

Settings parse(const std::string &command, const std::vector<std::string> &arguments)
{
    const bool suite = command == "suite";
    const bool exploring = command == "explore";
    Settings settings;
    const std::map<std::string, std::string> values
        = read_options(arguments, command, settings.positional);
    const auto given = [&](const char *name) { return values.count(name) != 0; };
    const auto value = [&](const char *name) { return values.at(name); };
    if (given("help")) {
        std::cout << help_text;
        std::exit(all_correct);
    }

    if (!given("exercise"))
        throw Failure{"no exercise given: use --exercise stack, queue or stackqueue"};
    settings.exercise = value("exercise");
    Grading &grading = settings.grading;
    grading.flag_stack = exercise_number(settings.exercise);
    if (grading.flag_stack < 0)
        throw Failure{"unknown exercise '" + value_text(settings.exercise)
                      + "': use stack, queue or stackqueue"};
    double timeout_seconds = 10;
    if (given("timeout")) {
        bool ok = false;
        timeout_seconds = number_value(value("timeout"), ok);
        if (!ok || !(timeout_seconds > 0) || timeout_seconds > 86400)
            throw Failure{"invalid time-out '" + value_text(value("timeout"))
                          + "': give a number of seconds above 0"};
    }
    grading.limits.wall
        = std::chrono::milliseconds(std::max(1LL, std::llround(timeout_seconds * 1000)));
    settings.jobs = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    if (given("jobs")) {
        bool ok = false;
        const double jobs = number_value(value("jobs"), ok);
        if (!ok || jobs < 1 || jobs > 1024 || jobs != std::floor(jobs))
            throw Failure{"invalid number of jobs '" + value_text(value("jobs"))
                          + "': give a whole number above 0"};
        settings.jobs = static_cast<int>(jobs);
    }
    constexpr long long mib = 1 << 20;
    Limits &limits = grading.limits;
    if (given("cpu"))
        limits.cpu_seconds = static_cast<int>(whole_value("cpu", value("cpu"), 86400));
    if (given("memory"))
        limits.memory_bytes = whole_value("memory", value("memory"), 1 << 24) * mib;
    if (given("file-size"))
        limits.file_bytes = whole_value("file-size", value("file-size"), 1 << 24) * mib;
    if (given("processes"))
        limits.processes = static_cast<int>(whole_value("processes", value("processes"), 100000));
    if (given("output")) {
        const long long output = whole_value("output", value("output"), 4096);
        limits.output_bytes = static_cast<std::size_t>(output == 0 ? 4096 : output) * mib;
    }
    grading.sandbox.enabled = !given("no-sandbox");
    if (suite) {
        settings.csv = given("csv") ? value("csv") : std::string();
        settings.json = given("json") ? value("json") : std::string();
        settings.cases = given("cases") ? value("cases") : std::string();
        if (given("explore"))
            settings.explore = string_count(value("explore"), 0);
    }
    settings.seed = clock_seed();
    if (given("seed")) {
        const std::string &text = value("seed");
        errno = 0;
        char *end = nullptr;
        settings.seed = std::strtoull(text.c_str(), &end, 10);
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || errno != 0)
            throw Failure{"invalid seed '" + value_text(text)
                          + "': give a whole number from 0 to 18446744073709551615"};
    }
    if (given("runs"))
        settings.budget.strings = string_count(value("runs"), 1);
    if (given("time")) {
        bool ok = false;
        const double seconds = number_value(value("time"), ok);
        if (!ok || !(seconds > 0) || seconds > 86400)
            throw Failure{"invalid time '" + value_text(value("time"))
                          + "': give a number of seconds above 0"};
        settings.budget.time
            = std::chrono::milliseconds(std::max(1LL, std::llround(seconds * 1000)));
    }
    grading.reference_path = reference_path(given("reference") ? value("reference") : std::string(),
                                            grading.flag_stack);
    if (settings.positional.empty())
        throw Failure{"no program given"};
    if (exploring && settings.positional.size() > 1)
        throw Failure{"explore takes one program, not "
                      + std::to_string(settings.positional.size())};
    return settings;
}

// Descriptors 0 to 2 closed at start would be taken by the first files the grader opens, and
// the table would land in a report: they are held on /dev/null instead.
void hold_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        const int null_fd = ::open("/dev/null", O_RDWR);
        if (null_fd >= 0 && null_fd != fd) {
            ::dup2(null_fd, fd);
            ::close(null_fd);
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    hold_standard_descriptors();
    handle_termination_signals();
    use_utf8_for_local_text();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvimet-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVIMET_VERSION));

    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string command = arguments.empty() ? std::string() : arguments.front();
    if (command == "-h" || command == "--help" || command == "help") {
        std::cout << help_text;
        return all_correct;
    }
    if (command == "-v" || command == "--version") {
        std::cout << "orvimet-cli " ORVIMET_VERSION "\n";
        return all_correct;
    }
    try {
        if (command.empty())
            throw Failure{"no command given: use judge, suite or explore"};
        if (command != "judge" && command != "suite" && command != "explore")
            throw Failure{"unknown command '" + printable(command)
                          + "': use judge, suite or explore"};
        const Settings settings = parse(command, {arguments.begin() + 1, arguments.end()});
        if (command == "judge")
            return judge_command(settings);
        return command == "suite" ? suite_command(settings) : explore_command(settings);
    } catch (const Interrupted &interruption) {
        std::signal(interruption.signal, SIG_DFL);
        std::raise(interruption.signal);
        return not_judged;
    } catch (const Failure &failure) {
        say(failure.message);
        std::cerr << "Try 'orvimet-cli --help' for more information.\n";
        return not_judged;
    }
}
