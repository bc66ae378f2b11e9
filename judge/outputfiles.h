#pragma once

// The student's answer files: a program may leave its answer as the first line of
// "<stem>.txt" in the working directory or in its own directory instead of printing it.

#include "judge/judgecore.h"

#include <string>

// True when `path` is a regular file that opens for reading. Directories, pipes and devices are
// never read as answer files: opening a pipe would block the grader.
bool is_readable_file(const std::string &path);

// Reads the first line (text mode) of a readable file; false when it is not one.
bool read_first_line(const std::string &path, std::string &line);

// Removes answer files that exist before a run, so that an earlier run's answer is never judged
// as this run's.
void remove_stale_outputs(const CaseFiles &files);

// The student's answer text after a run: the first line of the working-directory output file,
// which is moved into the program's directory; else the first line of the directory output
// file; else what the program printed. The working-directory file is removed only once its line
// is safely in the directory file; when both names are one file it keeps its first line alone.
std::string take_student_answer(const CaseFiles &files, std::string student_output);
