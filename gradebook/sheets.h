#pragma once

// Grade sheets: grades.csv (one row per student) and the course website's offline grading
// worksheet, either in its English form or filled into the worksheet the teacher downloaded.
// CSV is written as RFC 4180 has it (every field quoted, quotes doubled, CR LF), in UTF-8 with a
// byte-order mark, so that a spreadsheet in a Chinese locale reads it as UTF-8 and not as GBK.

#include "gradebook/language.h"
#include "gradebook/scoring.h"
#include "results/resultsjson.h"

#include <optional>
#include <string>
#include <vector>

using Points = std::vector<std::optional<double>>; // one per student, as score() gave them

inline const char utf8_bom[] = "\xEF\xBB\xBF";

std::string csv_field(const std::string &text);
std::string csv_row(const std::vector<std::string> &fields);

// A text a spreadsheet would take for a formula (starting with = + - @, a tab or CR) gets a
// leading apostrophe: a student's name is chosen by the student.
std::string spreadsheet_text(const std::string &text);

// The students whose sources are the same as `student`'s, as "<name> (<id>)", for the teacher's
// outputs only: a student's own feedback never names another student.
std::vector<std::string> copy_names(const ClassResults &results, const StudentRecord &student);

// Name, id, status, points, maximum, correct, wrong, time-outs, crashes, memory findings, exact
// copy of.
std::string grades_csv(const ClassResults &results, const Points &points, const ScoringRule &rule);

// One line for the worksheet's feedback comments, in `language`: built from counts and the status
// only, never from a program's output, since the course website shows it as the teacher's own
// words.
std::string feedback_comment(const StudentRecord &student, std::optional<double> points,
                             const ScoringRule &rule, const Language &language);

// The worksheet's English form: Identifier ("Participant <id>"), Full name, Grade, Maximum Grade,
// Last modified (grade), Feedback comments; students without an id are left out (the course
// website could not match them), as are students with no points.
std::string english_worksheet(const ClassResults &results, const Points &points,
                              const ScoringRule &rule, const Language &language);

// The course website's offline grading worksheet as the teacher downloaded it, its columns found
// as the course website finds them: the identifier, the grade, the grade's last change and the
// feedback comments by their header in the teacher's interface language (every language and
// both Chinese generations of the course website's packs), the maximum grade likewise.
struct Worksheet
{
    std::vector<std::vector<std::string>> rows; // the header first, every row as wide as it
    int identifier = -1, grade = -1, modified = -1, feedback = -1, maximum = -1; // -1: none
    std::string prefix;            // the identifier column's common prefix, if it has one
    std::string line_end = "\r\n"; // as the sheet has it
    char decimal_point = '.';      // the sheet's own decimal form: "100.00" or "100,00"
    int decimals = -1;             // digits after the point in its numbers; -1: none seen
};

// Reads the worksheet (`bytes`) and finds its columns. The identifier column is found by its
// header, failing that by its cells ("<prefix><id>" with a prefix of the course website's or one
// that every cell of the column shares); the grade, failing its header, just before the maximum
// grade. False with `error` set when the sheet is not CSV, holds no student, or neither an
// identifier nor a grade column can be found; `notes` tells the teacher what was not recognised.
bool read_worksheet(const std::string &bytes, const ClassResults &results, Worksheet &sheet,
                    std::string &error, std::vector<std::string> &notes);

// The participant id of a worksheet row; empty when its identifier cell names none.
std::string worksheet_id(const Worksheet &sheet, std::size_t row);

// The maximum grade the worksheet gives: none without such a column; false with `error` set
// when its cells are not one and the same number (a scale, or a sheet of several assignments).
bool worksheet_maximum(const Worksheet &sheet, std::optional<double> &maximum, std::string &error);

// `points` in the sheet's own decimal form, with at least as many decimals as its numbers have.
std::string worksheet_number(const Worksheet &sheet, double points);

// The worksheet with the grade, its last change and the feedback comments of each graded student
// filled; every other cell stays as it was. `notes` names the students it has no row for.
std::string fill_worksheet(const Worksheet &sheet, const ClassResults &results,
                           const Points &points, const ScoringRule &rule, const Language &language,
                           std::vector<std::string> &notes);

// Reads CSV (a byte-order mark, CR LF or LF, quoted fields); false for text that is not CSV.
bool parse_csv(const std::string &text, std::vector<std::vector<std::string>> &rows,
               std::string &error);
