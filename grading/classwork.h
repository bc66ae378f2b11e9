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
#include "results/settings.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A class's grading: the settings that decide it, as results.json's header records them, and
// where this run finds and puts things.
struct ClassSettings : GradingSettings
{
    std::string exercise;     // "queue"
    std::string program_name; // the exercise's program, as students name it: "queue"
    // The reference program and the sandbox's own programs; the limits of a run and the
    // sandbox's switch are the settings' (run_grading).
    Grading grading;
    // The build cache and the bounds of a build; the compiler, its flags and its processor time
    // are the settings' (class_build).
    BuildSettings build;
    IntakeLimits intake;
    std::vector<std::string> options; // the cases, generated ones excluded
    std::string only;                 // non-empty: this student folder alone
    std::string submissions;          // the folder or archive, as given
    std::string results;              // the results folder: exists, and is the grader's
    std::string scratch; // a scratch folder for builds and working folders, ending in "/"
    std::string version; // Orvimet's
};

// `base` (its exercise, reference program and sandbox's programs) with the limits of a run and
// the sandbox's switch of `settings`.
Grading run_grading(Grading base, const GradingSettings &settings);
// `base` (its cache and bounds) with the compiler, flags and processor time of `settings`; the
// wall time of a build is twice its processor time, and at least 10 s.
BuildSettings class_build(BuildSettings base, const GradingSettings &settings);

// Builds and programs at the same time: the settings' jobs, or one per core for 0.
int jobs_at_once(const GradingSettings &settings);

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
