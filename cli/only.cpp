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
#include "sandbox/fileio.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>

namespace {

QJsonObject class_document(const Settings &settings)
{
    if (settings.grade.out.empty())
        throw Failure{"--only regrades a student of a graded class: give its results folder "
                      "with --out RESULTS"};
    ClassResults results;
    std::string error;
    if (!read_results(absolute_path(settings.grade.out) + "/results.json", results, error))
        throw Failure{"cannot read the class's results: " + printable(error)};
    return results.document;
}

std::string text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString().toStdString();
}

// The class's cases: those its graded students were judged on, generated and found ones
// included, in their order.
std::vector<std::string> class_cases(const QJsonObject &document)
{
    for (const QJsonValue &student : document.value(QStringLiteral("students")).toArray()) {
        const QJsonArray cases = student.toObject().value(QStringLiteral("cases")).toArray();
        if (cases.isEmpty())
            continue;
        std::vector<std::string> options;
        for (const QJsonValue &c : cases)
            options.push_back(text(c.toObject(), "options"));
        return options;
    }
    return {};
}

// results.json's "totals", counted again after a student's status changed.
QJsonObject totals(const QJsonArray &students, QJsonObject counts)
{
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it.key() != QLatin1String("students"))
            it.value() = 0;
    counts.insert(QStringLiteral("students"), students.size());
    for (const QJsonValue &student : students) {
        const std::optional<Status> status
            = status_named(to_utf8(student.toObject().value(QStringLiteral("status")).toString()));
        if (!status)
            continue;
        const QString key = from_utf8(totals_key(*status));
        counts.insert(key, counts.value(key).toInt() + 1);
    }
    return counts;
}

// The regraded student's program takes the place of the one the class's grading kept, under the
// name the class gave it (names depend on the whole class); one that no longer builds leaves none.
void keep_program(const std::string &regraded, const std::string &out, const QJsonObject &old,
                  QJsonObject &record)
{
    const std::string before = to_utf8(old.value(QStringLiteral("program")).toString());
    const std::string now = to_utf8(record.value(QStringLiteral("program")).toString());
    std::string folder = program_folder(before);
    if (folder.empty())
        folder = program_folder(now);
    record.remove(QStringLiteral("program"));
    if (folder.empty())
        return;
    QDir(from_utf8(out + "/" + folder)).removeRecursively();
    if (program_folder(now).empty())
        return;
    const std::string kept = folder + now.substr(now.rfind('/'));
    if (!make_folder(out + "/programs") || !make_folder(out + "/" + folder)
        || copy_file_bounded(regraded + "/" + now, out + "/" + kept, std::uint64_t(1) << 30, 0755)
               != CopyResult::Copied)
        return;
    record.insert(QStringLiteral("program"), from_utf8(kept));
}
} // namespace

