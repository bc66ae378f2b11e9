#pragma once

// Running one untrusted program to its end: bounded in wall time, CPU time, memory, file size,
// processes and kept output, and, unless switched off, inside a bubblewrap sandbox where it sees
// the system read-only, its own folder read-only and one writable working folder, and nothing
// else. Plain POSIX; no Qt. See sandbox.h for what the sandbox is made of.

#include "sandbox/sandbox.h"

#include <chrono>
#include <string>
#include <vector>

struct ChildRun
{
    // NotGraded: the grader itself could not run the program (descriptors, processes or memory
    // ran out, the sandbox did not start); `failure` says why. Nothing is the program's fault.
    enum class End { Exited, Crashed, TimedOut, FailedToStart, NotGraded };

    End end = End::FailedToStart;
    int exit_code = 0; // when Exited
    int signal = 0;    // when Crashed
    std::chrono::milliseconds elapsed{0};
    std::string output;     // standard output up to the limit, NUL bytes included
    bool truncated = false; // more was written than the limit keeps; the rest was dropped
    std::string failure;    // when NotGraded; when FailedToStart, why ("Permission denied")
    std::string error;      // standard error up to Command::error_bytes, when asked for
};

// What to run: `argv[0]` is the program's path, taken as it is (bytes, absolute in practice);
// the program runs in `workdir`, with standard input at end of file, standard error discarded
// (or kept up to `error_bytes`: a sanitizer's report) and no other descriptor of the grader's. In
// the sandbox the folders in `visible` are readable at their own paths, `workdir` is a writable
// folder in memory of the sandbox's own, bounded like one file, and nothing else of the file system
// but the read-only system is there; the `answer_files` named there are removed before the run, and
// after it their first lines are in the grader's `workdir` under the same names (or nothing, for a
// file that was not left).
struct Command
{
    std::vector<std::string> argv;
    std::string workdir;
    std::vector<std::string> visible;
    std::vector<std::string> answer_files; // plain names in `workdir`
    std::size_t error_bytes = 0;           // standard error kept in ChildRun::error; 0: discarded
    // The host's `workdir` itself, bound writable, instead of a folder in memory: for a build,
    // whose program must outlive the sandbox (bounded by the limit of one file all the same).
    bool workdir_on_disk = false;
};

// How the failure of a sandbox that did not start begins.
inline constexpr char sandbox_failure[] = "the sandbox did not start";
// How the failure of an answer file that the grader could not keep begins.
inline constexpr char answer_not_kept[] = "cannot keep the answer file";

// Runs `command` to its end or to the wall time of `limits`; every process it started ends with it,
// whatever it did to escape (its own process group or session, a double fork): in the sandbox, the
// sandbox's first process kills the rest of its PID namespace before it answers. When the grader
// runs as root, `workdir` is handed to the program's unprivileged user.
//
// A thread keeps the sandboxes of its last two (working folder, visible folders) pairs for the
// next runs: a program's next case then costs a run, not a new sandbox. Nothing of one run is
// alive in the next; what the runs share is what a program's cases share anyway, its working
// folder, and the sandbox's /tmp. end_kept_sandboxes() ends this thread's.
ChildRun run_child(const Command &command, const Limits &limits, const Sandbox &sandbox);
void end_kept_sandboxes();

// Makes an interrupt or termination of the grader (SIGINT, SIGTERM, SIGHUP) kill every program
// running at that moment, with everything it started, and set the flag that interrupted()
// reads; the grader then winds up itself. SIGPIPE is ignored: a closed pipe on the console must
// not end the grading.
void handle_termination_signals();

// The signal that interrupted the grader, or 0.
int interrupted();

// Ends the grading as an interruption would, without a signal: every running program is killed
// and interrupted() says SIGTERM from now on. For a grader that cannot go on (its reports cannot
// be written), from any thread.
void stop_grading();
