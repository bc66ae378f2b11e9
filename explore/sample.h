#pragma once

// Which strings the memory-checking build runs. That build costs several times a plain run, so
// running it on every string of an exploration would more than double its cost; memory faults
// live at the boundaries, so a sample that reaches every operation at every boundary finds what
// the whole would: each option in each state of the container (empty, partly full, full) with
// each kind of number (0, 1, -1, other small ones, large ones, the int limits, words past them,
// non-integers, spellings with leading zeros), and each size of insertion and of option count
// (none, one, a few, past 50, 100, 1000 and 10000).

#include "explore/grammar.h"

#include <cstddef>
#include <string>
#include <vector>

// The boundaries `words` reaches, one word each, such as "C full" or "G empty 2147483647".
std::vector<std::string> boundary_features(const Words &words, Exercise exercise);

// The places in `strings` of the fewest words that together reach every boundary any of them
// reaches, in their order: for each boundary, the shortest string that reaches it is preferred.
std::vector<std::size_t> memcheck_sample(const std::vector<Words> &strings, Exercise exercise);
