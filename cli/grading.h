#pragma once

// One case of the command-line grader, judged by the window's rules: the same program path and
// stem, the same answer files, normalisation, words and comparison. Only the running differs:
// each program runs in a working directory of the grader's choosing, under a time limit.

#include "cli/childprocess.h"

#include <chrono>
#include <cstddef>
#include <string>

// A student program as the window's suite sees a chosen file: its directory (absolute here, so
// that the program can run elsewhere) and its file name.
struct StudentProgram
{
    std::string name;       // as the user gave it
    std::string location_s; // ending in "/"
    std::string command_s;
};

StudentProgram student_program(const std::string &given);

// Whether the window would find the program: "<directory><stem>.exe" opens for reading.
bool program_exists(const StudentProgram &program);

// The answer file the program may leave in its own directory; programs sharing it must not run
// at the same time.
std::string program_answer_file(const StudentProgram &program);

struct Grading
{
    int flag_stack = 0;
    std::string reference_path; // the reference program of the exercise
    std::chrono::milliseconds timeout{10000};
};

// The file name of the reference program of an exercise ("a.exe", ...); empty for none.
std::string reference_file_name(int flag_stack);

// The reference program's command line: its path, a blank, then the options.
std::string reference_command(const std::string &reference_path, const std::string &options);

struct ReferenceAnswer
{
    std::string text; // standard output up to the first NUL byte
    ChildRun run;
};

ReferenceAnswer run_reference(const Grading &grading, const std::string &options,
                              const std::string &workdir);

struct CaseResult
{
    std::string options;
    std::string command_line;   // the student's
    std::string student_text;   // the answer as compared: from an answer file or the output
    std::string reference_text; // as captured
    bool correct = false;
    std::size_t difference = std::string::npos; // index of the first differing token
    std::string student_token;                  // the tokens there; empty past a list's end
    std::string reference_token;
    ChildRun run; // how the student's program ended (its output is not kept)
};

// Runs the student's program on `options` in `workdir` (ending in "/") and takes its answer;
// the comparison is still to be made.
CaseResult run_student(const Grading &grading, const StudentProgram &program,
                       const std::string &options, const std::string &workdir);

// Compares the student's answer with `reference_text`. A program cut off at the time-out is
// wrong whatever it printed.
void compare_answers(CaseResult &result, const std::string &reference_text);

// Both steps.
CaseResult judge_case(const Grading &grading, const StudentProgram &program,
                      const std::string &options, const std::string &reference_text,
                      const std::string &workdir);
