#pragma once

// Reading orvimet-cli's command line into the settings of one command. Pure: nothing is run,
// nothing is printed, no file is looked at; bad use throws Failure with the line for the user.

#include "cli/commands.h"

#include <string>
#include <vector>

struct Invocation
{
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    std::string command; // judge, suite, explore, grade, merge or init; empty for general help
    Settings settings;
    std::string reference_folder; // --reference; empty: looked for beside the grader
};

// The commands orvimet-cli knows, in the order its help lists them.
const std::vector<std::string> &command_names();

// `arguments` are the words after the program's name, as bytes. Help and version are asked for
// with -h/--help or help [COMMAND], and -v/--version, wherever they stand before a program's own
// options.
Invocation parse_command_line(const std::vector<std::string> &arguments);

// The help of one command, or the general help for an empty name.
std::string help_text(const std::string &command);
