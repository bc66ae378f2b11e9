#pragma once

// The numbers a program's sources are written with: array sizes, buffer lengths, loop bounds.
// A program built from its sources breaks most often at such a number, so the explorer tries
// each (as a capacity, a count, a position, a value and a word's length) and one either side.

#include "explore/grammar.h"

#include <string>
#include <vector>

// The integer literals of C++ source texts, sorted, each once. Comments, string and character
// literals (raw ones included) and the digits inside names are skipped; digit separators,
// hexadecimal, octal and binary literals and suffixes are read; floating literals, and integers
// beyond long long, are left out.
Dictionary source_numbers(const std::vector<std::string> &texts);
