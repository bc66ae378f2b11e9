#include "gradebook/gradebook.h"

#include "gradebook/compare.h"
#include "gradebook/pages.h"
#include "gradebook/sheets.h"
#include "gradebook/similarityreport.h"
#include "judge/utf8.h"
#include "sandbox/fileio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <future>
#include <set>
#include <thread>

namespace {

// A worksheet holds a row per participant; a few MiB would be a very large course.
constexpr qint64 max_worksheet_bytes = qint64(64) << 20;

bool read_worksheet_file(const std::string &path, std::string &bytes, std::string &error)
{
    QFile file(from_utf8(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = to_utf8(file.errorString());
        return false;
    }
    if (file.size() > max_worksheet_bytes) {
        error = "larger than any grading worksheet";
        return false;
    }
    bytes = file.readAll().toStdString();
    return true;
}

// The students' pages go into a folder of their own; anything else standing under that name is
// not written into.
bool feedback_dir(const std::string &path, std::string &error)
{
    const QFileInfo info(from_utf8(path));
    if (info.isSymLink() || (info.exists() && !info.isDir())) {
        error = path + ": in the way of the feedback pages (not a folder); move it aside";
        return false;
    }
    if (!QDir().mkpath(from_utf8(path))) {
        error = path + ": cannot be made";
        return false;
    }
    return true;
}

// A worksheet left from an earlier run would be taken for this one's.
bool remove_stale(const std::string &path, std::string &error)
{
    QFile file(from_utf8(path));
    if (file.exists() && !file.remove()) {
        error = path + ": " + to_utf8(file.errorString());
        return false;
    }
    return true;
}

} // namespace

// A page a student reads is also in feedback.zip and is made again by the next run: like every
// output, written through a new file renamed into place, without waiting for the disk, which for
// a class of pages costs more than making them.
static bool write_page(const std::string &path, const std::string &bytes, std::string &error)
{
    return replace_file(path, bytes.data(), bytes.size(), error);
}

bool write_file(const std::string &path, const char *data, std::size_t size, std::string &error)
{
    return replace_file(path, data, size, error);
}

bool write_file(const std::string &path, const std::string &bytes, std::string &error)
{
    return write_file(path, bytes.data(), bytes.size(), error);
}

int write_outputs(const std::string &results_folder, const GradebookOptions &options,
                  std::string &error)
{
    const std::string results_path = results_folder + "/results.json";
    ClassResults results;
    if (!read_results(results_path, results, error))
        return 2;
    if (!results.complete) {
        error = results_path
                + ": the grading did not finish, so grades would miss students; "
                  "grade the class again";
        return 2;
    }
    const QJsonObject &stored = results.scoring;
    ScoringRule rule = options.scoring    ? *options.scoring
                       : stored.isEmpty() ? ScoringRule{}
                                          : rule_from_json(stored);
    if (!check_rule(rule, results.case_count, error))
        return 2;

    ClassResults old_results;
    if (!options.compare_with.empty()) {
        std::string old_path = options.compare_with;
        if (QFileInfo(from_utf8(old_path)).isDir())
            old_path += "/results.json";
        if (!read_results(old_path, old_results, error))
            return 2;
    }

    Language language;
    if (!language.load(options.language, error))
        return 2;

    // A worksheet that cannot be filled is skipped with its reason; every other output is still
    // written, for the pages and grades.csv do not depend on it.
    std::string worksheet_error;
    std::vector<std::string> notes;
    Worksheet sheet;
    bool fill = false;
    if (!options.worksheet.empty()) {
        std::string bytes;
        std::optional<double> maximum;
        fill = read_worksheet_file(options.worksheet, bytes, worksheet_error)
               && read_worksheet(bytes, results, sheet, worksheet_error, notes)
               && worksheet_maximum(sheet, maximum, worksheet_error);
        // The course website's maximum is the grade's: points out of another maximum would be
        // taken there as they stand. Every output then counts out of the worksheet's maximum, the
        // memcheck penalty keeping its share of it.
        if (fill && maximum && *maximum != rule.points) {
            if (options.say)
                options.say("Worksheet: its maximum grade is " + points_text(*maximum)
                            + "; every grade is out of " + points_text(*maximum) + ", not of "
                            + points_text(rule.points) + " points");
            rule.memcheck_penalty = rule.memcheck_penalty * *maximum / rule.points;
            rule.points = *maximum;
        }
    }

    if (options.similarity)
        add_similar(results.students, *options.similarity, options.similarity_folders);

    Points points;
    points.reserve(results.students.size());
    for (const StudentRecord &s : results.students)
        points.push_back(score(s, rule));

    const std::string filled
        = fill ? fill_worksheet(sheet, results, points, rule, language, notes) : "";
    std::vector<Change> changes;
    if (!options.compare_with.empty()) {
        changes = compare(old_results, results, points);
        if (options.say) {
            options.say(changes.empty() ? "No student's points or status changed since "
                                              + old_results.date + "."
                                        : "Changed since " + old_results.date + ":");
            for (const Change &change : changes)
                options.say("  " + change_line(change));
        }
    }
    if (options.say)
        for (const std::string &note : notes)
            options.say("Worksheet: " + note);

    // Only a class with flagged pairs has the section: a report without is as it always was.
    const bool flagged
        = options.similarity
          && std::any_of(options.similarity->pairs.begin(), options.similarity->pairs.end(),
                         [](const SimilarPair &p) { return p.flagged; });

    const std::string dir = results_folder + "/";
    if (!feedback_dir(dir + "feedback", error))
        return 1;

    // The rule and each student's points go back into results.json, so that the grades can
    // always be traced to the rule that gave them and a later comparison sees them as they were.
    QJsonObject document = results.document;
    put_grades(document, rule_to_json(rule), points,
               options.similarity ? &results.students : nullptr);
    // Its text is made while the details are; it is written last, once every other output has
    // been, so that a failed run leaves the results as they were.
    // Futures, not bare threads: whatever throws, here or there, the others are waited for and
    // the exception reaches the caller.
    // Kept as it comes: a class's results run to tens of megabytes, not to be copied again.
    std::future<QByteArray> document_text = std::async(std::launch::async, [&document] {
        return QJsonDocument(document).toJson(QJsonDocument::Compact);
    });

    // Making the students' details and pages is most of the work: it is shared among the cores.
    std::vector<std::string> details(results.students.size()), pages(results.students.size());
    {
        const std::size_t workers
            = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
        std::vector<std::future<void>> threads;
        for (std::size_t w = 0; w < workers; ++w)
            threads.push_back(std::async(std::launch::async, [&, w] {
                for (std::size_t i = w; i < details.size(); i += workers) {
                    const StudentRecord &s = results.students[i];
                    details[i] = student_details(results, s, points[i], rule, language);
                    pages[i] = feedback_page(results, s, details[i], language);
                }
            }));
        for (std::future<void> &thread : threads)
            thread.get();
    }

    // Packing feedback.zip is the longest of the rest: it runs beside the writing of the pages,
    // the sheets and the report, which only read what it reads.
    std::string zip_error;
    std::future<void> zip_thread = std::async(std::launch::async, [&] {
        std::vector<ZipEntry> zip_entries;
        for (std::size_t i = 0; i < results.students.size(); ++i) {
            const std::string folder = feedback_folder(results.students[i]);
            if (!folder.empty())
                zip_entries.push_back({folder + "/feedback.html", pages[i]});
        }
        std::string zip;
        if (make_zip(zip_entries, zip, zip_error))
            write_file(dir + "feedback.zip", zip, zip_error);
    });

    bool written = true;
    const std::vector<std::string> page_names = file_names(results.students);
    for (std::size_t i = 0; written && i < results.students.size(); ++i)
        written = write_page(dir + "feedback/" + page_names[i] + ".html", pages[i], error);
    written
        = written && write_file(dir + "grades.csv", grades_csv(results, points, rule), error)
          && (!fill && (!options.worksheet.empty() || !results.from_course_website)
                  ? remove_stale(dir + "grading-worksheet.csv", error)
                  : write_file(dir + "grading-worksheet.csv",
                               fill ? filled : english_worksheet(results, points, rule, language),
                               error))
          && write_file(dir + "report.html",
                        class_report(results, points, rule, details, changes, old_results.date,
                                     language,
                                     flagged ? similarity_section(*options.similarity, language)
                                             : std::string()),
                        error);
    zip_thread.get();
    const QByteArray document_bytes = document_text.get();
    if (!zip_error.empty() && written)
        error = zip_error;
    if (!written || !zip_error.empty())
        return 1;
    if (!write_file(results_path, document_bytes.constData(),
                    static_cast<std::size_t>(document_bytes.size()), error))
        return 1;
    if (!worksheet_error.empty()) {
        error = options.worksheet + ": " + worksheet_error;
        return 3;
    }
    return 0;
}
