#pragma once

// The scoring rule: how a student's verdicts become points. Written into results.json's
// "scoring" so that a grade can always be traced back to the rule that gave it.

#include <QJsonObject>
#include <optional>
#include <string>
#include <vector>

struct StudentRecord;

struct CaseGroup
{
    std::string name;
    double weight = 1;
    bool all_or_nothing = false; // the group's share only when every case of it is correct
    std::vector<int> cases;      // indices into the student's cases
};

struct ScoringRule
{
    double points = 100;           // the maximum
    double memcheck_penalty = 0;   // taken off once when memory findings were reported
    std::vector<CaseGroup> groups; // none: every case counts the same
};

// The groups a grading on the extended list is scored by unless the class file gives its own:
// each of the ten strings (cases 1-10) a group, and the rest of the list, from case 11 on, one
// group more, all of weight 1. The extended list is made to find faults, not to weigh them: most
// of its strings try one edge of the rules each, so a fault of the container's core shows in a
// few of a hundred strings. Counted case by case, a queue that removes from the back scores 94%
// there against 40% on the ten; weighed so, the ten keep the weight the handout gives them and
// every fault the list finds beyond them still costs up to an eleventh.
std::vector<CaseGroup> extended_groups(int case_count);

// Points of one student under `rule`, rounded to hundredths:
//   no groups: correct / cases × points;
//   groups: the weighted mean of each group's share (correct / cases of the group, or 0 or 1
//   when all or nothing) × points; cases outside every group count nothing;
//   then the memcheck penalty, never below 0.
// Every status but "graded" earns 0, except "not graded": the grader failed for that student,
// which is no fault of theirs, so there are no points at all (nothing) rather than 0. Cases the
// grader failed to judge ("not graded") are left out of the count in the same spirit.
std::optional<double> score(const StudentRecord &student, const ScoringRule &rule);

// A rule is checked before a class is scored: positive maximum and weights, penalty within the
// maximum, group cases within `case_count` (when known, > 0). False with `error` set.
bool check_rule(const ScoringRule &rule, int case_count, std::string &error);

QJsonObject rule_to_json(const ScoringRule &rule);
ScoringRule rule_from_json(const QJsonObject &object);

// "12.5", "100", "66.67": points as the sheets write them.
std::string points_text(double points);
