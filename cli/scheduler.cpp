#include "cli/scheduler.h"

#include "grading/reports.h"

#include <cstdlib>
#include <optional>

extern char **environ;

namespace {

// A whole number below ten million, written plainly; nothing for anything else.
std::optional<long> whole_number(const std::string &text)
{
    if (text.empty() || text.size() > 7
        || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::strtol(text.c_str(), nullptr, 10);
}

// The value of a variable the scheduler must have set; a clear refusal otherwise.
long variable(const Environment &environment, const std::string &name, const std::string &what)
{
    const auto found = environment.find(name);
    if (found == environment.end())
        throw Failure{"cannot take the shard from " + what + ": " + name + " is not set"};
    const std::optional<long> value = whole_number(found->second);
    if (!value)
        throw Failure{"cannot take the shard from " + what + ": " + name + " is '"
                      + printable(found->second) + "', not a whole number"};
    return *value;
}

ShardPlace from_slurm(const Environment &environment, long count_given)
{
    const std::string what = "the Slurm job array";
    const long id = variable(environment, "SLURM_ARRAY_TASK_ID", what);
    const long first = variable(environment, "SLURM_ARRAY_TASK_MIN", what);
    const long count = variable(environment, "SLURM_ARRAY_TASK_COUNT", what);
    const long step = environment.count("SLURM_ARRAY_TASK_STEP")
                          ? variable(environment, "SLURM_ARRAY_TASK_STEP", what)
                          : 1;
    // Only an evenly stepped array numbers its tasks 1 to N; a list such as 1,4,9 does not.
    if (step < 1 || id < first || (id - first) % step != 0 || (id - first) / step >= count)
        throw Failure{"cannot take the shard from " + what + ": task " + std::to_string(id)
                      + " is not one of " + std::to_string(count) + " evenly stepped from "
                      + std::to_string(first) + "; give the array as --array=1-N"};
    if (count_given != 0 && count_given != count)
        throw Failure{"the shard count " + std::to_string(count_given)
                      + " is not the Slurm job array's " + std::to_string(count)};
    return {static_cast<int>((id - first) / step + 1), static_cast<int>(count)};
}

ShardPlace from_kubernetes(const Environment &environment, long count)
{
    const long index = variable(environment, "JOB_COMPLETION_INDEX", "the Kubernetes Indexed Job");
    if (count == 0)
        throw Failure{"cannot take the shard from the Kubernetes Indexed Job: it does not tell "
                      "how many parts there are; give --shard auto/N with N its completions"};
    if (index >= count)
        throw Failure{"the Kubernetes completion index " + std::to_string(index)
                      + " is not below the shard count " + std::to_string(count)};
    return {static_cast<int>(index + 1), static_cast<int>(count)};
}

} // namespace

bool asks_scheduler(const std::string &shard)
{
    return shard == "auto" || shard.rfind("auto/", 0) == 0;
}

ShardPlace scheduler_shard(const std::string &request, const Environment &environment)
{
    long count = 0;
    if (request != "auto") {
        const std::optional<long> given = whole_number(request.substr(5));
        if (!given || *given < 1 || *given > 100000)
            throw Failure{"invalid shard '" + printable(request)
                          + "': give auto, or auto/N with N the number of parts"};
        count = *given;
    }
    // A Slurm array task may run a container that sets its own index: Slurm's is the one asked.
    if (environment.count("SLURM_ARRAY_TASK_ID"))
        return from_slurm(environment, count);
    if (environment.count("JOB_COMPLETION_INDEX"))
        return from_kubernetes(environment, count);
    if (environment.count("SLURM_JOB_ID"))
        throw Failure{"cannot take the shard from Slurm: job "
                      + printable(environment.at("SLURM_JOB_ID"))
                      + " is not a job array; submit it with --array=1-N"};
    throw Failure{"cannot take the shard from a scheduler: neither SLURM_ARRAY_TASK_ID (a Slurm "
                  "job array) nor JOB_COMPLETION_INDEX (a Kubernetes Indexed Job) is set; "
                  "give --shard K/N"};
}

void take_scheduler_shard(Settings &settings)
{
    Settings::Grade &grade = settings.grade;
    if (grade.scheduler_shard.empty())
        return;
    Environment environment;
    for (char **entry = environ; entry && *entry; ++entry) {
        const std::string text = *entry;
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos)
            environment.emplace(text.substr(0, equals), text.substr(equals + 1));
    }
    const ShardPlace place = scheduler_shard(grade.scheduler_shard, environment);
    settings.shard = place.index;
    settings.shards = place.count;
}

std::string slurm_job_script(int shards)
{
    std::string script = R"sh(#!/bin/bash
# Grades a class on a Slurm cluster in @N@ parts, one task of a job array each, and merges the
# parts once every task has succeeded. Run it by hand, where sbatch works, from a folder that
# every node sees, with orvimet-cli on the PATH:
#
#   ./grade.sbatch SUBMISSIONS RESULTS [GRADE OPTIONS...]
#   ./grade.sbatch DS-queue-submissions.zip results --config orvimet.toml
#
# It submits itself as the job array; part K is written to RESULTS.part-K and the merged
# grading to RESULTS. The tasks take their part from Slurm (grade --shard auto): for another
# number of parts change only --array, which must count from 1 to N.
#SBATCH --job-name=orvimet-grade
#SBATCH --array=1-@N@
#SBATCH --cpus-per-task=2
#SBATCH --time=01:00:00
set -euo pipefail

if [ -z "${SLURM_ARRAY_TASK_ID:-}" ]; then
    if [ $# -lt 2 ]; then
        echo "usage: $0 SUBMISSIONS RESULTS [GRADE OPTIONS...]" >&2
        exit 2
    fi
    results=$2
    for folder in "$results" "$results".part-*; do
        if [ -e "$folder" ]; then
            echo "$0: $folder exists already: move it away first" >&2
            exit 2
        fi
    done
    # Every part must try the same generated strings: without a seed of the teacher's, and
    # without a class file that holds one, each task would take its own from the clock.
    seed=(--seed "$(date +%s)")
    for option in "${@:3}"; do
        case $option in --seed | --seed=* | --config | --config=*) seed=() ;; esac
    done
    array=$(sbatch --parsable "$0" "$@" "${seed[@]}")
    array=${array%%;*}
    # Single quotes for the merge job's /bin/sh, whatever the folder's name holds.
    quoted="'${results//\'/\'\\\'\'}'"
    merge=$(sbatch --parsable --job-name=orvimet-merge --dependency=afterok:"$array" \
        --wrap "exec orvimet-cli merge --out $quoted $quoted.part-*")
    echo "grading in job $array, merging into $results in job ${merge%%;*}"
    exit 0
fi

submissions=$1
results=$2
shift 2
# Exit status 1 tells that some answer is wrong: the part is graded all the same.
orvimet-cli grade "$@" --jobs "${SLURM_CPUS_PER_TASK:-1}" --shard auto --quiet \
    --out "$results.part-$SLURM_ARRAY_TASK_ID" -- "$submissions" || [ $? -eq 1 ]
)sh";
    const std::string n = std::to_string(shards);
    for (std::size_t at = script.find("@N@"); at != std::string::npos; at = script.find("@N@"))
        script.replace(at, 3, n);
    return script;
}
