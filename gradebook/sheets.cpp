#include "gradebook/sheets.h"

#include "judge/utf8.h"

#include <csv.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

// Bytes of the UTF-8 sequence starting at `i`, or 0 when none starts there (overlong forms,
// surrogates and values above U+10FFFF are not UTF-8).

std::string lower_trimmed(const std::string &text)
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    std::string out = text.substr(begin, end - begin);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return c < 0x80 ? char(std::tolower(c)) : char(c); });
    return out;
}

// Header texts of the worksheet's columns in the interface languages teachers of this course
// use; compared whole, so "Maximum Grade" is never taken for "Grade".
const std::vector<std::string> grade_headers
    = {"grade", "成绩", "分数", "评分", "bewertung", "note", "calificación", "nota"};
const std::vector<std::string> modified_headers = {"last modified (grade)",
                                                   "最后修改（成绩）",
                                                   "最后修改(成绩)",
                                                   "成绩最后修改时间",
                                                   "zuletzt geändert (bewertung)",
                                                   "dernière modification (note)",
                                                   "última modificación (calificación)"};
const std::vector<std::string> feedback_headers = {"feedback comments",
                                                   "反馈评语",
                                                   "评语",
                                                   "feedback als kommentar",
                                                   "commentaires de feedback",
                                                   "comentarios de retroalimentación"};

int column_named(const std::vector<std::string> &header, const std::vector<std::string> &names)
{
    for (std::size_t c = 0; c < header.size(); ++c)
        if (std::find(names.begin(), names.end(), lower_trimmed(header[c])) != names.end())
            return static_cast<int>(c);
    return -1;
}

// The participant id of an identifier cell, "<word(s)> <digits>" in whatever language; empty
// for any other text.
std::string identifier_id(const std::string &cell)
{
    const std::string text = lower_trimmed(cell);
    const std::size_t space = text.find_last_of(' ');
    if (space == std::string::npos || space == 0 || space + 1 == text.size()
        || text.size() - space - 1 > 18)
        return {};
    const std::string digits = text.substr(space + 1);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return digits;
}

bool is_number(const std::string &cell, double &value)
{
    const std::string text = lower_trimmed(cell);
    if (text.empty())
        return false;
    std::string dotted = text;
    std::replace(dotted.begin(), dotted.end(), ',', '.'); // 12,50 where the comma is decimal
    char *end = nullptr;
    value = std::strtod(dotted.c_str(), &end);
    return end && *end == '\0';
}

std::string count_text(int count, const char *one, const char *many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void on_field(void *field, std::size_t length, void *data)
{
    auto *rows = static_cast<std::vector<std::vector<std::string>> *>(data);
    // The row in progress is always the last one.
    rows->back().emplace_back(static_cast<const char *>(field), length);
}

void on_row(int, void *data)
{
    static_cast<std::vector<std::vector<std::string>> *>(data)->emplace_back();
}

} // namespace

std::string csv_field(const std::string &text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string csv_row(const std::vector<std::string> &fields)
{
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        out += csv_field(fields[i]);
    }
    out += "\r\n";
    return out;
}

std::string spreadsheet_text(const std::string &text)
{
    if (!text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos)
        return "'" + text;
    return text;
}

std::string grades_csv(const ClassResults &results, const Points &points, const ScoringRule &rule)
{
    std::string out = utf8_bom;
    out += csv_row({"Name", "Id", "Status", "Points", "Maximum", "Correct", "Wrong", "Time-outs",
                    "Memory findings", "Exact copy of"});
    for (std::size_t i = 0; i < results.students.size(); ++i) {
        const StudentRecord &s = results.students[i];
        std::string copies;
        for (const std::string &copy : s.copies)
            copies += (copies.empty() ? "" : "; ") + copy;
        out += csv_row({spreadsheet_text(s.name), spreadsheet_text(s.id), word(s.status),
                        points[i] ? points_text(*points[i]) : "", points_text(rule.points),
                        std::to_string(s.correct), std::to_string(s.wrong),
                        std::to_string(s.timeouts), std::to_string(s.memcheck_findings),
                        spreadsheet_text(copies)});
    }
    return out;
}

std::string feedback_comment(const StudentRecord &s, std::optional<double> points,
                             const ScoringRule &rule)
{
    if (!points)
        return "Not graded yet: the grader could not judge this program; it will be graded again.";
    std::string text = points_text(*points) + " of " + points_text(rule.points) + " points. ";
    if (s.status != Status::Graded)
        return text + "Status: " + word(s.status) + ". See the attached feedback page.";
    const int judged = static_cast<int>(s.cases.size()) - s.not_graded;
    text += std::to_string(s.correct) + " of " + count_text(judged, "case", "cases") + " correct";
    if (s.timeouts > 0)
        text += ", " + count_text(s.timeouts, "time-out", "time-outs");
    if (s.crashes > 0)
        text += ", " + count_text(s.crashes, "crash", "crashes");
    text += ".";
    if (s.memcheck_findings > 0)
        text += " Memory findings: " + std::to_string(s.memcheck_findings)
                + (rule.memcheck_penalty > 0
                       ? " (-" + points_text(rule.memcheck_penalty) + " points)."
                       : ".");
    return text + " See the attached feedback page.";
}

