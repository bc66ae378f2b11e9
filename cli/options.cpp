#include "cli/options.h"

#include "cli/scheduler.h"
#include "gradebook/classfile.h"

#include <QFileInfo>

#include "grading/reports.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <thread>

namespace {

const char *const general_help
    = R"(Usage: orvimet-cli judge --exercise EXERCISE [options] PROGRAM [OPTION...]
       orvimet-cli suite --exercise EXERCISE [options] PROGRAM...
       orvimet-cli explore --exercise EXERCISE [options] PROGRAM
       orvimet-cli grade --exercise EXERCISE [options] SUBMISSIONS
       orvimet-cli merge --out MERGED RESULTS...
       orvimet-cli init [--slurm N] [FILE]
       orvimet-cli help [COMMAND]

Runs students' programs of the container-class lab and the reference program of
their exercise with the same options, and compares the answers word by word, by
the same rules as the Orvimet window.

Commands:
  judge   judge PROGRAM on the options that follow it, like the manual test
  suite   judge every PROGRAM on the ten option strings of the automatic suite
  explore try generated option strings on PROGRAM until its answer differs from
          the reference's, then shrink that string to a shortest one
  grade   grade a class from what its students handed in (a folder or an
          archive of their sources), build in the sandbox, write the results
  merge   join the results of a class graded in parts (grade --shard)
  init    write a commented class file (orvimet.toml), or a Slurm job script
  help    show the help of a command ('orvimet-cli COMMAND --help' too)
)";

const char *const common_options = R"(
Options:
  -e, --exercise EXERCISE  stack, queue or stackqueue
  -t, --timeout SECONDS    time limit of one run; a program still running then is
                           killed with everything it started (default 10)
  -r, --reference DIR      folder holding a.exe, b.exe and c.exe (default: the
                           resource folder beside orvimet-cli, else the installed
                           one, else ./resource)
)";

const char *const suite_options
    = R"(  -j, --jobs N             programs judged at the same time (default: the
                           number of processor cores)
      --csv FILE           write one record per program and case as CSV
      --json FILE          write the same records as JSON
      --cases FILE         judge the option strings of FILE, one a line ('#'
                           starts a comment), instead of the ten
      --cases extended     judge the built-in list that covers every rule and
                           boundary of the exercise
      --explore N          add N generated option strings, the same for every
                           program, and shrink each program's first failing one
      --seed S             the seed of the generated strings (default: taken from
                           the clock, and printed)
)";

// Suite's options name the seed too: a help that shows both lists shows it once.
const char *const seed_option
    = R"(      --seed S             the seed of the generated strings (default: taken from
                           the clock, and printed)
)";

const char *const explore_options
    = R"(      --runs N             strings to try at most (default 2000)
      --time SECONDS       time to try them and shrink a failure in, at most
                           (default 60)
)";

const char *const grade_options
    = R"(  -o, --out RESULTS        the results folder (default: a new folder
                           orvimet-EXERCISE-DATE-TIME here); never replaced
                           unless --force
      --force              replace an existing results folder
  -j, --jobs N             builds and programs at the same time (default, and 0:
                           the number of processor cores)
      --cases FILE|extended, --explore N, --seed S   as for suite; extended grades
                           the ten (cases 1-10) and then the extended list, weighed
                           as eleven equal groups, each of the ten and the list,
                           unless the class file gives groups: the list finds
                           faults, most of its strings try one edge each
      --compiler PROGRAM   the compiler (default g++)
      --flags "FLAGS"      its flags (default "-std=c++17 -O2 -Wall -Wextra")
      --no-cache           build everything again, whatever the build cache holds
      --memcheck           build again with the address and undefined-behaviour
                           sanitizers and report memory faults
      --give-up-after N    after N time-outs in all a program's other cases are
                           not run (default 3; 0: never)
      --config FILE        the class file (default: ./orvimet.toml when there is
                           one); options given here win
      --points P           the grade of a student whose every answer is correct
                           (default 100)
      --memcheck-penalty P points taken off for memory faults (default 0)
      --worksheet FILE     the course website's grading worksheet to fill
      --compare RESULTS    list the students whose points or status changed since
                           an earlier grading
      --similar-to RESULTS compare the class's sources with an earlier class's
                           fingerprints too
      --shard K/N          grade only the K-th of N parts of the class
      --shard auto[/N]     the part a Slurm job array task or a Kubernetes
                           Indexed Job's pod is; N: the Job's completions
      --build-cpu SECONDS  processor time of one build (default 30)
      --only FOLDER        grade that one student of the class graded in --out
                           again, with the class's cases, seed and limits, and
                           replace its record; SUBMISSIONS default to the class's
  -q, --quiet              no progress line on standard error
)";

