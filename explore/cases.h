#pragma once

// Lists of option strings for a suite: read from a case file, or the extended list written from
// the exercise rules. A case file holds one option string a line, exactly as the program receives
// it after its name (a leading blank is optional); lines starting with '#' and empty lines are
// skipped.

#include "explore/grammar.h"

#include <string>
#include <vector>

struct CaseList
{
    std::vector<std::string> options; // each beginning with the blank after the program name
    std::string error;                // empty when the list was read
};

CaseList parse_cases(const std::string &text);

// Reads the case file at `path` (a path in UTF-8).
CaseList read_case_file(const std::string &path);

// Every rule and boundary of the handout for `exercise`, including the string with no options at
// all, and the sizes, numbers and counts of options where programs with fixed arrays and buffers
// break.
std::vector<std::string> extended_cases(Exercise exercise);

// The option string that gives the program `words` as its arguments once the command line is
// split as the window splits it: each word after a blank, an empty word or one holding blanks or
// quotes in quotes.
std::string options_line(const Words &words);
