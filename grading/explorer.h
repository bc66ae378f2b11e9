#pragma once

// Exploring a student's program: option strings drawn from the grammar, each judged against the
// reference program, until the answers differ; the failing string is then shrunk. Programs run
// only through the grading functions of grading/grading.h.

#include "explore/grammar.h"
#include "grading/grading.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The reference program's answers, each option string run once however many programs and
// shrinking steps ask for it. Safe to share between threads.
class ReferenceAnswers
{
public:
    ReferenceAnswers(Grading grading, std::string workdir);

    ReferenceAnswer answer(const std::string &options);
    // An answer computed elsewhere, such as a suite's.
    void add(const std::string &options, const ReferenceAnswer &answer);

private:
    const Grading grading;
    const std::string workdir;
    std::mutex mutex;
    std::map<std::string, ReferenceAnswer> answers;
};

// Whether the reference program's run gives an answer: it ended by itself.
bool reference_answered(const ReferenceAnswer &answer);

// The first `count` strings that `explore` tries with `seed` and `dictionary`, the opening ones
// (opening_words) first: a class run on them judges every program on the same strings.
std::vector<Words> generate_cases(Exercise exercise, std::uint64_t seed, int count,
                                  const Dictionary &dictionary = {});

// On an idle machine the strings run out first, within about half a minute; the time bounds a
// slow program or a busy machine, and covers shrinking too.
struct Budget
{
    int strings = 2000;
    std::chrono::milliseconds time{60000};
};

struct Counterexample
{
    std::string original; // the failing string as generated
    CaseResult shrunk;    // the program's run on the shrunk string, compared
    int steps = 0;        // reductions taken
    bool complete = true; // false when the time ran out first: `shrunk` is the smallest so far
};

// Shrinks `words`, on which `program` failed as `failing` tells, running it in `workdir`, until
// `deadline`.
Counterexample shrink_failure(const Grading &grading, const StudentProgram &program,
                              const Words &words, const CaseResult &failing,
                              ReferenceAnswers &reference, const std::string &workdir,
                              std::chrono::steady_clock::time_point deadline
                              = std::chrono::steady_clock::time_point::max());

struct Exploration
{
    std::uint64_t seed = 0;
    int tried = 0; // strings judged, the failing one included
    bool out_of_time = false;
    std::optional<Counterexample> found;
    // Set when the reference program gave no answer to a string; the exploration stops there.
    std::optional<std::string> reference_failed_on;
};

// Judges the strings of `seed` (and `dictionary`, such as the numbers of the program's sources)
// until one fails or the budget ends, and shrinks the failing one within what is left of it.
Exploration explore(const Grading &grading, const StudentProgram &program, std::uint64_t seed,
                    const Budget &budget, ReferenceAnswers &reference, const std::string &workdir,
                    const Dictionary &dictionary = {});

// What `orvimet-cli explore` prints: the same for the same seed, with no times in it, unless the
// time ran out before the strings did.
std::string exploration_text(const Exploration &exploration, const Limits &limits);
