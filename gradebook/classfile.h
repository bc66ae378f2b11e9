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

struct ClassFile
{
    std::optional<Exercise> exercise; // none: the command line must name it
    std::string compiler = default_compiler;
    std::vector<std::string> flags = default_build_flags;
    // The limits of every run, Limits' own defaults unless the file says otherwise.
    double wall_seconds = static_cast<double>(Limits().wall.count()) / 1000;
    double cpu_seconds = Limits().cpu_seconds;
    std::uint64_t memory_bytes = Limits().memory_bytes;
    std::uint64_t file_bytes = Limits().file_bytes;
    std::uint64_t output_bytes = Limits().output_bytes;
    int processes = Limits().processes;
    std::string cases = "ten"; // ten, extended or file:<path>
    std::uint64_t seed = 42;
    int explore = 0;
    bool memcheck = false;
    int give_up_after = 3;
    int jobs = 0;          // 0: one per core
    std::string worksheet; // a grading worksheet downloaded from the course website to fill
    std::string language = languages().front(); // of what students receive: zh_CN or en
    ScoringRule scoring;                        // points, memcheck_penalty, groups
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
