#pragma once

// HTML for people: one feedback page per student, the class report, and feedback.zip in the
// layout the course website's feedback upload matches to students. Everything a program printed
// or a build wrote is hostile; the pages are made from templates that escape every value, and
// each page carries a content security policy that lets no script run but the report's own.

#include "gradebook/compare.h"
#include "gradebook/language.h"
#include "gradebook/scoring.h"
#include "results/resultsjson.h"

#include <optional>
#include <string>
#include <vector>

// A student's details: status, points, compiler messages, memory findings, the shrunk
// counterexample as a command, every case with both answers and the first differing word marked.
// The same fragment stands on the feedback page and in the report.
// In `language`, as everything a student receives.
std::string student_details(const ClassResults &results, const StudentRecord &student,
                            std::optional<double> points, const ScoringRule &rule,
                            const Language &language);

// A complete, self-contained page around student_details.
std::string feedback_page(const ClassResults &results, const StudentRecord &student,
                          const std::string &details, const Language &language);

// The class report: counts by status, mean and median points, a histogram, the sortable table of
// students, the changes since an earlier grading, and every student's details (`details`, one per
// student, as student_details made them). `similarity`, a fragment of HTML already escaped
// (similarity_section), stands at the top, where a teacher sees the copies first; empty: none.
std::string class_report(const ClassResults &results,
                         const std::vector<std::optional<double>> &points, const ScoringRule &rule,
                         const std::vector<std::string> &details,
                         const std::vector<Change> &changes, const std::string &compared_date,
                         const Language &language, const std::string &similarity = {});

// `text` made safe in HTML text and attribute values: & < > " ' become entities, every other byte
// stays as it is. The templates escape every value they are given with it.
std::string escape_html(const std::string &text);

// The feedback folder of one student: "<name>_<id>_assignfeedback_file"; empty when the id is not
// a participant id (the course website could not match the folder).
std::string feedback_folder(const StudentRecord &student);

struct ZipEntry
{
    std::string path;
    std::string bytes;
};

// A zip of `entries` with UTF-8 names flagged as such; false with `error` set.
bool make_zip(const std::vector<ZipEntry> &entries, std::string &zip, std::string &error);
