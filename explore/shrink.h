#pragma once

// Shrinking a failing option string: smaller strings are tried, one reduction step at a time,
// for as long as the program still answers differently from the reference.

#include "explore/grammar.h"

#include <functional>
#include <vector>

// Every string one reduction step away from `words`, in the order they are tried: cutting off
// the options from one on, removing an option with its values, removing one word, and putting a
// simpler word in place of one (an integer written plainly, nearer to 0, or a non-integer as "0"
// or "x"). Each step makes the string strictly smaller, by words, then by the sum of the
// integers' sizes, then by characters, so that no chain of steps runs in a circle.
std::vector<Words> reductions(const Words &words);

struct Shrinking
{
    Words words; // no single reduction of it still fails: it is 1-minimal
    int steps = 0;
};

// Takes reductions of `words` while `fails` holds for them, until none does. `fails(words)` must
// hold; `fails` may be called again for a string it has seen.
Shrinking shrink(Words words, const std::function<bool(const Words &)> &fails);
