#include "gradebook/sheets.h"

#include "judge/utf8.h"

#include <QCoreApplication>

#include <csv.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

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

// The worksheet's strings in the course website's language packs, one row a language; a header is
// matched whole, as the course website does, so "Maximum Grade" is never taken for "Grade". Both
// generations of the Chinese pack are here: a site keeps the one of its version.
struct SheetWords
{
    const char *identifier, *prefix, *grade, *modified, *feedback, *maximum;
};
const SheetWords sheet_words[] = {
    {"标识符", "参与人", "成绩", "上次修改（评分）", "反馈意见", "最高分"},
    {"识别码", "参与者", "成绩", "最后修改（教师）", "评语反馈", "最高成绩"},
    {"Identifier", "Participant", "Grade", "Last modified (grade)", "Feedback comments",
     "Maximum grade"},
    {"ID", "Teilnehmer/in", "Bewertung", "Zuletzt geändert (Bewertung)", "Feedback als Kommentar",
     "Bestwertung"},
    {"Identifiant", "Participant", "Note", "Dernière modification (note)",
     "Feedback par commentaires", "Note maximale"},
    {"Identificador", "Participante", "Calificación", "Última modificación (calificación)",
     "Comentarios de retroalimentación", "Calificación máxima"},
    {"ID", "参加者", "評点", "最終更新日時 (評定)", "フィードバックコメント", "最大評点"},
    {"식별자", "참가자", "성적", "마지막 수정됨(성적)", "피드백 코멘트", "최대 성적"},
    {"Идентификатор", "Участник", "Оценка", "Последнее изменение (оценка)",
     "Отзыв в виде комментария", "Максимальная оценка"},
    {"Identificador", "Participante", "Avaliação", "Última atualização (avaliação)",
     "Comentários de feedback", "Nota máxima"},
    {"Número de identificação", "Participante", "Avaliação", "Última atualização (avaliação)",
     "Comentários de feedback", "Nota máxima"},
    {"Identificativo", "Partecipante", "Valutazione", "Ultima modifica (valutazione)", "Commenti",
     "Valutazione massima"},
};

int column_named(const std::vector<std::string> &header, const char *SheetWords::*word)
{
    for (std::size_t c = 0; c < header.size(); ++c)
        for (const SheetWords &words : sheet_words)
            if (lower_trimmed(header[c]) == lower_trimmed(words.*word))
                return static_cast<int>(c);
    return -1;
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// An identifier cell split into its prefix and its participant id, "<prefix><digits>" with no
// digit in the prefix; false for any other text.
bool split_identifier(const std::string &cell, std::string &prefix, std::string &id)
{
    std::size_t end = cell.size();
    while (end > 0 && (cell[end - 1] == ' ' || cell[end - 1] == '\t'))
        --end;
    std::size_t begin = end;
    while (begin > 0 && is_digit(cell[begin - 1]))
        --begin;
    if (begin == end || end - begin > 18)
        return false;
    prefix = lower_trimmed(cell.substr(0, begin));
    id = cell.substr(begin, end - begin);
    return !prefix.empty() && std::none_of(prefix.begin(), prefix.end(), is_digit);
}

bool known_prefix(const std::string &prefix)
{
    return std::any_of(std::begin(sheet_words), std::end(sheet_words),
                       [&](const SheetWords &w) { return lower_trimmed(w.prefix) == prefix; });
}

// The prefix that every identifier-like cell of column `c` shares; empty when they differ.
std::string common_prefix(const std::vector<std::vector<std::string>> &rows, std::size_t c)
{
    std::string common, prefix, id;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (rows[r][c].empty())
            continue;
        if (!split_identifier(rows[r][c], prefix, id) || (!common.empty() && prefix != common))
            return {};
        common = prefix;
    }
    return common;
}

