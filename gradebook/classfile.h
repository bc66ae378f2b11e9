#pragma once

// The class file, orvimet.toml: everything that decides a class's grading, so that a grading can
// be repeated exactly (`orvimet-cli grade --config orvimet.toml SUBMISSIONS`). The command line
// starts from these settings and overrides whichever options it is given.

#include "building/building.h"
#include "gradebook/language.h"
#include "gradebook/scoring.h"
#include "judge/exercise.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One limit of a run as the class file's [limits] and the command line both take it: the same
// range, whole numbers where the option takes whole numbers, fractions where it takes fractions,
// 0 for off (for the output, which is never unbounded: as much as may be kept). The file counts
// bytes where the option counts MiB; a limit the option would refuse, the file refuses too.
struct LimitRule
{
    const char *option; // "cpu" for --cpu
    const char *key;    // "cpu_seconds" in [limits]
    double highest;     // in the option's unit
    bool whole;         // whole numbers only, in the unit given
    bool off;           // 0 is taken
    double file_unit;   // the option's unit counted in the file's: 1, or 1 MiB
};

const std::vector<LimitRule> &limit_rules();

// Sets the limit of `rule` from `value`, in the file's unit when `in_file`, else in the option's.
// False, with what would do in `wanted` ("a whole number from 0 to 86400"), for a value the rule
// refuses.
bool set_limit(Limits &limits, const LimitRule &rule, double value, bool in_file,
               std::string &wanted);

// The limit of `rule` in `from`, copied into `to`.
void copy_limit(const LimitRule &rule, const Limits &from, Limits &to);

struct ClassFile
{
    std::optional<Exercise> exercise; // none: the command line must name it
    std::string compiler = default_compiler;
    std::vector<std::string> flags = default_build_flags;
    Limits limits;             // of every run, Limits' own defaults unless the file says otherwise
    std::string cases = "ten"; // ten, extended or file:<path>
    std::uint64_t seed = 42;
    int explore = 0;
    bool memcheck = false;
    int give_up_after = 3;
    int jobs = 0;          // 0: one per core
    std::string worksheet; // a grading worksheet downloaded from the course website to fill
    std::string language = languages().front();   // of what students receive: zh_CN or en
    ScoringRule scoring;                          // points, memcheck_penalty, groups
    std::vector<std::string> similarity_template; // [similarity] template: the handed-out files
};

// Reads the class file at `path`. False with `error` set, naming the file and the line, for a
// file that is not TOML, a key that is not known (a misspelt key would otherwise be silently
// ignored and the grading not be the one the teacher wrote), or a value of the wrong kind or out
// of range. A relative `file:` case list or worksheet is taken relative to the class file's
// folder.
bool read_class_file(const std::string &path, ClassFile &settings, std::string &error);
// The same, from text; `source` names it in messages.
bool parse_class_file(const std::string &text, const std::string &source, ClassFile &settings,
                      std::string &error);

// A commented class file holding every setting at its default, as `orvimet-cli init` writes it.
std::string example_class_file();
