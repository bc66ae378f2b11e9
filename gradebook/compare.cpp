#include "gradebook/compare.h"

#include <map>

namespace {

std::string key_of(const StudentRecord &s)
{
    return s.id.empty() ? "folder:" + s.folder : s.id;
}

std::string points_or_dash(const std::optional<double> &points)
{
    return points ? points_text(*points) : "-";
}

} // namespace

std::vector<Change> compare(const ClassResults &old_results, const ClassResults &new_results,
                            const std::vector<std::optional<double>> &new_points)
{
    const ScoringRule old_rule = rule_from_json(old_results.scoring);
    std::map<std::string, std::size_t> old_index;
    for (std::size_t i = 0; i < old_results.students.size(); ++i)
        old_index.emplace(key_of(old_results.students[i]), i);
    std::vector<bool> seen(old_results.students.size(), false);
    std::vector<Change> changes;
    for (std::size_t i = 0; i < new_results.students.size(); ++i) {
        const StudentRecord &now = new_results.students[i];
        Change change{now.name,         now.id,       now.folder,   {},
                      word(now.status), std::nullopt, new_points[i]};
        const auto found = old_index.find(key_of(now));
        if (found != old_index.end()) {
            seen[found->second] = true;
            const StudentRecord &before = old_results.students[found->second];
            change.old_status = word(before.status);
            change.old_points = score(before, old_rule);
        }
        if (change.old_status != change.new_status || change.old_points != change.new_points)
            changes.push_back(std::move(change));
    }
    for (std::size_t i = 0; i < old_results.students.size(); ++i) {
        const StudentRecord &before = old_results.students[i];
        if (!seen[i])
            changes.push_back({before.name,
                               before.id,
                               before.folder,
                               word(before.status),
                               {},
                               score(before, old_rule),
                               std::nullopt});
    }
    return changes;
}

std::string change_line(const Change &c)
{
    std::string line = c.name + " (" + (c.id.empty() ? c.folder : c.id) + "): ";
    if (c.old_status.empty())
        return line + "new, " + c.new_status + ", " + points_or_dash(c.new_points);
    if (c.new_status.empty())
        return line + "no longer in the class (was " + c.old_status + ", "
               + points_or_dash(c.old_points) + ")";
    if (c.old_status != c.new_status)
        line += c.old_status + " → " + c.new_status + ", ";
    return line + points_or_dash(c.old_points) + " → " + points_or_dash(c.new_points);
}
