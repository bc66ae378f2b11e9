// orvimet-cli grade --only FOLDER: one student of a graded class graded again, with the class's
// cases, seed and limits as its results.json records them, and that student's record put in
// place of the old one. Every other record of results.json stays as it was, byte for byte (but
// for its similar sources, which the new sources may change), so that a regrade can be reviewed
// as a one-record change; the grade sheets, pages and report are written again from the file.
#include "cli/commands.h"
#include "cli/similarity.h"

#include "gradebook/gradebook.h"
#include "grading/classwork.h"
#include "grading/reports.h"
#include "judge/exercise.h"
#include "judge/utf8.h"
#include "results/resultsjson.h"

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <iostream>

namespace {

ClassResults class_results(const Settings &settings)
{
    if (settings.grade.out.empty())
        throw Failure{"--only regrades a student of a graded class: give its results folder "
                      "with --out RESULTS"};
    ClassResults results;
    std::string error;
    if (!read_results(absolute_path(settings.grade.out) + "/results.json", results, error))
        throw Failure{"cannot read the class's results: " + printable(error)};
    return results;
}

// The class's cases: those its graded students were judged on, generated and found ones
// included, in their order.
std::vector<std::string> class_cases(const ClassResults &results)
{
    for (const StudentRecord &student : results.students) {
        if (student.cases.empty())
            continue;
        std::vector<std::string> options;
        for (const CaseRecord &c : student.cases)
            options.push_back(c.options);
        return options;
    }
    return {};
}

// The regraded student's program takes the place of the one the class's grading kept, under the
// name the class gave it (names depend on the whole class); one that no longer builds leaves none.
void replace_kept_program(const std::string &regraded, const std::string &out,
                          const std::string &before, StudentRecord &record)
{
    const std::string now = record.program;
    std::string folder = program_folder(before);
    if (folder.empty())
        folder = program_folder(now);
    record.program.clear();
    if (folder.empty())
        return;
    QDir(from_utf8(out + "/" + folder)).removeRecursively();
    if (program_folder(now).empty())
        return;
    const std::string kept = folder + now.substr(now.rfind('/'));
    if (keep_program(regraded + "/" + now, out, kept, std::uint64_t(1) << 30))
        record.program = kept;
}
} // namespace

void apply_results_file(Settings &settings)
{
    if (settings.grade.only.empty())
        return;
    const ClassResults results = class_results(settings);
    if (!settings.given.count("exercise")) {
        const std::optional<Exercise> exercise = exercise_named(results.exercise);
        if (!exercise)
            throw Failure{"the class's results name no exercise"};
        settings.grading.exercise = *exercise;
    }
    if (settings.positional.empty())
        settings.positional = {results.submissions};
    // The class's settings as its results record them, under the options given here.
    GradingSettings &grading = settings;
    grading = results;
    apply_setting_options(settings);
}

int regrade_command(const Settings &settings, ClassSettings work)
{
    const std::string out = absolute_path(settings.grade.out);
    ClassResults results = class_results(settings);
    const auto known = [&](const StudentRecord &s) { return s.folder == settings.grade.only; };
    if (std::none_of(results.students.begin(), results.students.end(), known))
        throw Failure{"no student " + printable(settings.grade.only) + " in "
                      + printable(settings.grade.out) + "/results.json"};

    work.only = settings.grade.only;
    const std::vector<std::string> cases = class_cases(results);
    if (!cases.empty()) {
        work.options = cases;
        work.explore = 0; // the generated and found strings are in the class's cases already
    } else {
        work.options = case_list(settings);
    }
    // The student is graded into a scratch results folder; the class's own changes only once
    // the new record is whole.
    const QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvimet-regrade-XXXXXX"));
    if (!scratch.isValid())
        throw Failure{"cannot create a scratch folder: " + to_utf8(scratch.errorString())};
    work.results = to_utf8(scratch.path()) + "/results";
    work.scratch = to_utf8(scratch.path()) + "/work/";
    if (!QDir().mkpath(from_utf8(work.results)) || !QDir().mkpath(from_utf8(work.scratch)))
        throw Failure{"cannot create a scratch folder in " + to_utf8(scratch.path())};
    const ClassOutcome outcome = grade_submissions(work, {}, {});
    if (const int signal = interrupted())
        throw Interrupted{signal};
    if (!outcome.error.empty())
        throw Failure{printable(outcome.error)};
    if (outcome.students.size() != 1)
        throw Failure{"no student " + printable(settings.grade.only) + " in the submissions "
                      + printable(work.submissions)};
    StudentRecord record = outcome.students.front();

    // Its copies among the others, by the hash of the sources; the others' own lists stay as the
    // class's grading left them.
    record.copies.clear();
    for (const StudentRecord &other : results.students)
        if (!record.build_hash.empty() && other.folder != record.folder
            && other.build_hash == record.build_hash)
            record.copies.push_back(other.folder);
    for (const StudentRecord &old : results.students)
        if (old.folder == record.folder)
            replace_kept_program(work.results, out, old.program, record);
    QByteArray text;
    std::string error;
    if (!replace_student(results, record, text, error)
        || !write_results(out + "/results.json", text, error))
        throw Failure{printable(error)};

    GradebookOptions options; // the rule results.json holds
    options.worksheet = settings.grade.worksheet;
    options.language = settings.grade.language;
    // The student's new sources are compared with the whole class again, as the grading did.
    ClassSimilarityOutcome similarity;
    std::string summary;
    if (compare_submissions(out, work.submissions, work.program_name,
                            {settings.grade.similarity_template, settings.grade.similar_to, {}},
                            settings.grade.language, summary, error, similarity)) {
        options.similarity = &similarity.result;
        options.similarity_folders = similarity.folders;
    } else {
        say("cannot compare the students' sources: " + printable(error));
    }
    if (write_outputs(out, options, error) != 0)
        throw Failure{"cannot write the grade sheets and pages: " + printable(error)};
    const StudentRecord &s = outcome.students.front();
    std::cout << "regraded " << printable(settings.grade.only) << ": " << word(s.status);
    if (s.status == Status::Graded)
        std::cout << ", " << s.correct << " of " << s.cases.size() << " correct";
    std::cout << "\nresults: " << printable(out) << "/results.json\n" << std::flush;
    return s.status != Status::Graded || s.correct != int(s.cases.size()) ? some_wrong
                                                                          : all_correct;
}
