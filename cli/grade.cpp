// orvimet-cli grade: a class from what its students handed in, to a results folder.
#include "cli/commands.h"

#include "explore/cases.h"
#include "grading/classwork.h"
#include "grading/reports.h"
#include "judge/exercise.h"
#include "judge/outputfiles.h"
#include "judge/suitecases.h"
#include "judge/utf8.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string minutes_and_seconds(double seconds)
{
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// One status line on standard error, redrawn in place; only on a terminal, and not with --quiet.
class StatusLine
{
public:
    explicit StatusLine(bool quiet)
        : shown(!quiet && ::isatty(STDERR_FILENO) == 1)
    {}

    void show(const ClassProgress &progress)
    {
        if (!shown)
            return;
        const Clock::time_point now = Clock::now();
        if (progress.phase != phase) {
            phase = progress.phase;
            phase_start = now;
        } else if (now - last < std::chrono::milliseconds(100) && progress.done != progress.total) {
            return;
        }
        last = now;
        const double elapsed = std::chrono::duration<double>(now - start).count();
        const double in_phase = std::chrono::duration<double>(now - phase_start).count();
        std::string line = progress.phase;
        if (progress.total > 0) {
            line += " " + std::to_string(progress.done) + "/" + std::to_string(progress.total);
            if (progress.done > 0 && progress.done < progress.total) {
                const double rest = in_phase / progress.done * (progress.total - progress.done);
                line += ", about " + minutes_and_seconds(rest) + " left";
            }
        }
        line += ", " + minutes_and_seconds(elapsed) + " so far";
        if (!progress.student.empty())
            line += ": " + printable(progress.student);
        // Kept to one line of a narrow terminal: cut by characters, not bytes.
        const QString text = from_utf8(line);
        std::fprintf(stderr, "\r\033[K%s", to_utf8(text.left(100)).c_str());
        std::fflush(stderr);
    }

    void clear()
    {
        if (shown)
            std::fputs("\r\033[K", stderr);
    }

private:
    bool shown;
    std::string phase;
    Clock::time_point start = Clock::now();
    Clock::time_point phase_start = start;
    Clock::time_point last;
};

std::vector<std::string> grade_cases(const Settings &settings, std::string &source)
{
    if (settings.cases.empty()) {
        source = "ten";
        return {suite_options.begin(), suite_options.end()};
    }
    if (settings.cases == "extended") {
        source = "extended";
        return extended_cases(exercise_number(settings.grading.exercise));
    }
    const CaseList list = read_case_file(settings.cases);
    if (!list.error.empty())
        throw Failure{"cannot read the case file " + printable(settings.cases) + ": " + list.error};
    source = "file:" + absolute_path(settings.cases);
    return list.options;
}

// The results folder: a new one, or, with --force, one that an earlier grading made (or an empty
// one), emptied. A folder that holds anything else is never emptied, --force or not.
std::string results_folder(const Settings &settings)
{
    std::string out = settings.grade.out;
    if (out.empty())
        out = "orvimet-" + exercise_name(settings.grading.exercise) + "-"
              + to_utf8(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const std::string path = absolute_path(out);
    struct stat status
    {
    };
    if (::lstat(path.c_str(), &status) == 0) {
        if (!settings.grade.force)
            throw Failure{printable(out)
                          + " already exists: give another folder with --out, or "
                            "replace it with --force"};
        QDir dir(from_utf8(path));
        const bool empty
            = dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        if (!S_ISDIR(status.st_mode)
            || (!empty && !QFileInfo(dir.filePath(QStringLiteral("results.json"))).isFile()))
            throw Failure{printable(out)
                          + " is not a results folder of orvimet-cli: it is not replaced"};
        if (!dir.removeRecursively())
            throw Failure{"cannot empty " + printable(out)};
    }
    if (::mkdir(path.c_str(), 0755) != 0)
        throw Failure{"cannot make the results folder " + printable(out) + ": "
                      + std::strerror(errno)};
    return path;
}

void print_table(const ClassOutcome &outcome)
{
    std::cout << "status             score  time-outs  student\n";
    for (const StudentOutcome &s : outcome.students) {
        const int total = s.correct + s.wrong + s.timeouts + s.crashes + s.not_run + s.not_graded;
        char row[96];
        std::snprintf(row, sizeof row, "%-17s %6s  %9d  ", s.status.c_str(),
                      s.status == "graded"
                          ? (std::to_string(s.correct) + "/" + std::to_string(total)).c_str()
                          : "-",
                      s.timeouts);
        std::cout << row << printable(s.submission.full_name);
        if (!s.submission.id.empty())
            std::cout << " (" << printable(s.submission.id) << ")";
        if (!s.message.empty() && s.status != "graded")
            std::cout << ": " << printable(s.message.substr(0, s.message.find('\n')));
        if (s.memcheck_findings > 0)
            std::cout << "; memory: " << printable(s.memcheck_first);
        if (!s.evasion.empty())
            std::cout << "; switches the sanitizers off: " << printable(s.evasion);
        if (!s.copies.empty())
            std::cout << "; same sources as " << s.copies.size()
                      << (s.copies.size() == 1 ? " other" : " others");
        std::cout << '\n';
    }
}

} // namespace

int grade_command(const Settings &settings)
{
    if (settings.positional.size() != 1)
        throw Failure{settings.positional.empty()
                          ? "no submissions given: give the folder or archive of the class"
                          : "grade takes one folder or archive of submissions"};
    const Settings::Grade &grade = settings.grade;
    if (grade.shards < 1 || grade.shard < 1 || grade.shard > grade.shards)
        throw Failure{"invalid shard: give K/N with 1 <= K <= N"};
    if (!is_readable_file(settings.grading.reference_path))
        throw Failure{"no reference program: " + printable(settings.grading.reference_path)};

    ClassSettings work;
    work.exercise = exercise_name(settings.grading.exercise);
    work.program_name = work.exercise;
    work.grading = settings.grading;
    work.jobs = settings.jobs;
    work.give_up_after = grade.give_up_after;
    work.memcheck = grade.memcheck;
    work.options = grade_cases(settings, work.cases_source);
    work.explore = settings.explore;
    work.seed = settings.seed;
    work.shard = grade.shard;
    work.shards = grade.shards;
    work.points = grade.points;
    work.memcheck_penalty = grade.memcheck_penalty;
    work.version = ORVIMET_VERSION;
    work.build.compiler = grade.compiler;
    work.build.flags = grade.flags;
    work.build.use_cache = grade.use_cache;
    work.build.sandbox = settings.grading.sandbox;
    work.build.limits.cpu_seconds = grade.build_cpu;
    work.build.wall = std::chrono::seconds(std::max(10, 2 * grade.build_cpu));
    work.submissions = absolute_path(settings.positional.front());
    if (::access(work.submissions.c_str(), R_OK) != 0)
        throw Failure{"cannot read the submissions " + printable(settings.positional.front()) + ": "
                      + std::strerror(errno)};

    work.results = results_folder(settings);
    const QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvimet-grade-XXXXXX"));
    if (!scratch.isValid())
        throw Failure{"cannot create a scratch folder: " + to_utf8(scratch.errorString())};
    work.scratch = to_utf8(scratch.path()) + "/";

    StatusLine status(settings.quiet);
    const ClassOutcome outcome
        = grade_submissions(work, [&](const ClassProgress &p) { status.show(p); }, {});
    status.clear();
    if (!outcome.error.empty() && outcome.students.empty())
        throw Failure{printable(outcome.error)};

    if (settings.explore > 0) {
        std::ofstream found(work.results + "/cases-found.txt", std::ios::binary);
        found << "# option strings on which some student's answer differed, shrunk; seed "
              << settings.seed << "\n";
        for (const std::string &options : outcome.found)
            found << options << '\n';
    }
    if (outcome.complete && outcome.error.empty()) {
        // The grade sheets, feedback pages and class report are made from results.json here,
        // once they exist: write_outputs(work.results) of gradebook/.
    }

    print_table(outcome);
    int wrong = 0, not_graded = 0, other = 0;
    for (const StudentOutcome &s : outcome.students) {
        wrong += s.wrong + s.timeouts + s.crashes;
        not_graded += s.status == "not graded" || s.not_graded > 0;
        other += s.status != "graded";
    }
    std::cout << outcome.students.size() << " students, " << outcome.case_count << " cases";
    if (!outcome.found.empty())
        std::cout << " (" << outcome.found.size() << " found by exploring)";
    std::cout << "\nresults: " << printable(work.results) << "/results.json\n"
              << "seed: " << settings.seed << '\n'
              << std::flush;
    if (!outcome.error.empty())
        say(printable(outcome.error));
    if (const int signal = interrupted()) {
        say("interrupted: results.json is marked incomplete");
        throw Interrupted{signal};
    }
    if (!outcome.error.empty() || not_graded > 0)
        return not_judged;
    return wrong == 0 && other == 0 ? all_correct : some_wrong;
}

int merge_command(const Settings &)
{
    throw Failure{"merge is not available in this build"};
}

int init_command(const Settings &)
{
    throw Failure{"init is not available in this build"};
}
