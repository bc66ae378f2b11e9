#include "gradebook/merge.h"

#include "gradebook/gradebook.h"
#include "judge/utf8.h"
#include "results/resultsjson.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

bool merge_results(const std::vector<std::string> &folders, const std::string &out_folder,
                   std::string &error)
{
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
    }
    QJsonObject merged;
    if (!merge_documents(shards, merged, error))
        return false;
    if (!QDir().mkpath(out)) {
        error = out_folder + ": cannot be made";
        return false;
    }
    return write_results(out_folder + "/results.json",
                         QJsonDocument(merged).toJson(QJsonDocument::Indented), error);
}