const char *const limits_help = R"(
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
)";

const char *const sandbox_help = R"(
Every program runs in a bubblewrap sandbox: its own processes, no network, no
terminal, the system read-only, its own folder read-only, and one fresh working
folder where it may write; nothing else of the machine is there. An answer file
"<name>.txt" that it writes there is moved into the program's folder and judged
instead of its output, as the window does. The reference program runs the same
way, before any student's, and must exit with code 0 within the limits.
)";

const char *const exit_help = R"(
Exit status:
  0  every answer is correct; explore: no string made the answers differ
  1  some answer is wrong; in a suite, runs killed at the time-out count as wrong
  2  nothing was judged, or not everything: bad use, a missing program or reference
     program, a reference program that fails, no sandbox, cases the grader could
     not run; for judge, a program that failed to start or ran out of time
)";

std::string usage_line(const std::string &command)
{
    if (command == "judge")
        return "Usage: orvimet-cli judge --exercise EXERCISE [options] PROGRAM [OPTION...]\n\n"
               "Judges PROGRAM on the options that follow it, like the window's manual test.\n";
    if (command == "suite")
        return "Usage: orvimet-cli suite --exercise EXERCISE [options] PROGRAM...\n\n"
               "Judges every PROGRAM on the ten option strings of the automatic suite, or on\n"
               "the strings of --cases, with a table and optional CSV and JSON reports.\n";
    if (command == "explore")
        return "Usage: orvimet-cli explore --exercise EXERCISE [options] PROGRAM\n\n"
               "Tries generated option strings on PROGRAM until its answer differs from the\n"
               "reference's, then shrinks that string to a shortest one.\n";
    if (command == "grade")
        return "Usage: orvimet-cli grade --exercise EXERCISE [options] SUBMISSIONS\n\n"
               "Grades a class from what its students handed in: SUBMISSIONS is a folder\n"
               "with one folder per student, or an archive of one (.zip, .tar, .tar.gz,\n"
               ".tar.xz), such as the course website's download of all submissions.\n"
               "Sources are built in the sandbox; the results folder receives\n"
               "results.json, grade sheets, feedback pages and a class report.\n";
    if (command == "merge")
        return "Usage: orvimet-cli merge --out MERGED RESULTS...\n\n"
               "Joins the results folders of a class graded in parts (grade --shard K/N)\n"
               "into one, with every output of a whole grading.\n\n"
               "Options:\n"
               "  -o, --out MERGED         the folder to write (never replaced unless --force)\n"
               "      --force              replace an existing folder\n"
               "  -h, --help               show this help and exit\n";
    if (command == "init")
        return "Usage: orvimet-cli init [FILE]\n"
               "       orvimet-cli init --slurm N [FILE]\n\n"
               "Writes a commented class file (default: orvimet.toml here; an existing file\n"
               "is never replaced), to be used as grade --config FILE.\n\n"
               "Options:\n"
               "      --slurm N            write instead a job script (default: grade.sbatch)\n"
               "                           that grades the class on a Slurm cluster in N\n"
               "                           parts and merges them\n"
               "  -h, --help               show this help and exit\n";
    return std::string();
}

// Bad use of one value: "invalid time-out 'soon': give a number of seconds above 0".
[[noreturn]] void invalid(const std::string &what, const std::string &text, const std::string &hint)
{
    throw Failure{"invalid " + what + " '" + printable(text) + "': " + hint};
}

// A finite decimal number; false for anything else.
bool read_number(const std::string &text, double &value)
{
    char *end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && errno == 0 && std::isfinite(value);
}

// A whole number from `lowest` to `highest`; `what` and `hint` make the message.
long long whole(const std::string &text, long long lowest, long long highest,
                const std::string &what, const std::string &hint)
{
    double value = 0;
    if (!read_number(text, value) || value < static_cast<double>(lowest)
        || value > static_cast<double>(highest) || value != std::floor(value))
        invalid(what, text, hint);
    return static_cast<long long>(value);
}

