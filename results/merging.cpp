#include "results/merging.h"

#include "judge/utf8.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace {

// What must be the same in every shard for the parts to be one grading.
const char *const same_everywhere[] = {"format_version", "orvimet", "exercise", "cases",
                                       "limits",         "sandbox", "build",    "give_up_after"};

std::string text(const QJsonObject &object, const char *key)
{
    return to_utf8(object.value(QLatin1String(key)).toString());
}

std::string shown(const QJsonValue &value)
{
    return QJsonDocument(QJsonArray{value})
        .toJson(QJsonDocument::Compact)
        .mid(1)
        .chopped(1)
        .toStdString();
}

// Each part saw only its own students' sources: exact copies are found again over the whole
// class, as one run finds them, by the hash of the sources a build was made from.
void find_copies_again(std::vector<QJsonObject> &students)
{
    const auto hash_of = [](const QJsonObject &student) {
        return student.value(QLatin1String("build"))
            .toObject()
            .value(QLatin1String("hash"))
            .toString();
    };
    std::map<QString, std::vector<std::size_t>> by_hash;
    for (std::size_t i = 0; i < students.size(); ++i) {
        const QString hash = hash_of(students[i]);
        if (!hash.isEmpty())
            by_hash[hash].push_back(i);
    }
    for (std::size_t i = 0; i < students.size(); ++i) {
        QJsonArray copies;
        const auto group = by_hash.find(hash_of(students[i]));
        for (std::size_t j : group == by_hash.end() ? std::vector<std::size_t>() : group->second) {
            if (j != i)
                copies.append(students[j].value(QLatin1String("folder")));
        }
        students[i].insert(QStringLiteral("copies"), copies);
    }
}

// The first member in which `b` differs from `a`, named by its path ("cases.seed is 7, not 42"),
// so that the teacher sees which setting of a part was another; empty when they are equal.
std::string first_difference(const std::string &path, const QJsonValue &a, const QJsonValue &b)
{
    if (a == b)
        return {};
    if (a.isObject() && b.isObject()) {
        const QJsonObject x = a.toObject(), y = b.toObject();
        QStringList keys = x.keys() + y.keys();
        keys.removeDuplicates();
        for (const QString &key : keys) {
            const std::string inner
                = first_difference(path + "." + to_utf8(key), x.value(key), y.value(key));
            if (!inner.empty())
                return inner;
        }
    }
    return "\"" + path + "\" is " + shown(b) + ", not " + shown(a);
}

} // namespace

bool merge_documents(const std::vector<QJsonObject> &shards, QJsonObject &merged,
                     std::string &error)
{
    if (shards.empty()) {
        error = "no results to merge";
        return false;
    }
    const QJsonObject &first = shards.front();
    QJsonArray students;
    QJsonObject totals;
    std::set<std::string> folders;
    std::set<int> indices;
    int count = -1;
    QString date;
    bool from_course_website = true;
    for (std::size_t k = 0; k < shards.size(); ++k) {
        const QJsonObject &shard = shards[k];
        const std::string which = "part " + std::to_string(k + 1);
        for (const char *key : same_everywhere) {
            const std::string difference = first_difference(key, first.value(QLatin1String(key)),
                                                            shard.value(QLatin1String(key)));
            if (!difference.empty()) {
                error = which + " was graded differently from part 1: " + difference;
                return false;
            }
        }
        if (!shard.value(QLatin1String("complete")).toBool()) {
            error = which + " did not finish; grade that shard again";
            return false;
        }
        const QJsonValue place = shard.value(QLatin1String("shard"));
        if (place.isObject()) {
            const int index = place.toObject().value(QLatin1String("part")).toInt();
            const int of = place.toObject().value(QLatin1String("of")).toInt();
            if ((count >= 0 && of != count) || index < 1 || index > of
                || !indices.insert(index).second) {
                error = which + " is shard " + std::to_string(index) + "/" + std::to_string(of)
                        + ", which does not fit with the other parts";
                return false;
            }
            count = of;
        }
        date = std::max(date, shard.value(QLatin1String("date")).toString());
        from_course_website
            = from_course_website && shard.value(QLatin1String("from_course_website")).toBool();
        for (const QJsonValue &student : shard.value(QLatin1String("students")).toArray()) {
            const std::string folder = text(student.toObject(), "folder");
            if (!folders.insert(folder).second) {
                error = "\"" + folder + "\" is in more than one part";
                return false;
            }
            students.append(student);
        }
        const QJsonObject part_totals = shard.value(QLatin1String("totals")).toObject();
        for (auto it = part_totals.begin(); it != part_totals.end(); ++it)
            totals.insert(it.key(), totals.value(it.key()).toInt() + it.value().toInt());
    }
    if (count >= 0 && static_cast<int>(indices.size()) != count) {
        std::string missing;
        for (int i = 1; i <= count; ++i)
            if (!indices.count(i))
                missing += (missing.empty() ? "" : ", ") + std::to_string(i) + "/"
                           + std::to_string(count);
        error = "shard " + missing + " is missing";
        return false;
    }
    std::vector<QJsonObject> sorted;
    for (const QJsonValue &student : students)
        sorted.push_back(student.toObject());
    std::stable_sort(sorted.begin(), sorted.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return std::make_tuple(text(a, "name"), text(a, "id"), text(a, "folder"))
               < std::make_tuple(text(b, "name"), text(b, "id"), text(b, "folder"));
    });
    find_copies_again(sorted);
    QJsonArray ordered;
    for (const QJsonObject &student : sorted)
        ordered.append(student);

    merged = first;
    // The parts together are the whole class, as one run would say.
    if (count >= 0)
        merged.insert(QStringLiteral("shard"), QJsonObject{{"part", 1}, {"of", 1}});
    else
        merged.remove(QStringLiteral("shard"));
    merged.insert(QStringLiteral("date"), date);
    merged.insert(QStringLiteral("from_course_website"), from_course_website);
    merged.insert(QStringLiteral("totals"), totals);
    merged.insert(QStringLiteral("students"), ordered);
    return true;
}
