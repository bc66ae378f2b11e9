#pragma once

// The explored strings the memory check runs. A sanitized run costs several ordinary ones, so the
// check cannot afford every explored string; what it must not miss is a fault that only some
// state or some value wakes: a copy that overruns only a full container, a buffer that only the
// longest number overflows. So a string is taken when it is the first to bring something new:
// an operation in a state of the container not seen with it yet (empty, one element, one short
// of full, full, or in between; before any -S), an operation's number of a kind not seen with it
// yet (0, 1, negative, the int limits, out of range, not an integer, equal to the number of
// elements or one either side of it, equal to the capacity, leading zeros, by its number of
// digits), an insertion that fills or overfills, or a size of the string not seen yet (elements,
// capacity and options, each by its power of two). These are finitely many, so the sample stays
// small however long the exploration (about 175 of 2000 strings); earlier strings are shorter, so
// the first to bring a thing is also the cheapest to run and to shrink.

#include "explore/grammar.h"

#include <cstddef>
#include <vector>

// The indices of `strings` to run under the sanitizers, in order. The same choice picks, beside
// the cases, the extended list's strings that bring something no case brought (about 60 of its
// 112 to 136 after the ten strings).
std::vector<std::size_t> memcheck_sample(const std::vector<Words> &strings);
