#pragma once

// Everything a teacher hands on, made from a results folder (results.json, as
// docs/results-format.md describes it) and written beside it:
//   grades.csv            one row per student
//   grading-worksheet.csv the course website's offline grading worksheet (when the class came
//                         from the course website, or filled from the one the teacher gave)
//   feedback/             one self-contained page per student
//   feedback.zip          the pages in the folders the course website's feedback upload matches
//   report.html           the class report
//   results.json          the same results, with the scoring rule and each student's points
// No user interface: orvimet-cli calls write_outputs after grading and after merging shards.

#include "gradebook/language.h"
#include "gradebook/scoring.h"
#include "results/resultsjson.h"
#include "similarity/similarity.h"

#include <functional>
#include <optional>
#include <string>

struct GradebookOptions
{
    // The rule to score with; none: the one results.json holds (from an earlier scoring, or the
    // shards' when merged), else the defaults.
    std::optional<ScoringRule> scoring;
    std::string worksheet; // a worksheet downloaded from the course website, to fill
    // The language of what students receive (pages, the worksheet's comments): one of
    // languages(), Chinese unless the class file says otherwise.
    std::string language = languages().front();
    std::string compare_with; // an earlier grading of the class: its folder or its results.json
    // Lines for the terminal: the changes since the earlier grading, what the worksheet left as
    // it was. Not called when empty.
    std::function<void(const std::string &)> say;
    // The class's similarity when its sources were compared (grade, not a shard): its flagged
    // pairs head the report and its pairs go into each student's record. For the teacher only.
    const ClassSimilarity *similarity = nullptr;
    std::vector<std::string> similarity_folders; // of its students of this class, in order
};

// Writes every output beside results.json in `results_folder`. 0 when all were written; 2 when
// the results, the earlier grading or the rule could not be taken (nothing is written then); 1
// when an output could not be written; 3 when the worksheet could not be filled (unreadable,
// its columns not found, graded on a scale): it is not written, every other output is. `error`
// says why. With a worksheet that gives a maximum grade, every grade is out of that maximum.
int write_outputs(const std::string &results_folder, const GradebookOptions &options,
                  std::string &error);

// Replaces `path` with `bytes` through a new file renamed into place, so that a reader never
// sees half a file and a failed write leaves the old one.
bool write_file(const std::string &path, const std::string &bytes, std::string &error);
