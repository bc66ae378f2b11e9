#pragma once

// The similarity of a graded class: each student's handed-in sources and headers read (bounded:
// a hostile file is read in part) and compared, the handed-out template left out, and an earlier
// class's fingerprints compared too when a results folder of one is given.

#include "grading/classwork.h"
#include "similarity/similarity.h"

#include <string>
#include <vector>

struct SimilarityRequest
{
    std::vector<std::string> template_files; // the handed-out files, paths
    std::string earlier_results;             // an earlier class's results folder, or empty
    SimilaritySettings settings;
};

struct ClassSimilarityOutcome
{
    ClassSimilarity result;
    std::vector<StudentSources> sources; // as compared, for the pages
    std::vector<std::string> folders;    // of the same students, to find their records
    std::string error; // a template or the earlier fingerprints could not be read: why
};

// A file is read up to this many bytes, a student's files together up to four times as many.
constexpr std::size_t similarity_file_bytes = std::size_t(8) << 20;

// Students who handed in no sources are left out; a student's name is the one the grading shows.
ClassSimilarityOutcome class_similarity(const std::vector<Submission> &students,
                                        const SimilarityRequest &request);
