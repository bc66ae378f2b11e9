#include "cli/similarity.h"

#include "gradebook/similarityreport.h"
#include "judge/utf8.h"

#include <QDir>
#include <QTemporaryDir>

bool write_class_similarity(const std::string &results_folder,
                            const std::vector<Submission> &students,
                            const SimilarityRequest &request, const std::string &language,
                            std::string &summary, std::string &error,
                            ClassSimilarityOutcome *result)
{
    ClassSimilarityOutcome outcome = class_similarity(students, request);
    if (!outcome.error.empty()) {
        error = outcome.error;
        return false;
    }
    Language pages;
    if (!pages.load(language, error)
        || !write_similarity_outputs(results_folder, outcome.result, outcome.sources, pages, error))
        return false;
    std::size_t flagged = 0, earlier = 0;
    for (const SimilarPair &p : outcome.result.pairs) {
        flagged += p.flagged;
        earlier += p.flagged && outcome.result.students[p.b].earlier;
    }
    summary = "similarity: " + std::to_string(flagged) + " flagged pairs ("
              + std::to_string(earlier) + " with an earlier class) in "
              + std::to_string(outcome.result.groups.size())
              + " groups: " + similarity_overview_name + ", " + similarity_csv_name;
    if (result) {
        result->result = std::move(outcome.result);
        result->folders = std::move(outcome.folders);
    }
    return true;
}

bool compare_submissions(const std::string &results_folder, const std::string &submissions,
                         const std::string &program_name, const SimilarityRequest &request,
                         const std::string &language, std::string &summary, std::string &error,
                         ClassSimilarityOutcome &result)
{
    // The sources are read and the pages written while the unpacked class is still there.
    const QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvimet-compare-XXXXXX"));
    if (!scratch.isValid()) {
        error = "cannot create a scratch folder: " + to_utf8(scratch.errorString());
        return false;
    }
    const Intake intake = take_in(submissions, to_utf8(scratch.path()), program_name);
    if (!intake.error.empty()) {
        error = submissions + ": " + intake.error;
        return false;
    }
    return write_class_similarity(results_folder, intake.students, request, language, summary,
                                  error, &result);
}
