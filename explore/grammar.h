#pragma once

// The grammar of the exercises' option strings, as the explorer draws them: which options come
// up how often, which numbers they take and which flaws are put in. Every rule and boundary of
// the handout (README.md, "The exercises") has a way to come up here; a new option, rule or
// exercise is a change in grammar.cpp only.

#include "explore/random.h"

#include <string>
#include <vector>

// An option string as the program receives it: one word per argument.
using Words = std::vector<std::string>;

// One option string for exercise `flag_stack` (0 stack, 1 queue, 2 queue made of two stacks).
Words generate_words(int flag_stack, Random &random);