// Seconds above 0, at most a day, as milliseconds.
std::chrono::milliseconds seconds(const std::string &text, const std::string &what)
{
    double value = 0;
    if (!read_number(text, value) || !(value > 0) || value > 86400)
        invalid(what, text, "give a number of seconds above 0");
    return std::chrono::milliseconds(std::max(1LL, std::llround(value * 1000)));
}

// A seed nobody chose, printed so that the run can be repeated.
std::uint64_t clock_seed()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
               std::chrono::duration_cast<std::chrono::microseconds>(now).count())
           % 1000000000;
}

// Options as CLI11 reads them: every value is first taken as text and checked here, so that each
// message names the value and what would do.
class Reader
{
public:
    explicit Reader(CLI::App &app)
        : app(app)
    {}

    void value(const std::string &names, const std::string &key)
    {
        options[key] = app.add_option(names, values[key])
                           ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    }
    void flag(const std::string &names, const std::string &key)
    {
        options[key] = app.add_flag(names, flags[key]);
    }

    std::set<std::string> given_keys() const
    {
        std::set<std::string> keys;
        for (const auto &[key, option] : options) {
            if (option->count() > 0)
                keys.insert(key);
        }
        return keys;
    }

    bool given(const std::string &key) const
    {
        const auto found = options.find(key);
        return found != options.end() && found->second->count() > 0;
    }
    const std::string &text(const std::string &key) { return values[key]; }
    bool is_set(const std::string &key) { return flags[key]; }
    bool is_flag(const std::string &key) const { return flags.count(key) != 0; }

private:
    CLI::App &app;
    std::map<std::string, CLI::Option *> options;
    std::map<std::string, std::string> values;
    std::map<std::string, bool> flags;
};

struct CommandShape
{
    bool limits = true;     // the run limits and --reference, --no-sandbox
    bool exercise = true;   // --exercise
    bool class_run = false; // --jobs, --cases, --explore, --seed
    bool reports = false;   // --csv, --json
    bool exploring = false; // --seed, --runs, --time
    bool grading = false;   // the grade command's own
    bool merging = false;   // --out, --force
};

CommandShape shape_of(const std::string &command)
{
    CommandShape shape;
    if (command == "suite") {
        shape.class_run = shape.reports = true;
    } else if (command == "explore") {
        shape.exploring = true;
    } else if (command == "grade") {
        shape.class_run = shape.grading = true;
    } else if (command == "merge") {
        shape = {false, false, false, false, false, false, true};
    } else if (command == "init") {
        shape = {false, false, false, false, false, false, false};
    }
    return shape;
}

void declare(Reader &reader, const CommandShape &shape)
{
    if (shape.exercise)
        reader.value("-e,--exercise", "exercise");
    if (shape.limits) {
        reader.value("-t,--timeout", "timeout");
        reader.value("-r,--reference", "reference");
        for (const char *name : {"cpu", "memory", "file-size", "processes", "output"})
            reader.value(std::string("--") + name, name);
        reader.flag("--no-sandbox", "no-sandbox");
    }
    if (shape.class_run) {
        reader.value("-j,--jobs", "jobs");
        reader.value("--cases", "cases");
        reader.value("--explore", "explore");
        reader.value("--seed", "seed");
        reader.flag("-q,--quiet", "quiet");
    }
    if (shape.reports) {
        reader.value("--csv", "csv");
        reader.value("--json", "json");
    }
    if (shape.exploring) {
        reader.value("--seed", "seed");
        reader.value("--runs", "runs");
        reader.value("--time", "time");
    }
    if (shape.grading || shape.merging) {
        reader.value("-o,--out", "out");
        reader.flag("--force", "force");
    }
    if (shape.grading) {
        for (const char *name :
             {"compiler", "flags", "give-up-after", "config", "points", "memcheck-penalty",
              "worksheet", "compare", "shard", "build-cpu", "similar-to", "only"})
            reader.value(std::string("--") + name, name);
        reader.flag("--no-cache", "no-cache");
        reader.flag("--memcheck", "memcheck");
    }
}

