#pragma once

// What the suite command and a class's grading both do with their cases: the reference's answers,
// each option string once, retried and checked before any student's run; and the one failing
// generated string of a program that is shrunk.

#include "grading/grading.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct ReferenceRun
{
    std::vector<ReferenceAnswer> answers; // one per option string
    // The first option string whose answer cannot be trusted, and why; none when all can.
    std::optional<std::size_t> failed;
    std::string problem;
    std::string error; // a working folder could not be made
};

// The reference's answers to `options`, up to `jobs` at a time, each worker in a working folder
// of its own below `workroot` (and so in one sandbox). One that the grader could not run (out of
// descriptors or processes with every job at once) runs once more, alone. Stops early, leaving
// the rest unanswered, when the grader is interrupted.
ReferenceRun reference_answers(const Grading &grading, const std::vector<std::string> &options,
                               int jobs, const std::string &workroot);

// The case to shrink: the first generated one (from `first_generated` on) that the program ran
// and failed; none when there is none.
std::optional<std::size_t> failure_to_shrink(const std::vector<CaseResult> &cases,
                                             std::size_t first_generated);
