#pragma once

// The student's answer files: a program may leave its answer as the first line of
// "<stem>.txt" in the working directory or in its own directory instead of printing it. Whatever
// stands under those names may be hostile: a symbolic link, a named pipe, a file of 100 GB, or
// one swapped for another while the grader looks. Nothing here follows a link in the last
// component, blocks, reads more than a bounded first line, or writes outside the named folder.

#include "judge/judgecore.h"

#include <cstddef>
#include <string>

// The most of a first line that is read from an answer file.
inline constexpr std::size_t answer_file_limit = std::size_t(16) << 20;

// True when `path` is a regular file that opens for reading (a link to one counts). Directories,
// pipes and devices are never read as answer files: opening a pipe would block the grader.
bool is_readable_file(const std::string &path);

// Reads the first line (text mode) of a regular file, at most `limit` bytes of it; false when
// the name is not a regular file (a symbolic link is not followed).
bool read_first_line(const std::string &path, std::string &line,
                     std::size_t limit = answer_file_limit);

// Which answer files were still there after remove_stale_outputs: they could not be removed, so
// what they hold is an earlier run's and must not be judged as this run's answer.
struct StaleOutputs
{
    bool workdir_kept = false;
    bool dir_kept = false;
    bool any() const { return workdir_kept || dir_kept; }
};

// Removes answer files (and symbolic links under their names) that exist before a run.
StaleOutputs remove_stale_outputs(const CaseFiles &files);

// The student's answer text after a run: the first line of the working-directory output file,
// which is moved into the program's directory; else the first line of the directory output
// file; else what the program printed. Files in `stale` are skipped. The copy replaces the
// directory file through a temporary file and a rename, so a link there is replaced, not
// followed; the working-directory file is removed only once its line is safely in the directory
// file; when both names are one file it keeps its first line alone. An answer file that is there
// but could not be read for the grader's own want (descriptors, memory, a disk error) gives no
// answer at all: `unread` (when given) says why, and the output is not taken in its place.
std::string take_student_answer(const CaseFiles &files, std::string student_output,
                                const StaleOutputs &stale, std::string *unread = nullptr);

// One case's answer, taken the same way by the window and the console: the answer files an
// earlier run left are removed, `run` runs the program and returns what it printed, then the
// answer file is taken (never one that could not be removed) or the output used.
struct StudentAnswer
{
    std::string taken; // as the program left it
    std::string text;  // normalised: what is compared
    StaleOutputs stale;
    std::string unread; // why an answer file that was there could not be read; then no answer
};
template<typename Run>
StudentAnswer student_answer(const CaseFiles &files, Run &&run)
{
    StudentAnswer answer;
    answer.stale = remove_stale_outputs(files);
    answer.taken = take_student_answer(files, run(), answer.stale, &answer.unread);
    answer.text = normalise_answer(answer.taken);
    return answer;
}
