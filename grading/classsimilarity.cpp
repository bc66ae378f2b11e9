#include "grading/classsimilarity.h"

#include <algorithm>
#include <fstream>

namespace {

// At most `limit` bytes of the file; false when it cannot be opened. Read piece by piece: the
// limit is megabytes and a source a few kilobytes, and a text made the limit's size first would
// keep that much memory for every file of the class, written over once, until the class is
// compared.
bool read_part(const std::string &path, std::size_t limit, std::string &text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.clear();
    char buffer[65536];
    while (text.size() < limit) {
        in.read(buffer, static_cast<std::streamsize>(std::min(sizeof buffer, limit - text.size())));
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (!in)
            break;
    }
    return true;
}

std::string shown_name(const Submission &s)
{
    if (s.id.empty())
        return s.full_name.empty() ? s.folder : s.full_name;
    return s.full_name + " (" + s.id + ")";
}

} // namespace

ClassSimilarityOutcome class_similarity(const std::vector<Submission> &students,
                                        const SimilarityRequest &request)
{
    ClassSimilarityOutcome out;
    std::vector<SourceFile> templates;
    for (const std::string &path : request.template_files) {
        SourceFile t{path, {}};
        if (!read_part(path, similarity_file_bytes, t.text)) {
            out.error = "cannot read the template file " + path;
            return out;
        }
        templates.push_back(std::move(t));
    }
    std::vector<StudentPrints> earlier;
    if (!request.earlier_results.empty()) {
        const std::string path = request.earlier_results + "/" + fingerprints_file_name;
        std::string text, why;
        // An earlier class of a thousand students keeps a few megabytes of hashes.
        if (!read_part(path, std::size_t(256) << 20, text)) {
            out.error = "cannot read " + path;
            return out;
        }
        if (!read_fingerprints(text, request.settings, earlier, why)) {
            out.error = path + ": " + why;
            return out;
        }
    }
    for (const Submission &sub : students) {
        if (sub.kind != SubmissionKind::Sources)
            continue;
        StudentSources sources{shown_name(sub), {}};
        std::vector<std::string> paths = sub.headers;
        paths.insert(paths.end(), sub.sources.begin(), sub.sources.end());
        std::sort(paths.begin(), paths.end());
        std::size_t budget = 4 * similarity_file_bytes;
        for (const std::string &path : paths) {
            SourceFile f;
            f.name = path.rfind(sub.path + "/", 0) == 0 ? path.substr(sub.path.size() + 1) : path;
            // A file that cannot be read now was read by the build: it is left out, not the
            // student.
            if (budget == 0 || !read_part(path, std::min(budget, similarity_file_bytes), f.text))
                continue;
            budget -= f.text.size();
            sources.files.push_back(std::move(f));
        }
        out.sources.push_back(std::move(sources));
        out.folders.push_back(sub.folder);
    }
    out.result = compare_class(out.sources, templates, earlier, request.settings);
    return out;
}