std::string participant_id(const std::string &cell, const std::string &column_prefix)
{
    std::string prefix, id;
    if (!split_identifier(cell, prefix, id) || (prefix != column_prefix && !known_prefix(prefix)))
        return {};
    return id;
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

std::vector<std::string> copy_names(const ClassResults &results, const StudentRecord &student)
{
    std::vector<std::string> names;
    for (const std::string &folder : student.copies) {
        const auto other = std::find_if(results.students.begin(), results.students.end(),
                                        [&](const StudentRecord &s) { return s.folder == folder; });
        if (other == results.students.end())
            names.push_back(folder); // not in this document (another shard's): all that is known
        else
            names.push_back(other->name + (other->id.empty() ? "" : " (" + other->id + ")"));
    }
    return names;
}

std::string grades_csv(const ClassResults &results, const Points &points, const ScoringRule &rule)
{
    std::string out = utf8_bom;
    out += csv_row({"Name", "Id", "Status", "Points", "Maximum", "Correct", "Wrong", "Time-outs",
                    "Crashes", "Memory findings", "Exact copy of"});
    for (std::size_t i = 0; i < results.students.size(); ++i) {
        const StudentRecord &s = results.students[i];
        std::string copies;
        for (const std::string &copy : copy_names(results, s))
            copies += (copies.empty() ? "" : "; ") + copy;
        out += csv_row({spreadsheet_text(s.name), spreadsheet_text(s.id), word(s.status),
                        points[i] ? points_text(*points[i]) : "", points_text(rule.points),
                        std::to_string(s.correct), std::to_string(s.wrong),
                        std::to_string(s.timeouts), std::to_string(s.crashes),
                        std::to_string(s.memcheck_findings), spreadsheet_text(copies)});
    }
    return out;
}

std::string feedback_comment(const StudentRecord &s, std::optional<double> points,
                             const ScoringRule &rule, const Language &language)
{
    const Language &l = language;
    if (!points)
        return l.text(QT_TRANSLATE_NOOP(
            "Feedback",
            "Not graded yet: the grader could not judge this program; it will be graded again."));
    const std::string grade = points_text(*points), maximum = points_text(rule.points);
    if (s.status != Status::Graded)
        return fill(
            l.text(QT_TRANSLATE_NOOP(
                "Feedback", "%1 of %2 points. Status: %3. See the attached feedback page.")),
            {grade, maximum, l.text(word(s.status).c_str())});
    std::string more;
    if (s.timeouts > 0)
        more += l.text(QT_TRANSLATE_N_NOOP("Feedback", ", %n time-out(s)"), s.timeouts);
    if (s.crashes > 0)
        more += l.text(QT_TRANSLATE_N_NOOP("Feedback", ", %n crash(es)"), s.crashes);
    const int judged = static_cast<int>(s.cases.size()) - s.not_graded;
    std::string counts
        = fill(l.text(QT_TRANSLATE_N_NOOP("Feedback", "%1 of %n case(s) correct%2."), judged),
               {std::to_string(s.correct), more});
    if (s.memcheck_findings > 0)
        counts
            += rule.memcheck_penalty > 0
                   ? fill(
                       l.text(QT_TRANSLATE_NOOP("Feedback", " Memory findings: %1 (-%2 points).")),
                       {std::to_string(s.memcheck_findings), points_text(rule.memcheck_penalty)})
                   : fill(l.text(QT_TRANSLATE_NOOP("Feedback", " Memory findings: %1.")),
                          {std::to_string(s.memcheck_findings)});
    return fill(l.text(QT_TRANSLATE_NOOP("Feedback",
                                         "%1 of %2 points. %3 See the attached feedback page.")),
                {grade, maximum, counts});
}

std::string english_worksheet(const ClassResults &results, const Points &points,
                              const ScoringRule &rule, const Language &language)
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
                        feedback_comment(s, points[i], rule, language)});
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

bool read_worksheet(const std::string &bytes, const ClassResults &results, Worksheet &sheet,
                    std::string &error, std::vector<std::string> &notes)
{
    sheet = Worksheet{};
    std::vector<std::vector<std::string>> &rows = sheet.rows;
    if (!parse_csv(bytes, rows, error))
        return false;
    if (rows.size() < 2) {
        error = "the worksheet has no student rows";
        return false;
    }
    const std::size_t first_end = bytes.find('\n');
    if (first_end != std::string::npos && (first_end == 0 || bytes[first_end - 1] != '\r'))
        sheet.line_end = "\n";
    const std::vector<std::string> &header = rows[0];
    const std::size_t columns = header.size();
    for (auto &row : rows)
        row.resize(std::max(row.size(), columns));

    std::set<std::string> ids;
    for (const StudentRecord &s : results.students)
        ids.insert(s.id);
    const auto class_ids = [&](std::size_t c) {
        const std::string prefix = common_prefix(rows, c);
        std::size_t matches = 0;
        for (std::size_t r = 1; r < rows.size(); ++r)
            matches += ids.count(participant_id(rows[r][c], prefix));
        return matches;
    };
    sheet.identifier = column_named(header, &SheetWords::identifier);
    if (sheet.identifier < 0) {
        // A language this grader does not know: the column whose cells most often name a
        // participant of this class.
        std::size_t best = 0;
        for (std::size_t c = 0; c < columns; ++c) {
            if (const std::size_t matches = class_ids(c); matches > best) {
                best = matches;
                sheet.identifier = static_cast<int>(c);
            }
        }
    }
    if (sheet.identifier < 0 || class_ids(std::size_t(sheet.identifier)) == 0) {
        error = "no column of the worksheet holds identifiers of this class's students "
                "(like \"Participant 101\" or \"参与人101\"); was it downloaded for this "
                "assignment?";
        return false;
    }
    sheet.prefix = common_prefix(rows, std::size_t(sheet.identifier));

    sheet.grade = column_named(header, &SheetWords::grade);
    sheet.maximum = column_named(header, &SheetWords::maximum);
    if (sheet.grade < 0) {
        // The course website writes the maximum grade right after the grade: failing its header,
        // a column whose every cell holds the same positive number.
        for (std::size_t c = 1; c < columns && sheet.maximum < 0; ++c) {
            double first = 0, value = 0;
            bool same = is_number(rows[1][c], first) && first > 0;
            for (std::size_t r = 2; same && r < rows.size(); ++r)
                same = is_number(rows[r][c], value) && value == first;
            if (same && static_cast<int>(c) - 1 != sheet.identifier)
                sheet.maximum = static_cast<int>(c);
        }
        if (sheet.maximum > 0)
            sheet.grade = sheet.maximum - 1;
    }
    if (sheet.grade < 0 || sheet.grade == sheet.identifier) {
        error = "the worksheet's grade column was found neither by its header nor before a "
                "column of maximum grades";
        return false;
    }
    sheet.modified = column_named(header, &SheetWords::modified);
    sheet.feedback = column_named(header, &SheetWords::feedback);
    if (sheet.modified < 0)
        notes.push_back("the column of the grade's last change was not recognised and keeps the "
                        "course website's times");
    if (sheet.feedback < 0)
        notes.push_back("no feedback comments column was recognised; the comments are left out");

    // The sheet's own decimal form, from the first number with a fraction in the maximum or the
    // grade column: the course website writes both in the site's form.
    for (int c : {sheet.maximum, sheet.grade}) {
        for (std::size_t r = 1; c >= 0 && sheet.decimals < 0 && r < rows.size(); ++r) {
            const std::string cell = lower_trimmed(rows[r][std::size_t(c)]);
            const std::size_t point = cell.find_first_of(".,");
            if (point == std::string::npos || point == 0 || point + 1 == cell.size()
                || !std::all_of(cell.begin(), cell.begin() + long(point), is_digit)
                || !std::all_of(cell.begin() + long(point) + 1, cell.end(), is_digit))
                continue;
            sheet.decimal_point = cell[point];
            sheet.decimals = static_cast<int>(cell.size() - point - 1);
        }
    }
    return true;
}