std::string english_worksheet(const ClassResults &results, const Points &points,
                              const ScoringRule &rule)
{
    std::string out = utf8_bom;
    out += csv_row({"Identifier", "Full name", "Grade", "Maximum Grade", "Last modified (grade)",
                    "Feedback comments"});
    for (std::size_t i = 0; i < results.students.size(); ++i) {
        const StudentRecord &s = results.students[i];
        if (s.id.empty() || !points[i])
            continue;
        out += csv_row({"Participant " + s.id, spreadsheet_text(s.name), points_text(*points[i]),
                        points_text(rule.points), results.date,
                        feedback_comment(s, points[i], rule)});
    }
    return out;
}

bool parse_csv(const std::string &text, std::vector<std::vector<std::string>> &rows,
               std::string &error)
{
    std::string_view bytes = text;
    if (bytes.substr(0, 3) == utf8_bom)
        bytes.remove_prefix(3);
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
        error = "out of memory";
        return false;
    }
    rows.assign(1, {});
    const bool ok
        = csv_parse(&parser, bytes.data(), bytes.size(), on_field, on_row, &rows) == bytes.size()
          && csv_fini(&parser, on_field, on_row, &rows) == 0;
    if (!ok)
        error = std::string("not CSV: ") + csv_strerror(csv_error(&parser));
    csv_free(&parser);
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    return ok;
}

bool fill_worksheet(const std::string &worksheet, const ClassResults &results, const Points &points,
                    const ScoringRule &rule, std::string &filled, std::string &error,
                    std::vector<std::string> &notes)
{
    std::vector<std::vector<std::string>> rows;
    if (!parse_csv(worksheet, rows, error))
        return false;
    if (rows.size() < 2) {
        error = "the worksheet has no student rows";
        return false;
    }
    const std::vector<std::string> &header = rows[0];
    const std::size_t columns = header.size();
    for (auto &row : rows)
        row.resize(std::max(row.size(), columns));

    std::map<std::string, std::size_t> by_id;
    for (std::size_t i = 0; i < results.students.size(); ++i)
        if (!results.students[i].id.empty())
            by_id.emplace(results.students[i].id, i);

    // The identifier column: the one whose cells most often read "<word(s)> <id>" with an id of
    // this class; its header is in the teacher's language and cannot be relied on.
    int identifier = -1;
    std::size_t best = 0;
    for (std::size_t c = 0; c < columns; ++c) {
        std::size_t matches = 0;
        for (std::size_t r = 1; r < rows.size(); ++r)
            matches += by_id.count(identifier_id(rows[r][c]));
        if (matches > best) {
            best = matches;
            identifier = static_cast<int>(c);
        }
    }
    if (identifier < 0) {
        error = "no column of the worksheet holds identifiers of this class's students "
                "(like \"Participant 101\"); was it downloaded for this assignment?";
        return false;
    }

    int grade = column_named(header, grade_headers);
    if (grade < 0) {
        // The course website writes the maximum grade right after the grade: a column whose
        // every cell holds the same positive number.
        for (std::size_t c = 1; c < columns && grade < 0; ++c) {
            double first = 0, value = 0;
            bool same = is_number(rows[1][c], first) && first > 0;
            for (std::size_t r = 2; same && r < rows.size(); ++r)
                same = is_number(rows[r][c], value) && value == first;
            if (same && static_cast<int>(c) - 1 != identifier)
                grade = static_cast<int>(c) - 1;
        }
    }
    if (grade < 0 || grade == identifier) {
        error = "the worksheet's grade column was found neither by its header nor before a "
                "column of maximum grades; write the English form instead (no --worksheet)";
        return false;
    }
    const int modified = column_named(header, modified_headers);
    const int feedback = column_named(header, feedback_headers);
    if (modified < 0)
        notes.push_back("the column of the grade's last change was not recognised and keeps the "
                        "course website's times");
    if (feedback < 0)
        notes.push_back("no feedback comments column was recognised; the comments are left out");

    std::vector<bool> placed(results.students.size(), false);
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto found = by_id.find(identifier_id(rows[r][std::size_t(identifier)]));
        if (found == by_id.end())
            continue;
        const std::size_t i = found->second;
        placed[i] = true;
        if (!points[i])
            continue; // not graded: the grade stays as the course website has it
        rows[r][std::size_t(grade)] = points_text(*points[i]);
        if (modified >= 0)
            rows[r][std::size_t(modified)] = results.date;
        if (feedback >= 0)
            rows[r][std::size_t(feedback)] = feedback_comment(results.students[i], points[i], rule);
    }
    for (std::size_t i = 0; i < results.students.size(); ++i)
        if (!placed[i])
            notes.push_back("\"" + results.students[i].name + "\" (" + results.students[i].folder
                            + ") has no row in the worksheet");

    filled = utf8_bom;
    for (const auto &row : rows)
        filled += csv_row(row);
    return true;
}
