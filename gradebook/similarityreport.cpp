#include "gradebook/similarityreport.h"

#include "gradebook/gradebook.h"
#include "gradebook/sheets.h"
#include "judge/utf8.h"

#include <kainjow/mustache.hpp>

#include <QDir>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>

using kainjow::mustache::data;
using kainjow::mustache::mustache;

namespace {

// Of a hostile source, this much is shown: a solution of the lab is a few hundred lines.
constexpr std::size_t shown_lines = 5000;
constexpr std::size_t shown_line_bytes = 1000;

const char page_template[] = R"(<!DOCTYPE html>
<html lang="{{lang}}"><head><meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{{title}}</title>
<style>
body { font-family: sans-serif; margin: 1em; color: #222; }
table { border-collapse: collapse; } th, td { border: 1px solid #ccc; padding: .2em .45em; text-align: left; vertical-align: top; }
table.sides { width: 100%; table-layout: fixed; }
pre { margin: 0; font-family: monospace; white-space: pre-wrap; word-break: break-all; }
h3 { font-size: 1em; margin: .8em 0 .2em; }
mark { background: #ffd54d; } .n { color: #888; user-select: none; } .cut { color: #666; font-size: .85em; }
</style></head>
<body>
<h1>{{title}}</h1>
<p>{{{summary}}}
{{marked_note}}</p>
<table><thead><tr><th>#</th><th>{{tokens_heading}}</th><th>{{a}}</th><th>{{b}}</th></tr></thead><tbody>
{{#fragments}}<tr><td>{{n}}</td><td>{{tokens}}</td><td>{{a_where}}</td><td>{{b_where}}</td></tr>
{{/fragments}}</tbody></table>
<table class="sides"><thead><tr><th>{{a}}</th><th>{{b}}</th></tr></thead><tbody><tr><td>
{{{a_files}}}</td><td>
{{{b_files}}}</td></tr></tbody></table>
</body></html>
)";

const char section_template[] = R"(<h2>{{heading}}</h2>
<p>{{counts}} {{never_count}}</p>
{{#groups}}<p>{{group_line}}</p>
{{/groups}}{{#has_flagged}}<table id="similar"><thead><tr>{{#columns}}<th>{{.}}</th>{{/columns}}</tr></thead><tbody>
{{#rows}}<tr><td>{{a}}</td><td>{{b}}{{#earlier}}{{earlier_class}}{{/earlier}}</td><td>{{#page}}<a href="{{page}}">{{similarity}}</a>{{/page}}{{^page}}{{similarity}}{{/page}}</td><td>{{coverage}}</td><td>{{longest}}</td><td>{{group}}</td></tr>
{{/rows}}</tbody></table>
{{/has_flagged}})";

const char overview_template[] = R"(<!DOCTYPE html>
<html lang="{{lang}}"><head><meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{{heading}}</title>
<style>
body { font-family: sans-serif; margin: 1.5em auto; max-width: 70em; color: #222; }
table { border-collapse: collapse; } th, td { border: 1px solid #ccc; padding: .2em .45em; text-align: left; }
th { background: #f2f2f2; }
</style></head>
<body>
{{{section}}}</body></html>
)";

const char file_template[] = R"(<h3>{{name}}</h3>
<pre>{{#lines}}<span class="n">{{n}} </span>{{#marked}}<mark>{{text}}</mark>{{/marked}}{{^marked}}{{text}}{{/marked}}
{{/lines}}</pre>{{#cut}}<p class="cut">{{cut}}</p>{{/cut}}
)";

mustache &compiled(const char *text)
{
    thread_local std::map<const char *, mustache> cache;
    auto found = cache.find(text);
    if (found == cache.end())
        found = cache.emplace(text, mustache(text)).first;
    return found->second;
}

std::string ratio(double x)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.3f", x);
    return text;
}

// A student's text as the page shows it: no NUL (a browser may drop the rest), long lines cut.
std::string shown(std::string line)
{
    if (line.size() > shown_line_bytes) {
        std::size_t cut = shown_line_bytes;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 character
        line = line.substr(0, cut) + " … (" + std::to_string(line.size()) + " bytes)";
    }
    std::string out;
    for (char c : line)
        out += c == '\0' ? std::string("\xEF\xBF\xBD") : std::string(1, c);
    return out;
}

// Each file of one side with the lines of its fragments marked.
std::string side(const StudentSources &sources, const std::vector<Fragment> &fragments, bool first,
                 const Language &l)
{
    std::string out;
    for (std::size_t f = 0; f < sources.files.size(); ++f) {
        const std::string &text = sources.files[f].text;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> marked;
        for (const Fragment &g : fragments) {
            if ((first ? g.a_file : g.b_file) == f)
                marked.emplace_back(first ? g.a_first_line : g.b_first_line,
                                    first ? g.a_last_line : g.b_last_line);
        }
        data lines{data::type::list};
        std::size_t at = 0, n = 0;
        while (at < text.size() && n < shown_lines) {
            std::size_t end = text.find('\n', at);
            if (end == std::string::npos)
                end = text.size();
            ++n;
            bool mark = false;
            for (const auto &[low, high] : marked)
                mark = mark || (n >= low && n <= high);
            data line;
            line.set("n", std::to_string(n));
            line.set("text", shown(text.substr(at, end - at)));
            line.set("marked", mark);
            lines.push_back(std::move(line));
            at = end + 1;
        }
        data d;
        d.set("name", sources.files[f].name);
        d.set("lines", std::move(lines));
        if (at < text.size())
            d.set("cut",
                  l.text_in("Similarity",
                            QT_TRANSLATE_N_NOOP("Similarity", "… the rest, %n byte(s), not shown"),
                            static_cast<int>(std::min<std::size_t>(text.size() - at, INT_MAX))));
        out += compiled(file_template).render(d);
    }
    return out;
}

// "stack.cpp lines 3–40": in English for similarity.csv, else in the page's language.
std::string where(const StudentPrints &s, std::uint32_t file, std::uint32_t first,
                  std::uint32_t last, const Language *l = nullptr)
{
    const std::string name = file < s.file_names.size() ? s.file_names[file] : std::string();
    const char *pattern = QT_TRANSLATE_NOOP("Similarity", "%1 lines %2–%3");
    return fill(l ? l->text_in("Similarity", pattern) : std::string(pattern),
                {name, std::to_string(first), std::to_string(last)});
}

std::string in(const Language &l, const char *source, int n = -1)
{
    return l.text_in("Similarity", source, n);
}

} // namespace

std::string similarity_csv(const ClassSimilarity &result)
{
    std::string out = utf8_bom;
    out += csv_row({"Student", "Other student", "Similarity", "Larger coverage",
                    "Shared fingerprints", "Longest shared tokens", "Lines (student)",
                    "Lines (other)", "Flagged", "Group", "Other is of an earlier class", "Page"});
    for (std::size_t i = 0; i < result.pairs.size(); ++i) {
        const SimilarPair &p = result.pairs[i];
        const StudentPrints &a = result.students[p.a], &b = result.students[p.b];
        std::string lines_a, lines_b;
        for (const Fragment &f : p.fragments) {
            if (f.tokens() != p.longest)
                continue;
            lines_a = where(a, f.a_file, f.a_first_line, f.a_last_line);
            lines_b = where(b, f.b_file, f.b_first_line, f.b_last_line);
            break;
        }
        out += csv_row(
            {spreadsheet_text(a.student), spreadsheet_text(b.student), ratio(p.similarity),
             ratio(p.coverage), std::to_string(p.shared), std::to_string(p.longest),
             spreadsheet_text(lines_a), spreadsheet_text(lines_b), p.flagged ? "yes" : "no",
             p.group >= 0 ? std::to_string(p.group + 1) : std::string(), b.earlier ? "yes" : "no",
             p.flagged && !b.earlier ? similarity_page_name(result, i) : std::string()});
    }
    return out;
}

std::string similarity_section(const ClassSimilarity &result, const Language &l)
{
    data d;
    std::size_t flagged = 0;
    data rows{data::type::list};
    for (std::size_t i = 0; i < result.pairs.size(); ++i) {
        const SimilarPair &p = result.pairs[i];
        if (!p.flagged)
            continue;
        ++flagged;
        const bool earlier = result.students[p.b].earlier;
        data row;
        row.set("a", result.students[p.a].student);
        row.set("b", result.students[p.b].student);
        row.set("earlier", earlier);
        row.set("earlier_class", in(l, QT_TRANSLATE_NOOP("Similarity", " (earlier class)")));
        row.set("similarity", ratio(p.similarity));
        row.set("coverage", ratio(p.coverage));
        row.set("longest", earlier ? std::string() : std::to_string(p.longest));
        row.set("group", p.group >= 0 ? std::to_string(p.group + 1) : std::string());
        if (earlier)
            row.set("page", false);
        else
            row.set("page", similarity_page_name(result, i));
        rows.push_back(std::move(row));
    }
    data groups{data::type::list};
    for (std::size_t g = 0; g < result.groups.size(); ++g) {
        std::string members;
        for (std::size_t s : result.groups[g])
            members += (members.empty() ? "" : in(l, QT_TRANSLATE_NOOP("Similarity", ", ")))
                       + result.students[s].student;
        data group;
        group.set("group_line", fill(in(l, QT_TRANSLATE_NOOP("Similarity", "Group %1: %2")),
                                     {std::to_string(g + 1), members}));
        groups.push_back(std::move(group));
    }
    d.set("heading", in(l, QT_TRANSLATE_NOOP("Similarity", "Similar sources")));
    const std::string in_groups = result.groups.empty()
                                      ? std::string()
                                      : in(l, QT_TRANSLATE_N_NOOP("Similarity", ", in %n group(s)"),
                                           static_cast<int>(result.groups.size()));
    d.set("counts", fill(in(l, QT_TRANSLATE_NOOP("Similarity", "%1 of %2 sharing anything%3.")),
                         {in(l, QT_TRANSLATE_N_NOOP("Similarity", "%n flagged pair(s)"),
                             static_cast<int>(flagged)),
                          in(l, QT_TRANSLATE_N_NOOP("Similarity", "%n pair(s)"),
                             static_cast<int>(result.pairs.size())),
                          in_groups}));
    d.set("never_count",
          in(l, QT_TRANSLATE_NOOP("Similarity", "The template handed out and code most of the "
                                                "class writes alike never count.")));
    data columns{data::type::list};
    for (const char *column : {QT_TRANSLATE_NOOP("Similarity", "Student"),
                               QT_TRANSLATE_NOOP("Similarity", "Other student"),
                               QT_TRANSLATE_NOOP("Similarity", "Similarity"),
                               QT_TRANSLATE_NOOP("Similarity", "Larger coverage"),
                               QT_TRANSLATE_NOOP("Similarity", "Longest shared tokens"),
                               QT_TRANSLATE_NOOP("Similarity", "Group")})
        columns.push_back(in(l, column));
    d.set("columns", std::move(columns));
    d.set("groups", std::move(groups));
    d.set("has_flagged", flagged > 0);
    d.set("rows", std::move(rows));
    return compiled(section_template).render(d);
}

std::string similarity_overview_page(const ClassSimilarity &result, const Language &language)
{
    data d;
    d.set("lang", language.html_name());
    d.set("heading", in(language, QT_TRANSLATE_NOOP("Similarity", "Similar sources")));
    d.set("section", similarity_section(result, language));
    return compiled(overview_template).render(d);
}

std::string similarity_page_name(const ClassSimilarity &, std::size_t index)
{
    // Numbered, never named after a student: a student's name is no file name.
    return std::string(similarity_pages_folder) + "/pair-" + std::to_string(index + 1) + ".html";
}

std::string similarity_pair_page(const ClassSimilarity &result, std::size_t index,
                                 const std::vector<StudentSources> &sources, const Language &l)
{
    const SimilarPair &p = result.pairs.at(index);
    const StudentPrints &a = result.students.at(p.a), &b = result.students.at(p.b);
    data d;
    d.set("lang", l.html_name());
    d.set("a", a.student);
    d.set("b", b.student);
    d.set("title", fill(in(l, QT_TRANSLATE_NOOP("Similarity", "Similar: %1 and %2")),
                        {a.student, b.student}));
    // Numbers and the translation's own words only: it goes into the page unescaped, for its <b>.
    d.set(
        "summary",
        fill(in(l, QT_TRANSLATE_NOOP("Similarity",
                                     "Similarity <b>%1</b> · the larger coverage %2 · %3 · "
                                     "longest shared fragment %4%5.")),
             {ratio(p.similarity), ratio(p.coverage),
              in(l, QT_TRANSLATE_N_NOOP("Similarity", "%n shared fingerprint(s)"),
                 static_cast<int>(p.shared)),
              in(l, QT_TRANSLATE_N_NOOP("Similarity", "%n token(s)"), static_cast<int>(p.longest)),
              p.group >= 0 ? fill(in(l, QT_TRANSLATE_NOOP("Similarity", " · group %1")),
                                  {std::to_string(p.group + 1)})
                           : std::string()}));
    d.set("marked_note",
          in(l, QT_TRANSLATE_NOOP("Similarity", "Marked lines hold a shared fragment; the "
                                                "template handed out and code most of the class "
                                                "writes alike are never marked.")));
    d.set("tokens_heading", in(l, QT_TRANSLATE_NOOP("Similarity", "Tokens")));
    data fragments{data::type::list};
    for (std::size_t i = 0; i < p.fragments.size(); ++i) {
        const Fragment &f = p.fragments[i];
        data row;
        row.set("n", std::to_string(i + 1));
        row.set("tokens", std::to_string(f.tokens()));
        row.set("a_where", where(a, f.a_file, f.a_first_line, f.a_last_line, &l));
        row.set("b_where", where(b, f.b_file, f.b_first_line, f.b_last_line, &l));
        fragments.push_back(std::move(row));
    }
    d.set("fragments", std::move(fragments));
    d.set("a_files", side(sources.at(p.a), p.fragments, true, l));
    d.set("b_files", p.b < sources.size() ? side(sources.at(p.b), p.fragments, false, l) : "");
    return compiled(page_template).render(d);
}

bool write_similarity_outputs(const std::string &results_folder, const ClassSimilarity &result,
                              const std::vector<StudentSources> &sources, const Language &language,
                              std::string &error)
{
    if (!write_file(results_folder + "/" + similarity_csv_name, similarity_csv(result), error)
        || !write_file(results_folder + "/" + similarity_overview_name,
                       similarity_overview_page(result, language), error)
        || !write_file(results_folder + "/" + fingerprints_file_name, write_fingerprints(result),
                       error))
        return false;
    const QString pages = from_utf8(results_folder + "/" + similarity_pages_folder);
    // Pages of an earlier grading into the same folder would name pairs that are no more.
    QDir(pages).removeRecursively();
    bool made = false;
    for (std::size_t i = 0; i < result.pairs.size(); ++i) {
        const SimilarPair &p = result.pairs[i];
        if (!p.flagged || result.students[p.b].earlier)
            continue;
        if (!made && !(made = QDir().mkpath(pages))) {
            error = "cannot create " + results_folder + "/" + similarity_pages_folder;
            return false;
        }
        if (!write_file(results_folder + "/" + similarity_page_name(result, i),
                        similarity_pair_page(result, i, sources, language), error))
            return false;
    }
    return true;
}

void add_similar(std::vector<StudentRecord> &students, const ClassSimilarity &result,
                 const std::vector<std::string> &folders)
{
    std::map<std::string, std::vector<SimilarityRecord>> found;
    auto record = [&](std::size_t i, bool earlier, const SimilarPair &p) {
        return SimilarityRecord{i < folders.size() && !earlier ? folders[i]
                                                               : result.students[i].student,
                                earlier, p.similarity, p.coverage, static_cast<int>(p.longest)};
    };
    for (const SimilarPair &p : result.pairs) {
        if (!p.flagged || p.a >= folders.size())
            continue;
        const bool earlier = result.students[p.b].earlier;
        found[folders[p.a]].push_back(record(p.b, earlier, p));
        if (!earlier)
            found[folders[p.b]].push_back(record(p.a, false, p));
    }
    for (StudentRecord &s : students) {
        std::vector<SimilarityRecord> similar = std::move(found[s.folder]);
        for (const std::string &copy : s.copies) {
            auto same
                = std::find_if(similar.begin(), similar.end(), [&](const SimilarityRecord &r) {
                      return !r.earlier && r.student == copy;
                  });
            if (same == similar.end())
                same = similar.insert(similar.end(), SimilarityRecord{copy});
            same->similarity = same->coverage = 1.0;
        }
        std::stable_sort(similar.begin(), similar.end(),
                         [](const SimilarityRecord &x, const SimilarityRecord &y) {
                             return x.similarity > y.similarity;
                         });
        s.similar = std::move(similar);
    }
}
