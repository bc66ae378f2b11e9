#pragma once

// Running one program to its end with a time limit, for the command-line grader. The platform
// code lives in childprocess_<platform>.cpp; everything else sees only this interface.

#include <QStringList>
#include <chrono>
#include <string>

struct ChildRun
{
    enum class End { Exited, Crashed, TimedOut, FailedToStart };

    End end = End::FailedToStart;
    int exit_code = 0; // when Exited
    int signal = 0;    // when Crashed
    std::chrono::milliseconds elapsed{0};
    std::string output; // everything written to standard output, NUL bytes included
};

// Runs `command` (the program first, then its arguments, as program_and_arguments gives them) in
// the directory `workdir`, with standard input at end of file and standard error discarded. A
// relative program path is taken relative to the current directory, not to `workdir`. A program
// still running after `timeout` is killed together with every process it started; so are
// processes it leaves behind when it ends.
ChildRun run_child(const QStringList &command, const std::string &workdir,
                   std::chrono::milliseconds timeout);

// Makes an interrupt or termination of the grader (SIGINT, SIGTERM, SIGHUP) kill the programs
// running at that moment, with everything they started, before the grader ends: they run in
// background process groups of their own, which the terminal's signals do not reach.
void kill_children_on_termination();
