#pragma once

// The settings that decide a class's grading, held once: the class file is read into them, the
// command line overrides the options it is given, the grading runs by them and results.json's
// header records them. The file and the command line take each setting by the same rule (one
// table below): the same range, whole numbers where the option takes whole numbers, fractions
// where it takes fractions, 0 for off where off is taken. A value the option refuses, the file
// refuses too.

#include "sandbox/sandbox.h"

#include <cstdint>
#include <string>
#include <vector>

// The sources to build for one student, named by the class file's [build.sources]: for a
// hand-in that holds several programs (two files define main), the one to grade.
struct ChosenSources
{
    std::string student;            // the student's folder, or participant id
    std::vector<std::string> files; // relative to the hand-in, never absolute nor through ".."
    std::string where;              // the class file and line that name them: "orvimet.toml:40"
};

struct GradingSettings
{
    Limits limits;       // of every run of a student's program and of the reference
    bool sandbox = true; // --no-sandbox: false
    std::string compiler = "g++";
    std::vector<std::string> flags = {"-std=c++17", "-O2", "-Wall", "-Wextra"};
    int build_cpu = 30;        // processor seconds of one build
    std::string cases = "ten"; // ten, extended or file:<path>
    // A seed results.json keeps exactly: a JSON number holds whole numbers up to 2^53 alone.
    std::uint64_t seed = 42;
    int explore = 0;           // generated strings added for everybody
    bool memcheck = false;     // build again with the sanitizers and report memory faults
    int give_up_after = 3;     // time-outs in all before a program's other cases; 0: never
    int jobs = 0;              // builds and programs at the same time; 0: one per core
    int shard = 1, shards = 1; // the shard-th of `shards` stable parts of the class
    double points = 100;       // the grade of a student whose every answer is correct
    double memcheck_penalty = 0;
    std::vector<ChosenSources> sources; // students built from some of their sources only
};

// Whether `file` may name a source inside a hand-in: not empty, relative, and never through "..".
bool inside_hand_in(const std::string &file);

// One setting that is a number, as the class file and the command line both take it.
struct SettingRule
{
    const char *option; // "cpu" for --cpu
    const char *table;  // its table in the class file, "limits" for [limits]; "" for the top
    const char *key;    // its key there, "cpu_seconds"
    double lowest;      // in the option's unit; 0 when off is taken
    double highest;
    bool whole;       // whole numbers only, in the unit given
    bool above;       // strictly above `lowest`
    double file_unit; // the option's unit counted in the file's: 1, or 1 MiB
};

// Every setting that is a number: the limits of a run first, in the order of [limits].
const std::vector<SettingRule> &setting_rules();
// The rule of --`option`, or of the file's `key` in `table`; null for none.
const SettingRule *rule_of_option(const std::string &option);
const SettingRule *rule_of_key(const std::string &table, const std::string &key);

// Sets the setting of `rule` from `value`, in the file's unit when `in_file`, else in the
// option's. False, with what would do in `wanted` ("a whole number from 0 to 86400"), for a value
// the rule refuses.
bool set_number(GradingSettings &settings, const SettingRule &rule, double value, bool in_file,
                std::string &wanted);

// Sets a setting that is words: "compiler" (not empty) or "cases" ("ten", "extended",
// "file:<path>", or a bare path of a case file). False, with what would do in `wanted`.
bool set_text(GradingSettings &settings, const std::string &option, const std::string &value,
              std::string &wanted);

// What `text` given to --`option` does to `settings`, by the rules of the class file: a number
// by its rule, "compiler" and "cases" by set_text, "shard" as K/N, "flags" split at blanks as a
// shell splits an unquoted string, "memcheck" and "no-sandbox" switched on by any text. False, with
// what would do in `wanted`, for a value the rule refuses; options that are not settings are not
// touched.
bool set_option(GradingSettings &settings, const std::string &option, const std::string &text,
                std::string &wanted);

// The words of --flags: separated by blanks.
std::vector<std::string> split_flags(const std::string &text);
