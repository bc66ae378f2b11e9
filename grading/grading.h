#pragma once

// One case of the command-line grader, judged by the window's rules: the same program path and
// stem, the same answer files, normalisation, words and comparison. Only the running differs:
// each program runs in a working directory of the grader's choosing, bounded by the limits and,
// unless switched off, inside a sandbox that shows it its own folder and nothing else of the
// teacher's.

#include "judge/exercise.h"
#include "sandbox/process.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

// A student program as the window's suite sees a chosen file: its directory (absolute here, so
// that the program can run elsewhere) and its file name. Paths are bytes, UTF-8 or not.
struct StudentProgram
{
    std::string name;       // as the user gave it
    std::string location_s; // ending in "/"
    std::string command_s;
};

StudentProgram student_program(const std::string &given);

// `path` made absolute against the current folder and cleaned of ".", ".." and doubled slashes,
// on its bytes: a folder name that is not UTF-8 survives.
std::string absolute_path(const std::string &path);

// Whether the window would find the program: "<directory><stem>.exe" opens for reading.
bool program_exists(const StudentProgram &program);

// The answer file the program may leave in its own directory, through the directory's real path:
// programs sharing it, under whatever names, must not run at the same time.
std::string program_answer_file(const StudentProgram &program);

struct Grading
{
    Exercise exercise = Exercise::Stack;
    std::string reference_path; // the reference program of the exercise
    Limits limits;              // the wall time of a run included
    Sandbox sandbox;
};

struct ReferenceAnswer
{
    std::string text; // standard output up to the first NUL byte
    ChildRun run;
};

// Runs the reference program on `options` in `workdir` (an absolute folder of its own, ending
// in "/"), sandboxed like a student's, with its own folder visible read-only.
ReferenceAnswer run_reference(const Grading &grading, const std::string &options,
                              const std::string &workdir);

// Why a reference answer cannot be trusted (it crashed, ran out of time, exited with a code
// other than 0, failed to start, or its output was cut), in words; empty for a good one.
std::string reference_problem(const ReferenceAnswer &answer);

struct CaseResult
{
    std::string options;
    std::string command_line;   // the student's
    std::string student_text;   // the answer as compared: from an answer file or the output
    std::string reference_text; // as captured
    // The whole answer's size in bytes: a report keeps no more than its first
    // report_answer_bytes, so that whatever a program prints, the grader's memory is bounded.
    std::size_t student_bytes = 0;
    bool correct = false;
    std::size_t difference = std::string::npos; // index of the first differing token
    std::string student_token;                  // the tokens there; empty past a list's end
    std::string reference_token;
    std::string note; // what else the case needs said: output cut, a stale answer file, ...
    ChildRun run;     // how the student's program ended (its output is not kept)
    // Not run at all: the program could not start, or gave up after time-outs; `note` says which.
    bool not_run = false;

    bool graded() const { return run.end != ChildRun::End::NotGraded; }
};

// The words a program receives for `options`, the command line split as the window splits it.
std::vector<std::string> option_words(const std::string &options);

// Runs the student's program on `options` in `workdir` (an absolute folder ending in "/") and
// takes its answer; the comparison is still to be made. The sandbox shows the program its
// folder when that holds a submission alone (files, none hidden), else the program file alone:
// a program lying in a home folder must not read the rest of it.
CaseResult run_student(const Grading &grading, const StudentProgram &program,
                       const std::string &options, const std::string &workdir);

// Compares the student's answer with `reference_text`. A program cut off at the time-out, one
// whose output was cut at the limit, one that could not start and one the grader could not run
// are never correct: an empty answer is the right one for some cases.
void compare_answers(CaseResult &result, const std::string &reference_text);

inline constexpr std::size_t report_answer_bytes = std::size_t(64) << 10;

// Both steps; the answer is then cut to report_answer_bytes (at a character's start).
CaseResult judge_case(const Grading &grading, const StudentProgram &program,
                      const std::string &options, const std::string &reference_text,
                      const std::string &workdir);

// A new working folder below `root` (which ends in "/") with a name no program can guess;
// empty, with `error` set, when it cannot be made.
std::string make_workdir(const std::string &root, std::string &error);
