#pragma once

// The memory check of a class: each student's sources built once more with the sanitizers, and
// that program run on every case its ordinary build ran to an end; the first line of each report
// goes beside the case's verdict. Kept apart from the class's phases, which only call it.

#include "explore/grammar.h"
#include "grading/classwork.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct MemcheckBuild
{
    std::string program; // the sanitizers' build, when it built; else empty
    std::string evasion; // what sanitizer_evasion() found in the sources
};

// Builds the sanitizers' program of `submission` (its kind Sources) in `check_dir`, a folder of
// the grader's that is made here, and looks through its sources for evasion, raw and
// preprocessed (in "<check_dir>-preprocessed"). The program is called `name`, as the ordinary
// build's is.
MemcheckBuild build_for_memory_check(const BuildSettings &settings, const Submission &submission,
                                     const std::string &check_dir, const std::string &name);

// The exit status the sanitizers end a program with when they find a fault.
inline constexpr int memcheck_exit_code = 213;

// The finding of a case whose answers from the two builds differ.
extern const char answers_differ_finding[];

// Runs the memory-checking build of a program on every case that its ordinary build ran to an
// end (of those, only the ones `chosen` picks by their index, when given); the first line of each
// report goes to the case's `memcheck`, and so does answers_differ_finding when the two builds
// ended by themselves with different answers. The runs' working folder is one of the grader's
// beside the program's folder ("<folder>-run"), on disk.
void memory_check(const ClassSettings &settings, const std::string &program,
                  std::vector<StudentCase> &cases,
                  const std::function<bool(std::size_t)> &chosen = {});

struct MemcheckShrinking
{
    std::string options;  // the shortest string found that the sanitizers still report on
    int steps = 0;        // reductions taken
    bool complete = true; // false when the deadline came first
};

// Shrinks `words`, on which the sanitizers reported with `program`, as wrong answers are shrunk
// (explore/shrink.h), to a string on which they still report, until `deadline`: the string a
// student reruns to see the fault.
MemcheckShrinking shrink_memory_finding(const ClassSettings &settings, const std::string &program,
                                        const Words &words,
                                        std::chrono::steady_clock::time_point deadline);

// What shrinking one student's finding may take: each candidate is a sanitized run.
inline constexpr std::chrono::seconds memcheck_shrink_time{60};

// The sanitizers' first finding on strings that are no cases, and that string shrunk.
struct StringsFinding
{
    std::string finding; // the sanitizers' first line; empty when they found nothing
    std::string options; // the string it came on, shrunk
};

// Runs the memory-checking build on `strings`, which are no cases (there is no ordinary answer
// to compare, so only the sanitizers judge), up to the first finding, which is shrunk.
StringsFinding memory_check_strings(const ClassSettings &settings, const std::string &program,
                                    const std::vector<Words> &strings);

// The first sanitizer finding (not a difference of answers) among `cases` from `first_generated`
// on, whose strings are `generated`, shrunk; empty when there is none.
std::string shrink_first_finding(const ClassSettings &settings, const std::string &program,
                                 const std::vector<StudentCase> &cases, std::size_t first_generated,
                                 const std::vector<Words> &generated);
