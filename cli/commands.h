#pragma once

// The two commands of orvimet-cli, once their arguments are parsed.

#include "grading/grading.h"
#include "grading/explorer.h"

#include <string>
#include <vector>

struct Settings
{
    std::string exercise;
    Grading grading;
    int jobs = 1;
    std::string csv;
    std::string json;
    std::string cases; // empty: the ten; "extended": the built-in list; else a case file
    int explore = 0;   // generated strings added to a suite
    std::uint64_t seed = 0;
    Budget budget;
    std::vector<std::string> positional; // bytes, as the shell gave them
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
