#pragma once

// Similarity across a class by winnowing (Schleimer, Wilkerson and Aiken, 2003): each student's
// tokens (lexer.h) are cut into k-grams of token ids, each k-gram hashed, and of every window of w
// consecutive hashes the smallest is kept with its position. Two sources that share a run of at
// least k + w - 1 tokens share at least one kept hash, whatever else they hold; runs shorter than
// k tokens are never seen. Renaming, layout and comments change no token id, so they change no
// hash.
//
// Hashes of the handed-out template never count, nor hashes that more than a share of the class
// holds (code everyone writes alike). What is left is compared through one index from hash to
// students: the cost grows with the pairs that share something, not with all pairs of k-grams.

#include "similarity/lexer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SourceFile
{
    std::string name; // as shown to the teacher
    std::string text;
};

struct StudentSources
{
    std::string student;
    std::vector<SourceFile> files;
};

constexpr std::size_t common_floor = 5;

struct SimilaritySettings
{
    // Measured on the generated class of the tests (bench/README.md, "Similarity"): any shared
    // run of k + w - 1 = 30 tokens is found. A shorter k lets independent solutions share more
    // (k = 12: 0.49 similarity at most between two of them, against 0.32 with k = 20), a longer
    // one loses the copies cut by dead code and rewritten loops (k = 25: 0.41 for the most
    // disguised); w = 11 keeps two hashes of every 12 k-grams, enough for a copied function of 70
    // tokens to show.
    std::size_t k = 20;
    std::size_t w = 11;
    // A hash held by more than this share of the class is common code, when more than
    // common_floor students hold it: in a small class, shared code is a copy, not a habit.
    double common_share = 0.5;
    // A pair is flagged when its similarity reaches `threshold`, when one of the two is mostly
    // the other (`coverage`: a copy padded with code of its own) or when they share one run with
    // `fragment_tokens` tokens outside the template that few others write alike (one function
    // copied). Few: less than `popular_share` of the class and less than three students.
    double threshold = 0.4;
    double coverage = 0.5;
    std::size_t fragment_tokens = 70;
    double popular_share = 0.1;
    std::size_t max_tokens = default_max_tokens; // per student, all files together
};

// A run of tokens two students share, in token positions of each and in lines of their files.
struct Fragment
{
    std::uint32_t a_begin, a_end, b_begin, b_end; // tokens, end past the last
    std::uint32_t a_file, a_first_line, a_last_line;
    std::uint32_t b_file, b_first_line, b_last_line;
    std::uint32_t rare = 0; // tokens of the run under no k-gram that several others write
    std::uint32_t tokens() const { return a_end - a_begin; }
};

struct SimilarPair
{
    std::size_t a, b; // indices into ClassSimilarity::students; b may be an earlier class's
    std::size_t shared = 0;
    double similarity = 0;     // 2 * shared / (a's hashes + b's hashes)
    double coverage = 0;       // max(shared / a's, shared / b's)
    std::uint32_t longest = 0; // tokens of the longest shared fragment; 0 against an earlier class
    std::uint32_t rare = 0;    // the most rare tokens of one fragment (Fragment::rare)
    std::vector<Fragment> fragments; // for flagged pairs of this class, longest first
    bool flagged = false;
    int group = -1; // index into ClassSimilarity::groups when flagged
};

struct StudentPrints
{
    std::string student;
    bool earlier = false;   // from an earlier class: hashes only, no sources
    bool truncated = false; // more tokens than compared
    std::size_t tokens = 0;
    std::size_t counted = 0;             // hashes neither template nor common
    std::vector<std::uint64_t> hashes;   // every kept hash, distinct and sorted (what is saved)
    std::vector<std::string> file_names; // this class only
};

struct ClassSimilarity
{
    SimilaritySettings settings;
    std::vector<StudentPrints> students; // this class's in the order given, then earlier ones
    std::vector<SimilarPair> pairs;      // pairs sharing anything, most similar first
    // This class's flagged pairs joined, students sorted; pairs with an earlier class join none.
    std::vector<std::vector<std::size_t>> groups;
};

// Compares a class: `templates` are the handed-out files, `earlier` students read from an earlier
// class's fingerprints (read_fingerprints) and compared with this class, never with each other.
ClassSimilarity compare_class(const std::vector<StudentSources> &students_sources,
                              const std::vector<SourceFile> &templates,
                              const std::vector<StudentPrints> &earlier = {},
                              const SimilaritySettings &settings = {});

// Where a results folder keeps its class's fingerprints.
inline const char fingerprints_file_name[] = "similarity-fingerprints.txt";

// Every kept hash of each student of this class, for a later class to compare against: no
// source, no spelling. Text, one student a line.
std::string write_fingerprints(const ClassSimilarity &result);
// False, saying why in `error`, when the text is not fingerprints or was made with another k or w.
bool read_fingerprints(std::string_view text, const SimilaritySettings &settings,
                       std::vector<StudentPrints> &students, std::string &error);
