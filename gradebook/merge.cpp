#include "gradebook/merge.h"

#include "gradebook/gradebook.h"
#include "judge/utf8.h"
#include "results/merging.h"
#include "results/resultsjson.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include <map>

namespace {

// Each part keeps its students' programs in its own folder: they come along into the merged one
// under the names the records give, "programs/<name>/<program>". A record whose program cannot
// come (a name that two parts both gave, a file gone) names none.
bool bring_programs(const std::vector<std::string> &folders, const std::vector<ClassResults> &parts,
                    const std::string &out, QByteArray &text, std::string &error)
{
    std::map<std::string, std::string> part_of; // student folder -> part's results folder
    for (std::size_t k = 0; k < parts.size(); ++k)
        for (const StudentRecord &student : parts[k].students)
            part_of[student.folder] = folders[k];
    QDir(from_utf8(out + "/programs")).removeRecursively();
    ClassResults merged;
    if (!parse_results(text, merged, error))
        return false;
    for (StudentRecord student : merged.students) {
        if (student.program.empty())
            continue;
        if (keep_program(part_of[student.folder] + "/" + student.program, out, student.program,
                         std::uint64_t(1) << 30))
            continue;
        student.program.clear();
        if (!replace_student(merged, student, text, error))
            return false;
    }
    return true;
}

} // namespace

bool merge_results(const std::vector<std::string> &folders, const std::string &out_folder,
                   std::string &error)
{
    std::vector<ClassResults> parts;
    std::vector<QJsonObject> shards;
    const QString out = QFileInfo(from_utf8(out_folder)).absoluteFilePath();
    for (const std::string &folder : folders) {
        if (QFileInfo(from_utf8(folder)).absoluteFilePath() == out) {
            error = out_folder + ": the merged results would overwrite one of the parts";
            return false;
        }
        ClassResults part;
        if (!read_results(folder + "/results.json", part, error))
            return false;
        shards.push_back(part.document);
        parts.push_back(std::move(part));
    }
    QJsonObject merged;
    if (!merge_documents(shards, merged, error))
        return false;
    if (!QDir().mkpath(out)) {
        error = out_folder + ": cannot be made";
        return false;
    }
    QByteArray text = QJsonDocument(merged).toJson(QJsonDocument::Indented);
    return bring_programs(folders, parts, out_folder, text, error)
           && write_results(out_folder + "/results.json", text, error);
}
