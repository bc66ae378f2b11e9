#pragma once

// grade's similarity of the class: compared (grading/classsimilarity.h) and written for the
// teacher (gradebook/similarityreport.h).

#include "grading/classsimilarity.h"

#include <string>
#include <vector>

// The similarity of a graded class, compared and written into `results_folder`, its pages in
// `language` (one of languages(), as the report's); `summary` is one
// line for the teacher. False with `error` when a template or the earlier fingerprints could not
// be read, or an output written. `result`, when given, receives the comparison (its sources
// left out).
bool write_class_similarity(const std::string &results_folder,
                            const std::vector<Submission> &students,
                            const SimilarityRequest &request, const std::string &language,
                            std::string &summary, std::string &error,
                            ClassSimilarityOutcome *result = nullptr);

// The same for a class whose grading saw only a part of it at a time (merged parts, one student
// regraded): its submissions (a folder or an archive, `program_name` the exercise's) taken in
// again and compared whole, into `result`. False, with `error`, when they cannot be read any more
// or write_class_similarity fails.
bool compare_submissions(const std::string &results_folder, const std::string &submissions,
                         const std::string &program_name, const SimilarityRequest &request,
                         const std::string &language, std::string &summary, std::string &error,
                         ClassSimilarityOutcome &result);
