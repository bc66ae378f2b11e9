#pragma once

// results.json written and read in one place (docs/results-format.md). The grading rewrites the
// file whole as students finish, so a student's record is made into text once and kept; the file
// is those texts under a header, always replaced in one step.

#include "results/records.h"

#include <QByteArray>
#include <QJsonObject>

#include <map>
#include <optional>
#include <string>
#include <vector>

// The students counted by their status, for the file's totals.
struct Totals
{
    int students = 0;
    std::map<Status, int> by_status;
};

// One student's record as the file holds it, on one line. `memcheck`: the grading checked memory;
// else the memcheck members are null.
QByteArray student_text(const StudentRecord &student, bool memcheck);

// The whole file: the header, the totals, and the students' texts in order (empty ones left
// out, for students not yet done).
QByteArray results_text(const ClassHeader &header, const Totals &totals,
                        const std::vector<QByteArray> &students);

// Puts `text` in the place of the file at `path` in one step: a reader sees the old file or the
// new one, never a part. False, with `error` naming the file, when it cannot.
bool write_results(const std::string &path, const QByteArray &text, std::string &error);

// The results as read: the header and the students, and the document itself, so that what the
// grade sheets do not touch is written back unchanged.
struct ClassResults : ClassHeader
{
    QJsonObject document;
    QJsonObject scoring; // the rule of the grade sheets, as they wrote it; empty before them
    std::vector<StudentRecord> students;
};

// Reads `path` (results.json). False with `error` set for a file that is missing, larger than
// any class could make, not JSON, not this format, or with a status or verdict it does not know.
bool read_results(const std::string &path, ClassResults &results, std::string &error);
bool parse_results(const QByteArray &bytes, ClassResults &results, std::string &error);

// `results` with the record of `student.folder` put in place of the old one, as student_text
// writes it, and the totals counted again; `text`: the whole file. Every other record, and
// whatever the grade sheets added to the file, stays as it was. False, with `error`, for a
// student the results do not hold.
bool replace_student(ClassResults &results, const StudentRecord &student, QByteArray &text,
                     std::string &error);

// What the grade sheets add to `document` (of results.json): the rule they scored by, as
// `scoring` (written by the gradebook's scoring), each student's points (one per student, in the
// file's order; none: null) and, with `similar`, each student's similar sources from it.
void put_grades(QJsonObject &document, const QJsonObject &scoring,
                const std::vector<std::optional<double>> &points,
                const std::vector<StudentRecord> *similar);

// A student's `similar` put into its object, or taken out when it has none: the one writer of it.
void put_similar(QJsonObject &object, const StudentRecord &student);

// One student's record from its object; false, with `error`, for a word the file does not use.
bool student_from_json(const QJsonObject &object, StudentRecord &student, std::string &error);
