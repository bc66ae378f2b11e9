#pragma once

// Grading a class: the reference answers once, then every program on every option string, with
// several programs at a time.

#include "grading/grading.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct ProgramReport
{
    std::string name;
    int index = -1; // the program's place in the list graded
    std::vector<CaseResult> cases;
    int correct = 0;
    int wrong = 0;
    int timeouts = 0;
    int crashes = 0;
    int not_graded = 0;        // cases the grader itself could not run; neither correct nor wrong
    int not_run = 0;           // cases left out: the program could not start, or kept timing out
    std::string start_failure; // why the program could not start; empty when it started
    std::string status;        // set for a program that was not graded at all: "missing"
    bool finished = false;     // false for a program cut short by an interruption of the grader
    // A failing case shrunk, where the class run asks for it: the index of the case it comes from
    // (-1 for none) and the program's run on the shrunk string.
    int shrunk_from = -1;
    CaseResult shrunk;
};

// Calls `work(i, worker, wake)` for every i below `count` on up to `jobs` threads, `worker`
// being the number of the thread, from 0: what a thread keeps between items. Each call of `wake`
// by a worker, and the end of each work item, makes the calling thread run `progress()` (several
// wakes may share one call); it runs once more after the last item.
using Wake = std::function<void()>;
void run_parallel(int count, int jobs, const std::function<void(int, int, const Wake &)> &work,
                  const std::function<void()> &progress = {});

struct ClassRun
{
    Grading grading;
    std::vector<std::string> options;         // the option strings, in order
    std::vector<std::string> reference_texts; // one per option string
    std::string workroot;                     // a scratch folder, ending in "/"
    int jobs = 1;
    // Time-outs in all after which a program's other cases are not run; 0: never. A program that
    // could not start is not tried again.
    int give_up_after = 0;
    // The time a program's cases from `bounded_from` on (the generated ones, say) may take in
    // all, after which the rest are not run; 0: no bound. A program that answers slowly without
    // timing out would otherwise cost nearly a time-out on every long string.
    std::chrono::milliseconds time_share{0};
    std::size_t bounded_from = 0;
    // Whether `on_program` takes the programs in the order given; else each as it is done, so
    // that a slow program holds no one else's report.
    bool in_order = true;
    // Called before a program's first case, on the thread that grades it.
    std::function<void(const StudentProgram &)> start_program;
    // Called after a program's cases, before it is reported, on the thread that graded it and
    // in its working directory (the last argument).
    std::function<void(const StudentProgram &, ProgramReport &, const std::string &)>
        finish_program;
};

// Grades `programs`. Each program runs in a working directory of its own below the scratch
// folder, made for all of them before the first runs, with a name no program can guess;
// programs sharing an answer file run one after the other. `on_case` is called after every case
// and `on_program` once per program, in the order of `programs` as soon as it and all before it
// are graded (or as soon as it is, without `in_order`); both on the calling thread. The cases are
// handed to `on_program` and then dropped: a class's answers are never held whole in memory. When
// the grader is interrupted, no new case starts, and every program finished by then is still handed
// on, in order. "graded", "could not start" for a program that never started (never a wrong
// answer), or the status set on the report ("missing").
std::string program_status(const ProgramReport &report);

// The time share of a program exploring `strings` generated strings: enough for a correct program
// on a busy machine, many times what it takes on an idle one.
std::chrono::milliseconds exploring_share(int strings);

std::vector<ProgramReport>
grade_class(const ClassRun &run, const std::vector<StudentProgram> &programs,
            const std::function<void(int cases_done)> &on_case,
            const std::function<void(const ProgramReport &)> &on_program);
