#include "gradebook/scoring.h"

#include "judge/utf8.h"
#include "results/resultsjson.h"

#include <QJsonArray>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

double round_hundredths(double value)
{
    return std::round(value * 100.0) / 100.0;
}

} // namespace

std::optional<double> score(const StudentRecord &student, const ScoringRule &rule)
{
    if (student.status == Status::NotGraded)
        return std::nullopt;
    if (student.status != Status::Graded)
        return 0.0;
    const auto counts = [&](int index, int &judged, int &correct) {
        if (index < 0 || static_cast<std::size_t>(index) >= student.cases.size())
            return;
        const Verdict verdict = student.cases[static_cast<std::size_t>(index)].verdict;
        if (verdict == Verdict::NotGraded)
            return;
        ++judged;
        if (verdict == Verdict::Correct)
            ++correct;
    };
    double share = 0;
    if (rule.groups.empty()) {
        int judged = 0, correct = 0;
        for (std::size_t i = 0; i < student.cases.size(); ++i)
            counts(static_cast<int>(i), judged, correct);
        share = judged > 0 ? double(correct) / judged : 0.0;
    } else {
        double weights = 0, sum = 0;
        for (const CaseGroup &group : rule.groups) {
            int judged = 0, correct = 0;
            for (int index : group.cases)
                counts(index, judged, correct);
            if (judged == 0)
                continue;
            const double fraction
                = group.all_or_nothing ? (correct == judged ? 1.0 : 0.0) : double(correct) / judged;
            weights += group.weight;
            sum += group.weight * fraction;
        }
        share = weights > 0 ? sum / weights : 0.0;
    }
    double points = share * rule.points;
    if (student.memcheck_findings > 0)
        points -= rule.memcheck_penalty;
    return round_hundredths(std::max(0.0, points));
}

std::vector<CaseGroup> extended_groups(int case_count)
{
    std::vector<CaseGroup> groups;
    for (int i = 0; i < std::min(case_count, 10); ++i)
        groups.push_back({"string " + std::to_string(i + 1), 1, false, {i}});
    if (case_count > 10) {
        CaseGroup rest{"the extended list", 1, false, {}};
        for (int i = 10; i < case_count; ++i)
            rest.cases.push_back(i);
        groups.push_back(std::move(rest));
    }
    return groups;
}

bool check_rule(const ScoringRule &rule, int case_count, std::string &error)
{
    if (!(rule.points > 0) || !std::isfinite(rule.points)) {
        error = "the maximum points must be a positive number";
        return false;
    }
    if (!(rule.memcheck_penalty >= 0) || rule.memcheck_penalty > rule.points) {
        error = "the memcheck penalty must lie between 0 and the maximum points ("
                + points_text(rule.points) + ")";
        return false;
    }
    for (const CaseGroup &group : rule.groups) {
        const std::string which = "group \"" + group.name + "\"";
        if (!(group.weight > 0) || !std::isfinite(group.weight)) {
            error = which + ": the weight must be a positive number";
            return false;
        }
        if (group.cases.empty()) {
            error = which + " has no cases";
            return false;
        }
        for (int index : group.cases) {
            if (index < 0 || (case_count > 0 && index >= case_count)) {
                // Said in the class file's numbering, from 1.
                error = which + ": case " + std::to_string(index + 1)
                        + " does not exist (cases are "
                        + (case_count > 0 ? "1 to " + std::to_string(case_count)
                                          : std::string("numbered from 1"))
                        + ")";
                return false;
            }
        }
    }
    return true;
}

QJsonObject rule_to_json(const ScoringRule &rule)
{
    QJsonArray groups;
    for (const CaseGroup &group : rule.groups) {
        QJsonArray cases;
        for (int index : group.cases)
            cases.append(index);
        groups.append(QJsonObject{{QStringLiteral("name"), from_utf8(group.name)},
                                  {QStringLiteral("weight"), group.weight},
                                  {QStringLiteral("all_or_nothing"), group.all_or_nothing},
                                  {QStringLiteral("cases"), cases}});
    }
    return QJsonObject{{QStringLiteral("points"), rule.points},
                       {QStringLiteral("memcheck_penalty"), rule.memcheck_penalty},
                       {QStringLiteral("groups"), groups}};
}

ScoringRule rule_from_json(const QJsonObject &object)
{
    ScoringRule rule;
    rule.points = object.value(QLatin1String("points")).toDouble(100);
    rule.memcheck_penalty = object.value(QLatin1String("memcheck_penalty")).toDouble(0);
    for (const QJsonValue &value : object.value(QLatin1String("groups")).toArray()) {
        const QJsonObject g = value.toObject();
        CaseGroup group;
        group.name = to_utf8(g.value(QLatin1String("name")).toString());
        group.weight = g.value(QLatin1String("weight")).toDouble(1);
        group.all_or_nothing = g.value(QLatin1String("all_or_nothing")).toBool();
        for (const QJsonValue &index : g.value(QLatin1String("cases")).toArray())
            group.cases.push_back(index.toInt());
        rule.groups.push_back(std::move(group));
    }
    return rule;
}

std::string points_text(double points)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", points);
    std::string text = buffer;
    // Trailing zeros say nothing and read as noise in a grade column.
    while (!text.empty() && text.back() == '0')
        text.pop_back();
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text == "-0" ? "0" : text;
}