// The settings of a grading that the command line gives, applied to `settings` by the rules the
// class file follows too, and kept to be applied again over a class file.
void read_grading_settings(Reader &reader, Settings &settings)
{
    // The clock's seed stands until a class file or --seed names one.
    settings.seed = clock_seed();
    for (const char *name :
         {"timeout", "cpu", "memory", "file-size", "processes", "output", "no-sandbox", "jobs",
          "cases", "explore", "seed", "compiler", "flags", "memcheck", "give-up-after", "points",
          "memcheck-penalty", "build-cpu", "shard"}) {
        const std::string option = name;
        if (!reader.given(option) || (option == "shard" && asks_scheduler(reader.text(option))))
            continue;
        const std::string text = reader.is_flag(option) ? std::string() : reader.text(option);
        std::string wanted;
        if (!set_option(settings, option, text, wanted)) {
            if (option == "timeout")
                invalid("time-out", text, "give " + wanted);
            if (option == "shard")
                invalid("shard", text, "give " + wanted);
            throw Failure{"invalid value '" + printable(text) + "' of --" + option + ": give "
                          + wanted};
        }
        settings.setting_options.emplace_back(option, text);
    }
}

int string_count(const std::string &text, int lowest)
{
    return static_cast<int>(whole(text, lowest, 100000000, "number of strings",
                                  "give a whole number of at least " + std::to_string(lowest)));
}

void read_settings(Reader &reader, const CommandShape &shape, Invocation &invocation)
{
    Settings &settings = invocation.settings;
    settings.given = reader.given_keys();
    // A class file may name the exercise of a grading instead: the one given, the one of the
    // folder graded from (see apply_class_file), or the results of the class regraded.
    const bool exercise_from_file = shape.grading
                                    && (reader.given("config") || reader.given("only")
                                        || QFileInfo(QStringLiteral("orvimet.toml")).isFile());
    if (shape.exercise && !(exercise_from_file && !reader.given("exercise"))) {
        if (!reader.given("exercise"))
            throw Failure{"no exercise given: use --exercise stack, queue or stackqueue"};
        const std::optional<Exercise> exercise = exercise_named(reader.text("exercise"));
        if (!exercise)
            throw Failure{"unknown exercise '" + printable(reader.text("exercise"))
                          + "': use stack, queue or stackqueue"};
        settings.grading.exercise = *exercise;
    }
    read_grading_settings(reader, settings);
    if (shape.limits && reader.given("reference"))
        invocation.reference_folder = reader.text("reference");
    if (shape.class_run)
        settings.quiet = reader.is_set("quiet");
    if (shape.reports) {
        settings.csv = reader.text("csv");
        settings.json = reader.text("json");
    }
    if (shape.exploring) {
        if (reader.given("runs"))
            settings.budget.strings = string_count(reader.text("runs"), 1);
        if (reader.given("time"))
            settings.budget.time = seconds(reader.text("time"), "time");
    }
    Settings::Grade &grade = settings.grade;
    if (shape.grading || shape.merging) {
        grade.out = reader.text("out");
        grade.force = reader.is_set("force");
    }
    if (!shape.grading)
        return;
    grade.use_cache = !reader.is_set("no-cache");
    grade.config = reader.text("config");
    grade.worksheet = reader.text("worksheet");
    grade.compare = reader.text("compare");
    grade.only = reader.text("only");
    grade.similar_to = reader.text("similar-to");
    if (reader.given("shard") && asks_scheduler(reader.text("shard")))
        grade.scheduler_shard = reader.text("shard");
}

// Whether the next word is this option's value: `word` names an option of `app` that takes one,
// without "=VALUE" or a compacted "-eVALUE".
bool takes_value(CLI::App &app, const std::string &word)
{
    if (word.size() < 2 || word[0] != '-' || word.find('=') != std::string::npos
        || (word[1] != '-' && word.size() > 2))
        return false;
    const CLI::Option *option = app.get_option_no_throw(word);
    return option && option->get_items_expected_max() > 0;
}

bool is_help(const std::string &word)
{
    return word == "-h" || word == "--help";
}

bool is_version(const std::string &word)
{
    return word == "-v" || word == "--version";
}

// The message of CLI11's complaint in the grader's own words.
[[noreturn]] void complain(const CLI::ParseError &error)
{
    std::string what = error.what();
    if (dynamic_cast<const CLI::ArgumentMismatch *>(&error)) {
        const std::size_t colon = what.find(':');
        throw Failure{"missing value of " + what.substr(0, colon)};
    }
    throw Failure{what};
}

} // namespace

const std::vector<std::string> &command_names()
{
    static const std::vector<std::string> names{"judge", "suite", "explore",
                                                "grade", "merge", "init"};
    return names;
}

