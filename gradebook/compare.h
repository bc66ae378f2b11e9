#pragma once

// Regrading that can be reviewed: the students whose points or status changed between two
// gradings of the same class.

#include "gradebook/scoring.h"
#include "results/resultsjson.h"

#include <optional>
#include <string>
#include <vector>

struct Change
{
    std::string name, id, folder;
    std::string old_status, new_status; // empty: not in that grading
    std::optional<double> old_points, new_points;
};

// Students are matched by participant id, or by folder when they have none. The old grading's
// points are those of its own rule (its "scoring"); the new ones those given.
std::vector<Change> compare(const ClassResults &old_results, const ClassResults &new_results,
                            const std::vector<std::optional<double>> &new_points);

// One line a change: "张三 (101): 80 → 90", "李四 (102): does not compile → graded, 0 → 70".
std::string change_line(const Change &change);
