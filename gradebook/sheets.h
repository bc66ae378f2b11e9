#pragma once

// Grade sheets: grades.csv (one row per student) and the course website's offline grading
// worksheet, either in its English form or filled into the worksheet the teacher downloaded.
// CSV is written as RFC 4180 has it (every field quoted, quotes doubled, CR LF), in UTF-8 with a
// byte-order mark, so that a spreadsheet in a Chinese locale reads it as UTF-8 and not as GBK.

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

// Name, id, status, points, maximum, correct, wrong, time-outs, memory findings, exact copy of.
std::string grades_csv(const ClassResults &results, const Points &points, const ScoringRule &rule);

// One line for the worksheet's feedback comments: built from counts and the status only, never
// from a program's output, since the course website shows it as the teacher's own words.
std::string feedback_comment(const StudentRecord &student, std::optional<double> points,
                             const ScoringRule &rule);

// The worksheet's English form: Identifier ("Participant <id>"), Full name, Grade, Maximum Grade,
// Last modified (grade), Feedback comments; students without an id are left out (the course
// website could not match them), as are students with no points.
std::string english_worksheet(const ClassResults &results, const Points &points,
                              const ScoringRule &rule);

// Fills the worksheet the teacher downloaded (`worksheet`: its bytes). Every cell but the grade,
// its last change and the feedback comments of the class's students stays as it was. The columns
// are found as the README explains: the identifier column by
// its cells, the others by their header in one of several languages, the grade failing that by
// its place before the column of maximum grades. False with `error` set when the identifier or
// the grade column cannot be found; `notes` tells the teacher what was left as it was.
bool fill_worksheet(const std::string &worksheet, const ClassResults &results, const Points &points,
                    const ScoringRule &rule, std::string &filled, std::string &error,
                    std::vector<std::string> &notes);

// Reads CSV (a byte-order mark, CR LF or LF, quoted fields); false for text that is not CSV.
bool parse_csv(const std::string &text, std::vector<std::vector<std::string>> &rows,
               std::string &error);
