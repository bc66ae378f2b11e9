#pragma once

// Shrinking a failing option string: smaller strings are tried, one reduction step at a time,
// for as long as the program still answers differently from the reference.

#include "explore/grammar.h"

#include <functional>
#include <vector>

// Every string one reduction step away from `words`, in the order they are tried: cutting off
// the options from one on, removing an option with its values, putting 0 in place of every value
// of an option, keeping only the first quarter, eighth ... of an option's values, removing half,
// a quarter, an eighth ... a sixteenth of them at a time, putting
// a simpler word in place of a number of -S, -O, -G or -A, lowering a capacity by one with the
// last value of a later insertion removed, removing one word, and putting a
// simpler word in place of any other (an integer written plainly, nearer to 0, or a non-integer
// as "0" or "x"). Each step makes the string strictly smaller, by
// words, then by the sum of the integers' sizes, then by characters, so that no chain of steps
// runs in a circle.
std::vector<Words> reductions(const Words &words, Exercise exercise);

struct Shrinking
{
    Words words; // when complete, no single reduction of it still fails: it is 1-minimal
    int steps = 0;
    bool complete = true; // false when `out_of_time` stopped it first
};

// Takes reductions of `words` while `fails` holds for them, until none does or `out_of_time`
// (when given) holds before a try. `fails(words)` must hold; `fails` may be called again for a
// string it has seen.
Shrinking shrink(Words words, Exercise exercise, const std::function<bool(const Words &)> &fails,
                 const std::function<bool()> &out_of_time = {});
