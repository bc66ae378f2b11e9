#pragma once

// The class file, orvimet.toml: everything that decides a class's grading, so that a grading can
// be repeated exactly (`orvimet-cli grade --config orvimet.toml SUBMISSIONS`). The command line
// starts from these settings and overrides whichever options it is given.

#include "gradebook/language.h"
#include "gradebook/scoring.h"
#include "judge/exercise.h"
#include "results/settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The class file: the grading's settings, the exercise, and what only the grade sheets use.
struct ClassFile : GradingSettings
{
    std::optional<Exercise> exercise; // none: the command line must name it
    std::string worksheet; // a grading worksheet downloaded from the course website to fill
    std::string language = languages().front();   // of what students receive: zh_CN or en
    std::vector<CaseGroup> groups;                // of the scoring; none: every case the same
    std::vector<std::string> similarity_template; // [similarity] template: the handed-out files
};

// Reads the class file at `path`. False with `error` set, naming the file and the line, for a
// file that is not TOML, a key that is not known (a misspelt key would otherwise be silently
// ignored and the grading not be the one the teacher wrote), or a value of the wrong kind or one
// its option would refuse (results/settings.h). A relative `file:` case list or worksheet is taken
// relative to the class file's folder.
bool read_class_file(const std::string &path, ClassFile &settings, std::string &error);
// The same, from text; `source` names it in messages.
bool parse_class_file(const std::string &text, const std::string &source, ClassFile &settings,
                      std::string &error);

// A commented class file holding every setting at its default, as `orvimet-cli init` writes it.
std::string example_class_file();
