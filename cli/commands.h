#pragma once

// The commands of orvimet-cli, once their arguments are parsed.

#include "building/building.h"
#include "gradebook/language.h"
#include "gradebook/scoring.h"
#include "grading/explorer.h"
#include "grading/grading.h"
#include "results/settings.h"

#include <set>
#include <string>
#include <vector>

// What the command line asks for. The settings of a grading are the base: a class file (or the
// results of the class regraded) is read into them, then the options given here are applied
// again on top (`setting_options`), by the same rules.
struct Settings : GradingSettings
{
    // The exercise, the reference program and the sandbox's programs; its limits and sandbox
    // switch are the settings' once main() has made it with run_grading().
    Grading grading;
    std::string csv;
    std::string json;
    Budget budget;
    std::vector<std::string> positional; // bytes, as the shell gave them
    bool quiet = false;                  // no progress on standard error

    // grade: a class from what students handed in.
    struct Grade
    {
        std::string out;    // the results folder; empty: orvimet-<exercise>-<date-time> here
        bool force = false; // an existing results folder may be replaced
        bool use_cache = true;
        std::string config;                         // orvimet.toml; the command line overrides it
        std::string worksheet;                      // the course website's worksheet to fill
        std::string language = languages().front(); // of what students receive
        std::string compare;                        // an earlier results folder
        std::string similar_to; // an earlier class's results, for the similarity
        // The handed-out files, from the class file: the similarity leaves them out.
        std::vector<std::string> similarity_template;
        std::string scheduler_shard;   // --shard auto[/N]: K/N from the scheduler's environment
        std::vector<CaseGroup> groups; // from the class file
        std::string only;              // --only FOLDER: that student of a graded class again
    } grade;
    std::vector<std::string> merge_inputs; // merge: results folders; grade.out is the target
    int slurm_shards = 0; // init --slurm N: a Slurm job script of N parts, not a class file
    // The long names of the options the command line gave: a class file fills in the rest.
    std::set<std::string> given;
    // The options given that are settings of a grading, with their texts, in order.
    std::vector<std::pair<std::string, std::string>> setting_options;
};

// Bad use or a grader that cannot go on: one line for the user, exit status 2.
struct Failure
{
    std::string message;
};

// The grader was interrupted by `signal`; thrown once the reports are written, so that every
// scratch folder is removed before the grader ends by that signal.
struct Interrupted
{
    int signal;
};

// Exit statuses.
constexpr int all_correct = 0;
constexpr int some_wrong = 1;
constexpr int not_judged = 2;

void say(const std::string &message);

int judge_command(const Settings &settings);
int suite_command(const Settings &settings);
int explore_command(const Settings &settings);
// The option strings of `settings.cases`: the ten, the extended list or a case file's.
std::vector<std::string> case_list(const Settings &settings);
// A grading's class file (--config) fills in every setting the command line did not give.
void apply_class_file(Settings &settings);
// The options of the command line that are settings of a grading, applied again over settings
// read from a file.
void apply_setting_options(Settings &settings);
int grade_command(const Settings &settings);
// grade --only: the class's results folder (--out) gives every setting the command line did not,
// and the class's cases and seed; regrade_command grades that one student with `work` and puts the
// record in place of the old one (cli/only.cpp).
void apply_results_file(Settings &settings);
struct ClassSettings;
int regrade_command(const Settings &settings, ClassSettings work);
int merge_command(const Settings &settings);
int init_command(const Settings &settings);
