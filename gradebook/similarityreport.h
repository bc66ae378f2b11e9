#pragma once

// The similarity of a class, for the teacher only (nothing here goes into what students
// receive): similarity.csv, one page per flagged pair with both sources side by side and their
// shared fragments marked, and the class's fingerprints kept for a later class to compare with
// (similarity-fingerprints.txt: hashes only, no source). Every text from a student's folder, file
// names and student names included, is escaped: pages are written through the same escaping
// templates as the report and under its content security policy (no script, no other origin).

#include "gradebook/language.h"
#include "results/records.h"
#include "similarity/similarity.h"

#include <string>
#include <vector>

inline const char similarity_csv_name[] = "similarity.csv";
inline const char similarity_overview_name[] = "similarity.html";
inline const char similarity_pages_folder[] = "similarity";

// One row per pair sharing anything, most similar first: the two students, similarity,
// coverage, shared fingerprints, the longest shared fragment (tokens and lines of each), whether
// flagged, the group, the page.
std::string similarity_csv(const ClassSimilarity &result);

// The flagged pairs and groups as a section of HTML (a heading, the groups, a table linking each
// pair's page), for similarity.html and for the top of a class report; the links are relative to
// the results folder. In `language`, as the report it heads; similarity.csv stays English.
std::string similarity_section(const ClassSimilarity &result, const Language &language);

// similarity.html: the section as a page of its own.
std::string similarity_overview_page(const ClassSimilarity &result, const Language &language);

// The page's file name, relative to the results folder, of flagged pair `index` of result.pairs.
std::string similarity_page_name(const ClassSimilarity &result, std::size_t index);

// The page of one flagged pair of this class. `sources` are the class's, in the order given to
// compare_class.
std::string similarity_pair_page(const ClassSimilarity &result, std::size_t index,
                                 const std::vector<StudentSources> &sources,
                                 const Language &language);

// Gives every student of `students` its `similar` records: the flagged pairs of `result` it is
// in, and its exact copies (`copies`) as similarity 1.0, for the same bytes are a copy whatever
// the fingerprints say (two copies of nothing but the template share none). `folders` are those
// of result's students of this class, in order.
void add_similar(std::vector<StudentRecord> &students, const ClassSimilarity &result,
                 const std::vector<std::string> &folders);

// Writes all four into `results_folder`, the pages in `language`; false with `error` on the first
// that fails.
bool write_similarity_outputs(const std::string &results_folder, const ClassSimilarity &result,
                              const std::vector<StudentSources> &sources, const Language &language,
                              std::string &error);
