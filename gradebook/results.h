#pragma once

// A class's results as docs/results-format.md describes results.json: read into plain structs
// for the grade sheets and pages, while the document itself is kept so that what they do not
// touch is written back unchanged. Texts are UTF-8 as the file holds them (invalid bytes of a
// program's answer already written as \xHH); all of it came from hostile programs and is
// escaped wherever it is shown.

#include <QJsonObject>
#include <cstdint>
#include <string>
#include <vector>

struct CaseRecord
{
    std::string options;
    std::string verdict;            // correct, wrong, timeout, crash, not run, not graded
    std::string student, reference; // at most 4096 bytes each
    std::int64_t student_bytes = 0, reference_bytes = 0; // their full sizes
    int difference = -1; // index of the first differing word; -1 when they agree
    std::string student_word, reference_word;
    std::string note, memcheck;
    double seconds = 0;
};

struct StudentRecord
{
    std::string folder, name, id, status, message;
    std::string build_log;
    int build_warnings = 0;
    int memcheck_findings = 0;
    std::string memcheck_first;
    std::vector<std::string> copies;
    int correct = 0, wrong = 0, timeouts = 0, crashes = 0, not_run = 0, not_graded = 0;
    std::vector<CaseRecord> cases;
    bool has_counterexample = false;
    std::string counterexample_options;
    int counterexample_steps = 0;
};

struct ClassResults
{
    QJsonObject document; // the whole file as read
    std::string exercise;
    std::string date;
    bool complete = false;
    bool from_course_website = false;
    std::vector<StudentRecord> students;
};

// Reads `path` (results.json). False with `error` set for a file that is missing, larger than
// any class could make, not JSON, or not this format.
bool read_results(const std::string &path, ClassResults &results, std::string &error);
bool parse_results(const QByteArray &bytes, ClassResults &results, std::string &error);

// Students of the document, one record from one JSON object.
StudentRecord student_from_json(const QJsonObject &object);
