// orvimet-cli grade: a class from what its students handed in, to a results folder.
#include "cli/commands.h"
#include "cli/progress.h"
#include "cli/scheduler.h"
#include "cli/similarity.h"

#include "explore/cases.h"
#include "gradebook/classfile.h"
#include "gradebook/gradebook.h"
#include "gradebook/merge.h"
#include "grading/classwork.h"
#include "grading/reports.h"
#include "judge/exercise.h"
#include "judge/outputfiles.h"
#include "judge/suitecases.h"
#include "judge/utf8.h"
#include "sandbox/fileio.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A line of the grade sheets' for the terminal: the names in it (students', folders', an earlier
// grading's) are the students' words, and reach the terminal as the table shows them, never as
// escape sequences.
void print_line(const std::string &line)
{
    std::cout << printable(line) << '\n';
}

ScoringRule scoring_rule(const Settings &settings)
{
    return {settings.points, settings.memcheck_penalty, settings.grade.groups};
}

// The cases of a grading. "extended" runs the ten first, numbered 1-10 as the handout has them,
// then the extended list: the grade weighs them as it weighs the ten alone (extended_groups).
std::vector<std::string> grade_cases(const Settings &settings)
{
    if (settings.cases != "extended")
        return case_list(settings);
    std::vector<std::string> cases(suite_options.begin(), suite_options.end());
    for (const std::string &options : case_list(settings))
        cases.push_back(options);
    return cases;
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
    for (const StudentRecord &s : outcome.students) {
        const int total = s.correct + s.wrong + s.timeouts + s.crashes + s.not_run + s.not_graded;
        char row[96];
        std::snprintf(row, sizeof row, "%-17s %6s  %9d  ", word(s.status).c_str(),
                      s.status == Status::Graded
                          ? (std::to_string(s.correct) + "/" + std::to_string(total)).c_str()
                          : "-",
                      s.timeouts);
        std::cout << row << printable(s.name);
        if (!s.id.empty())
            std::cout << " (" << printable(s.id) << ")";
        if (!s.message.empty() && s.status != Status::Graded)
            std::cout << ": " << printable(s.message.substr(0, s.message.find('\n')));
        if (s.memcheck_findings > 0)
            std::cout << "; memory: " << printable(s.memcheck_first);
        if (!s.memcheck_evasion.empty())
            std::cout << "; switches the sanitizers off: " << printable(s.memcheck_evasion);
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
    if (settings.shards < 1 || settings.shard < 1 || settings.shard > settings.shards)
        throw Failure{"invalid shard: give K/N with 1 <= K <= N"};
    if (!is_readable_file(settings.grading.reference_path))
        throw Failure{"no reference program: " + printable(settings.grading.reference_path)};
    // What the grade sheets need is checked before the class is graded, not after.
    for (const std::string &path : {grade.worksheet, grade.compare, grade.similar_to}) {
        if (!path.empty() && ::access(path.c_str(), R_OK) != 0)
            throw Failure{"cannot read " + printable(path) + ": " + std::strerror(errno)};
    }
    {
        std::string error;
        if (!check_rule(scoring_rule(settings), 0, error))
            throw Failure{"invalid scoring: " + printable(error)};
    }

    ClassSettings work;
    static_cast<GradingSettings &>(work) = settings;
    work.exercise = exercise_name(settings.grading.exercise);
    work.program_name = work.exercise;
    work.grading = settings.grading;
    work.version = ORVIMET_VERSION;
    work.build.use_cache = grade.use_cache;
    work.submissions = absolute_path(settings.positional.front());
    if (::access(work.submissions.c_str(), R_OK) != 0)
        throw Failure{"cannot read the submissions " + printable(settings.positional.front()) + ": "
                      + std::strerror(errno)};

    if (!grade.only.empty())
        return regrade_command(settings, work);
    work.options = grade_cases(settings);
    // results.json names a case file by its whole path, so that a regrade finds it again.
    if (work.cases.rfind("file:", 0) == 0)
        work.cases = "file:" + absolute_path(work.cases.substr(5));
    work.results = results_folder(settings);
    const QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvimet-grade-XXXXXX"));
    if (!scratch.isValid())
        throw Failure{"cannot create a scratch folder: " + to_utf8(scratch.errorString())};
    work.scratch = to_utf8(scratch.path()) + "/";

    StatusLine status(settings.quiet);
    const auto started = std::chrono::steady_clock::now();
    const ClassOutcome outcome
        = grade_submissions(work, [&](const ClassProgress &p) { status.show(p); }, {});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    status.clear();
    if (!outcome.error.empty() && outcome.students.empty())
        throw Failure{printable(outcome.error)};

    if (work.explore > 0) {
        std::ofstream found(work.results + "/cases-found.txt", std::ios::binary);
        found << "# option strings on which some student's answer differed, shrunk; seed "
              << settings.seed << "\n";
        for (const std::string &options : outcome.found)
            found << options << '\n';
    }
    print_table(outcome);
    // The whole class's sources side by side: a shard sees only its part. Compared before the
    // sheets are written, for the report opens with the flagged pairs.
    ClassSimilarityOutcome similarity;
    bool compared = false;
    if (outcome.complete && outcome.error.empty() && !interrupted() && settings.shards == 1) {
        std::string error, summary;
        compared = write_class_similarity(work.results, outcome.submissions,
                                          {grade.similarity_template, grade.similar_to, {}},
                                          grade.language, summary, error, &similarity);
        if (!compared)
            say("cannot compare the students' sources: " + printable(error));
        else
            std::cout << summary << '\n';
    }
    bool sheets_written = false, worksheet_skipped = false;
    if (outcome.complete && outcome.error.empty() && !interrupted()) {
        GradebookOptions options;
        options.scoring = scoring_rule(settings);
        if (options.scoring->groups.empty() && work.cases == "extended")
            options.scoring->groups = extended_groups(outcome.case_count);
        options.worksheet = grade.worksheet;
        options.language = grade.language;
        options.compare_with = grade.compare;
        options.say = print_line;
        if (compared) {
            options.similarity = &similarity.result;
            options.similarity_folders = similarity.folders;
        }
        std::string error;
        const int written = write_outputs(work.results, options, error);
        if (written == 3)
            say("the grading worksheet was not filled: " + printable(error));
        else if (written != 0)
            say("cannot write the grade sheets and pages: " + printable(error));
        sheets_written = written == 0 || written == 3;
        worksheet_skipped = written == 3;
    }
    int wrong = 0, not_graded = 0, other = 0;
    for (const StudentRecord &s : outcome.students) {
        wrong += s.wrong + s.timeouts + s.crashes;
        not_graded += s.status == Status::NotGraded || s.not_graded > 0;
        other += s.status != Status::Graded;
    }
    std::cout << outcome.students.size() << " students, " << outcome.case_count << " cases";
    if (!outcome.found.empty())
        std::cout << " (" << outcome.found.size() << " found by exploring)";
    std::cout << '\n';
    if (work.memcheck) {
        // The jobs' time: what the memory check shared the machine's cores with.
        const double jobs_time = took.count() * std::max(1, work.jobs);
        char line[160];
        std::snprintf(line, sizeof line,
                      "memory check: %.1f s of the %d jobs' %.1f s (%.0f%%): the sanitizers' "
                      "builds, runs and shrinking\n",
                      outcome.memcheck_seconds, std::max(1, work.jobs), jobs_time,
                      jobs_time > 0 ? 100 * outcome.memcheck_seconds / jobs_time : 0.0);
        std::cout << line;
    }
    std::cout << "results: " << printable(work.results) << "/results.json\n";
    if (sheets_written)
        std::cout << "for the teacher: grades.csv, report.html, feedback.zip"
                  << (QFileInfo::exists(from_utf8(work.results + "/grading-worksheet.csv"))
                          ? ", grading-worksheet.csv"
                          : "")
                  << " beside it\n";
    std::cout << "seed: " << settings.seed << '\n' << std::flush;
    if (!outcome.error.empty())
        say(printable(outcome.error));
    if (const int signal = interrupted()) {
        say("interrupted: results.json is marked incomplete");
        throw Interrupted{signal};
    }
    if (!outcome.error.empty() || not_graded > 0 || (outcome.complete && !sheets_written)
        || worksheet_skipped)
        return not_judged;
    return wrong == 0 && other == 0 ? all_correct : some_wrong;
}

void apply_class_file(Settings &settings)
{
    Settings::Grade &grade = settings.grade;
    // The class file of the folder graded from, as `init` writes it there, is the class's.
    if (grade.config.empty() && QFileInfo(QStringLiteral("orvimet.toml")).isFile())
        grade.config = "orvimet.toml";
    if (grade.config.empty())
        return;
    ClassFile file;
    std::string error;
    if (!read_class_file(grade.config, file, error))
        throw Failure{printable(error)};
    if (!settings.given.count("exercise")) {
        if (!file.exercise)
            throw Failure{"no exercise given: use --exercise, or name it in "
                          + printable(grade.config)};
        settings.grading.exercise = *file.exercise;
    }
    if (!settings.given.count("worksheet"))
        grade.worksheet = file.worksheet;
    grade.language = file.language;
    grade.groups = file.groups;
    grade.similarity_template = file.similarity_template;
    // The file's settings, under the options given here, by the same rules.
    GradingSettings &grading = settings;
    grading = file;
    apply_setting_options(settings);
}

void apply_setting_options(Settings &settings)
{
    for (const auto &[option, text] : settings.setting_options) {
        std::string wanted;
        if (!set_option(settings, option, text, wanted)) // taken once already: never refused now
            throw Failure{"invalid value '" + printable(text) + "' of --" + option};
    }
}

int merge_command(const Settings &settings)
{
    const std::string out = absolute_path(settings.grade.out);
    struct stat status
    {
    };
    if (::lstat(out.c_str(), &status) == 0 && !settings.grade.force)
        throw Failure{printable(settings.grade.out)
                      + " already exists: give another folder with --out, or replace it with "
                        "--force"};
    std::vector<std::string> parts;
    for (const std::string &folder : settings.merge_inputs)
        parts.push_back(absolute_path(folder));
    std::string error;
    if (!merge_results(parts, out, error))
        throw Failure{printable(error)};
    // Each part saw only its own students' sources: the class is compared whole here, as one run
    // compares it, from the submissions the parts were graded from, where they can still be read.
    ClassSimilarityOutcome similarity;
    bool compared = false;
    ClassResults merged;
    if (read_results(out + "/results.json", merged, error)) {
        std::string summary;
        compared = compare_submissions(
            out, merged.submissions, merged.exercise,
            {settings.grade.similarity_template, settings.grade.similar_to, {}},
            settings.grade.language, summary, error, similarity);
        if (!compared)
            say("cannot compare the students' sources: " + printable(error));
        else
            std::cout << summary << '\n';
    }
    GradebookOptions options;
    options.say = print_line;
    if (compared) {
        options.similarity = &similarity.result;
        options.similarity_folders = similarity.folders;
    }
    if (write_outputs(out, options, error) != 0)
        throw Failure{"cannot write the grade sheets and pages: " + printable(error)};
    std::cout << parts.size() << " parts merged\nresults: " << printable(out)
              << "/results.json, grades.csv, report.html, feedback.zip\n";
    return all_correct;
}

int init_command(const Settings &settings)
{
    const bool slurm = settings.slurm_shards > 0;
    const std::string what = slurm ? "the job script " : "the class file ";
    const std::string path = !settings.positional.empty() ? settings.positional.front()
                             : slurm                      ? std::string("grade.sbatch")
                                                          : std::string("orvimet.toml");
    // Never over an existing file, nor through a link planted under the name.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          slurm ? 0755 : 0644);
    if (fd < 0)
        throw Failure{
            "cannot write " + what + printable(path) + ": "
            + (errno == EEXIST ? std::string("it exists already") : std::strerror(errno))};
    const std::string text = slurm ? slurm_job_script(settings.slurm_shards) : example_class_file();
    const bool written = write_all(fd, text.data(), text.size());
    ::close(fd);
    if (!written) {
        ::unlink(path.c_str());
        throw Failure{"cannot write " + what + printable(path) + ": " + std::strerror(errno)};
    }
    if (slurm) {
        std::cout << "wrote " << printable(path) << ": grade a class in " << settings.slurm_shards
                  << " parts on Slurm with\n"
                  << "  " << (path.find('/') == std::string::npos ? "./" : "") << printable(path)
                  << " SUBMISSIONS RESULTS [GRADE OPTIONS...]\n";
        return all_correct;
    }
    std::cout << "wrote " << printable(path) << ": edit it, then grade with\n"
              << "  orvimet-cli grade --config " << printable(path) << " SUBMISSIONS\n";
    return all_correct;
}
