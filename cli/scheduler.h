#pragma once

// Grading a class in parts on a scheduler the university already runs: which part this process
// is, read from the scheduler's environment (grade --shard auto), and the Slurm job script that
// grades the parts and merges them (init --slurm). Pure but for take_scheduler_shard, which reads
// the process's environment.

#include "cli/commands.h"

#include <map>
#include <string>

using Environment = std::map<std::string, std::string>;

// Whether a --shard value asks the scheduler: "auto", or "auto/N" where the scheduler does not
// tell how many parts there are.
bool asks_scheduler(const std::string &shard);

struct ShardPlace
{
    int index = 1; // from 1
    int count = 1;
};

// The part of a class this task grades, from `request` ("auto" or "auto/N") and the environment
// of a Slurm job array task (SLURM_ARRAY_TASK_ID counted from SLURM_ARRAY_TASK_MIN in steps of
// SLURM_ARRAY_TASK_STEP, SLURM_ARRAY_TASK_COUNT parts) or of a Kubernetes Indexed Job's pod
// (JOB_COMPLETION_INDEX from 0; the count is N of "auto/N", as the Job's completions). Throws
// Failure naming what is missing or inconsistent: a wrong guess would grade some students twice
// and others never.
ShardPlace scheduler_shard(const std::string &request, const Environment &environment);

// grade --shard auto: settings.grade.shard and shards from this process's environment.
void take_scheduler_shard(Settings &settings);

// A job script for Slurm of `shards` array tasks, each grading one part of the class into a
// results folder of its own, which, run by hand on the submitting node, submits itself and a
// job that merges the parts once every task has succeeded.
std::string slurm_job_script(int shards);