std::string worksheet_id(const Worksheet &sheet, std::size_t row)
{
    return participant_id(sheet.rows[row][std::size_t(sheet.identifier)], sheet.prefix);
}

bool worksheet_maximum(const Worksheet &sheet, std::optional<double> &maximum, std::string &error)
{
    maximum.reset();
    if (sheet.maximum < 0)
        return true;
    for (std::size_t r = 1; r < sheet.rows.size(); ++r) {
        const std::string &cell = sheet.rows[r][std::size_t(sheet.maximum)];
        double value = 0;
        if (lower_trimmed(cell).empty())
            continue;
        if (!is_number(cell, value) || !(value > 0)) {
            error = "its maximum grade is \"" + cell
                    + "\", not a number of points: the assignment is graded on a scale, which "
                      "the grader does not fill";
            return false;
        }
        if (maximum && *maximum != value) {
            error = "its maximum grades differ (" + points_text(*maximum) + " and "
                    + points_text(value) + "): it is not the worksheet of one assignment";
            return false;
        }
        maximum = value;
    }
    return true;
}

std::string worksheet_number(const Worksheet &sheet, double points)
{
    std::string text = points_text(points);
    const std::size_t point = text.find('.');
    const int decimals = point == std::string::npos ? 0 : int(text.size() - point - 1);
    if (decimals < sheet.decimals)
        text += (point == std::string::npos ? "." : "")
                + std::string(std::size_t(sheet.decimals - decimals), '0');
    std::replace(text.begin(), text.end(), '.', sheet.decimal_point);
    return text;
}

std::string fill_worksheet(const Worksheet &sheet, const ClassResults &results,
                           const Points &points, const ScoringRule &rule, const Language &language,
                           std::vector<std::string> &notes)
{
    std::map<std::string, std::size_t> by_id;
    for (std::size_t i = 0; i < results.students.size(); ++i)
        if (!results.students[i].id.empty())
            by_id.emplace(results.students[i].id, i);

    std::vector<std::vector<std::string>> rows = sheet.rows;
    std::vector<bool> placed(results.students.size(), false);
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto found = by_id.find(worksheet_id(sheet, r));
        if (found == by_id.end())
            continue;
        const std::size_t i = found->second;
        placed[i] = true;
        if (!points[i])
            continue; // not graded: the grade stays as the course website has it
        rows[r][std::size_t(sheet.grade)] = worksheet_number(sheet, *points[i]);
        if (sheet.modified >= 0)
            rows[r][std::size_t(sheet.modified)] = results.date;
        if (sheet.feedback >= 0)
            rows[r][std::size_t(sheet.feedback)]
                = feedback_comment(results.students[i], points[i], rule, language);
    }
    for (std::size_t i = 0; i < results.students.size(); ++i)
        if (!placed[i])
            notes.push_back("\"" + results.students[i].name + "\" (" + results.students[i].folder
                            + ") has no row in the worksheet");

    std::string filled = utf8_bom;
    for (const auto &row : rows) {
        filled += csv_row(row);
        filled.replace(filled.size() - 2, 2, sheet.line_end);
    }
    return filled;
}
