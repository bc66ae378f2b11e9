#pragma once

// The grammar of the exercises' option strings, as the explorer draws them: which options come
// up how often, which numbers they take and which flaws are put in. Every rule and boundary of
// the handout (README.md, "The exercises") has a way to come up here; a new option, rule or
// exercise is a change in grammar.cpp only.

#include "explore/random.h"
#include "judge/exercise.h"

#include <string>
#include <vector>

// An option string as the program receives it: one word per argument.
using Words = std::vector<std::string>;

// Numbers worth trying besides the grammar's own boundaries, such as those a program's sources
// name (explore/literals.h): each is tried as a capacity, a count, a position and a value, and
// one either side.
using Dictionary = std::vector<long long>;

// The option string at place `index` (from 0) of a run for `exercise`. Strings grow with their
// place: the first are short, later ones reach thousands of elements or thousands of options,
// and most stay short. Every third string is aimed at one boundary (boundary_numbers(), after the
// dictionary's numbers), taken in turn, so that each comes up in every run of a few hundred strings
// whatever the seed; some of those hold that many options, one either side.
Words generate_words(Exercise exercise, Random &random, int index = 0,
                     const Dictionary &dictionary = {});

// Where programs break, in the order the aimed strings take them: 0 and 1, powers of two and
// decimal round numbers (each with one either side: 127, 128, 129, 999, 1000, 1001), and the
// int limits with one inside.
const std::vector<long long> &boundary_numbers();

// The strings every run starts with, whatever the seed, before chance takes over: the empty
// string first, then each option's number at its boundaries (0, 1, -1, the container's size and
// one either side, the int limits) in states where they differ: empty, full, and, for the
// queues, with its front moved on; then each value and capacity at the int limits.
std::vector<Words> opening_words(Exercise exercise);

// The most elements a string at place `index` puts in a container.
long long largest_count(int index);
