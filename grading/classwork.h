#pragma once

// A class carried from what the students handed in to verdicts: the intake of the folder or
// archive, sandboxed builds in parallel, the runs of every program on the cases, a memory check,
// the counterexamples of an exploration judged for everybody, and results.json (see
// docs/results-format.md) rewritten whole as students are done, at most about once a second, and
// at the end, so that it is valid JSON at every moment of a run.

#include "building/building.h"
#include "grading/batch.h"
#include "intake/intake.h"
#include "results/records.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ClassSettings
{
    std::string exercise;     // "queue"
    std::string program_name; // the exercise's program, as students name it: "queue"
    Grading grading;          // the reference program, the limits of a run, the sandbox
    BuildSettings build;
    IntakeLimits intake;
    int jobs = 1;
    int give_up_after = 3; // time-outs in all before a program's other cases; 0: never
    bool memcheck = false;
    std::vector<std::string> options; // the cases, generated ones excluded
    std::string cases_source = "ten"; // for results.json: ten, extended, file:<path>
    int explore = 0;                  // generated strings added for everybody
    std::uint64_t seed = 0;
    int shard = 1, shards = 1; // the shard-th of `shards` stable parts of the class
    std::string only;          // non-empty: this student folder alone
    std::string submissions;   // the folder or archive, as given
    std::string results;       // the results folder: exists, and is the grader's
    std::string scratch;       // a scratch folder for builds and working folders, ending in "/"
    std::string version;       // Orvimet's
    double points = 100;       // for results.json's scoring; the grade sheets apply them
    double memcheck_penalty = 0;
};

// A case as graded, before it is recorded: the run as judge_case left it (its answer cut once,
// its full size kept) and the first line of the memory check's report on it.
struct StudentCase
{
    CaseResult result;
    std::string memcheck;
};

// The case's record, made once: the answers kept as far as a record keeps them, their full sizes
// from the run.
CaseRecord case_record(const StudentCase &c);

// One student's build or grading as the progress sees it: in seconds of the steady clock's
// (`progress_clock()`), when it started and, once it is done, when it finished.
struct ProgressJob
{
    std::string student;
    double started = 0;
    double finished = -1; // -1 while it runs
};
double progress_clock();

struct ClassProgress
{
    std::string phase; // unpacking, building, grading, memory check
    int done = 0;
    int total = 0;
    std::string student; // the one in hand, or the last one finished
    int workers = 1;
    // The phase's students started so far, where the phase tells them (building, grading).
    std::vector<ProgressJob> jobs;
};

struct ClassOutcome
{
    std::string error; // the class could not be graded: why (a person reads it); else empty
    std::vector<StudentRecord> students;
    std::vector<Submission> submissions; // what each of `students` handed in, in the same order
    std::vector<std::string> found;      // the shrunk counterexamples added to the cases
    int case_count = 0;
    bool complete = false; // false when interrupted
    // The time the memory check took on all the jobs together: the sanitizers' builds, their
    // runs and the shrinking of their findings. 0 without it.
    double memcheck_seconds = 0;
};

// The shard (from 1) of `shards` a student's folder falls in: the same for the same name on every
// machine and in every run.
int shard_of(const std::string &folder, int shards);

// Grades the class. `progress` is called on the calling thread as the work moves on;
// `student_done` after each student's record is final and results.json holds it. A student whose
// grading an interruption cut short is "not graded", never graded on the cases it reached.
ClassOutcome grade_submissions(const ClassSettings &settings,
                               const std::function<void(const ClassProgress &)> &progress,
                               const std::function<void(const StudentRecord &)> &student_done);