std::string help_text(const std::string &command)
{
    if (command.empty())
        return std::string(general_help) + common_options + suite_options + explore_options
               + limits_help + sandbox_help + exit_help
               + "\nEach command's own help: orvimet-cli help COMMAND.\n";
    const CommandShape shape = shape_of(command);
    if (!shape.limits)
        return usage_line(command);
    std::string text = usage_line(command) + common_options;
    if (shape.reports)
        text += suite_options;
    if (shape.exploring)
        text += std::string(shape.reports ? "" : seed_option) + explore_options;
    if (shape.grading)
        text += grade_options;
    return text + limits_help + sandbox_help + exit_help;
}

Invocation parse_command_line(const std::vector<std::string> &arguments)
{
    Invocation invocation;
    const std::string first = arguments.empty() ? std::string() : arguments.front();
    if (is_help(first) || first == "help") {
        invocation.action = Invocation::Action::Help;
        if (first == "help" && arguments.size() > 1) {
            invocation.command = arguments[1];
            const auto &names = command_names();
            if (std::find(names.begin(), names.end(), invocation.command) == names.end())
                throw Failure{"unknown command '" + printable(invocation.command)
                              + "': use judge, suite, explore, grade, merge or init"};
        }
        return invocation;
    }
    if (is_version(first)) {
        invocation.action = Invocation::Action::Version;
        return invocation;
    }
    if (first.empty())
        throw Failure{"no command given: use judge, suite, explore, grade, merge or init"};
    const auto &names = command_names();
    if (std::find(names.begin(), names.end(), first) == names.end())
        throw Failure{"unknown command '" + printable(first)
                      + "': use judge, suite, explore, grade, merge or init"};
    invocation.command = first;
    const bool judge = first == "judge";

    CLI::App app;
    app.set_help_flag();
    app.allow_extras();
    const CommandShape shape = shape_of(first);
    Reader reader(app);
    declare(reader, shape);
    if (first == "init")
        reader.value("--slurm", "slurm");

    // Everything after "--" is a positional argument; for judge, everything after the program
    // belongs to the program, dashes and all.
    std::vector<std::string> words(arguments.begin() + 1, arguments.end());
    std::vector<std::string> tail;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string &word = words[i];
        if (word == "--") {
            tail.assign(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end());
            words.resize(i);
            break;
        }
        // Help and version stand anywhere before a judged program's options.
        if (is_help(word) || is_version(word)) {
            invocation.action
                = is_help(word) ? Invocation::Action::Help : Invocation::Action::Version;
            return invocation;
        }
        if (judge && (word.empty() || word[0] != '-' || word.size() == 1)) {
            tail.assign(words.begin() + static_cast<std::ptrdiff_t>(i), words.end());
            words.resize(i);
            break;
        }
        if (takes_value(app, word))
            ++i;
    }

    std::vector<std::string> positional;
    if (!judge)
        app.add_option("arguments", positional);
    try {
        std::vector<std::string> reversed(words.rbegin(), words.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError &error) {
        complain(error);
    }
    for (const std::string &extra : app.remaining()) {
        if (extra.size() > 1 && extra[0] == '-')
            throw Failure{"unknown option '" + printable(extra) + "'"};
        positional.push_back(extra);
    }
    positional.insert(positional.end(), tail.begin(), tail.end());
    read_settings(reader, shape, invocation);
    invocation.settings.positional = std::move(positional);

    Settings &settings = invocation.settings;
    const std::size_t count = settings.positional.size();
    if (first == "judge" || first == "suite" || first == "explore") {
        if (count == 0)
            throw Failure{"no program given"};
        if (first == "explore" && count > 1)
            throw Failure{"explore takes one program, not " + std::to_string(count)};
    } else if (first == "grade") {
        // --only takes the submissions from the class's results unless they are given.
        if (count != 1 && !(count == 0 && !settings.grade.only.empty()))
            throw Failure{count == 0 ? std::string("no submissions given: name the folder or "
                                                   "archive of the class")
                                     : "grade takes one folder or archive of submissions, not "
                                           + std::to_string(count)};
    } else if (first == "merge") {
        if (count == 0)
            throw Failure{"no results given: name the results folders to merge"};
        if (settings.grade.out.empty())
            throw Failure{"no folder to merge into: give --out MERGED"};
        settings.merge_inputs = settings.positional;
    } else if (first == "init") {
        if (count > 1)
            throw Failure{"init writes one file, not " + std::to_string(count)};
        if (reader.given("slurm"))
            settings.slurm_shards = static_cast<int>(whole(
                reader.text("slurm"), 1, 100000, "number of parts", "give a whole number above 0"));
    }
    return invocation;
}