void apply_results_file(Settings &settings)
{
    if (settings.grade.only.empty())
        return;
    const QJsonObject document = class_document(settings);
    const auto given = [&](const char *option) { return settings.given.count(option) != 0; };
    if (!given("exercise")) {
        const std::optional<Exercise> exercise = exercise_named(text(document, "exercise"));
        if (!exercise)
            throw Failure{"the class's results name no exercise"};
        settings.grading.exercise = *exercise;
    }
    if (settings.positional.empty())
        settings.positional = {text(document, "submissions")};
    const QJsonObject cases = document.value(QStringLiteral("cases")).toObject();
    settings.seed
        = static_cast<std::uint64_t>(cases.value(QStringLiteral("seed")).toVariant().toLongLong());
    const QJsonObject limits = document.value(QStringLiteral("limits")).toObject();
    Limits &l = settings.grading.limits;
    const auto number = [&](const char *key, auto &target, const char *option) {
        const QJsonValue value = limits.value(QLatin1String(key));
        if (!given(option) && value.isDouble())
            target = static_cast<std::decay_t<decltype(target)>>(value.toDouble());
    };
    if (!given("timeout") && limits.value(QStringLiteral("wall_seconds")).isDouble())
        l.wall = std::chrono::milliseconds(
            std::llround(limits.value(QStringLiteral("wall_seconds")).toDouble() * 1000));
    number("cpu_seconds", l.cpu_seconds, "cpu");
    number("memory_bytes", l.memory_bytes, "memory");
    number("file_bytes", l.file_bytes, "file-size");
    number("processes", l.processes, "processes");
    number("output_bytes", l.output_bytes, "output");
    const QJsonObject build = document.value(QStringLiteral("build")).toObject();
    Settings::Grade &grade = settings.grade;
    if (!given("compiler") && build.contains(QStringLiteral("compiler")))
        grade.compiler = text(build, "compiler");
    if (!given("flags") && build.contains(QStringLiteral("flags"))) {
        grade.flags.clear();
        for (const QJsonValue &flag : build.value(QStringLiteral("flags")).toArray())
            grade.flags.push_back(flag.toString().toStdString());
    }
    if (!given("memcheck"))
        grade.memcheck = build.value(QStringLiteral("memcheck")).toBool();
    if (!given("give-up-after") && document.contains(QStringLiteral("give_up_after")))
        grade.give_up_after = document.value(QStringLiteral("give_up_after")).toInt();
}

int regrade_command(const Settings &settings, ClassSettings work)
{
    const std::string out = absolute_path(settings.grade.out);
    QJsonObject document = class_document(settings);
    QJsonArray students = document.value(QStringLiteral("students")).toArray();
    const QString only = QString::fromStdString(settings.grade.only);
    const auto place = std::find_if(students.begin(), students.end(), [&](const QJsonValue &s) {
        return s.toObject().value(QStringLiteral("folder")).toString() == only;
    });
    if (place == students.end())
        throw Failure{"no student " + printable(settings.grade.only) + " in "
                      + printable(settings.grade.out) + "/results.json"};
    const qsizetype index = place - students.begin();

    work.only = settings.grade.only;
    const std::vector<std::string> cases = class_cases(document);
    if (!cases.empty()) {
        work.options = cases;
        work.explore = 0; // the generated and found strings are in the class's cases already
        work.cases_source = text(document.value(QStringLiteral("cases")).toObject(), "source");
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
    ClassResults graded;
    std::string error;
    if (outcome.students.size() != 1 || !read_results(work.results + "/results.json", graded, error)
        || graded.document.value(QStringLiteral("students")).toArray().size() != 1)
        throw Failure{"no student " + printable(settings.grade.only) + " in the submissions "
                      + printable(work.submissions)};
    QJsonObject record
        = graded.document.value(QStringLiteral("students")).toArray().first().toObject();

    // Its copies among the others, by the hash of the sources; the others' own lists stay as the
    // class's grading left them.
    const QString hash
        = record.value(QStringLiteral("build")).toObject().value(QStringLiteral("hash")).toString();
    QJsonArray copies;
    for (const QJsonValue &other : std::as_const(students)) {
        const QJsonObject o = other.toObject();
        if (!hash.isEmpty() && o.value(QStringLiteral("folder")).toString() != only
            && o.value(QStringLiteral("build")).toObject().value(QStringLiteral("hash")).toString()
                   == hash)
            copies.append(o.value(QStringLiteral("folder")));
    }
    record.insert(QStringLiteral("copies"), copies);
    keep_program(work.results, out, students[index].toObject(), record);
    students[index] = record;
    document.insert(QStringLiteral("students"), students);
    document.insert(QStringLiteral("totals"),
                    totals(students, document.value(QStringLiteral("totals")).toObject()));
    if (!write_file(out + "/results.json",
                    QJsonDocument(document).toJson(QJsonDocument::Indented).toStdString(), error))
        throw Failure{printable(error)};

    GradebookOptions options; // the rule results.json holds
    options.worksheet = settings.grade.worksheet;
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
