#pragma once

// What the command-line grader writes: the terminal texts and the CSV and JSON reports.

#include "grading/batch.h"
#include "results/records.h"

#include <QByteArray>

#include <functional>
#include <string>
#include <vector>

// The bytes made safe for a terminal: printable UTF-8 stays, a backslash doubles, and every
// other byte becomes an escape (\n, \r, \t or \xHH).
std::string printable(const std::string &bytes);

// How a run ended, as results.json and the reports say it; in one word for the reports: "exit",
// "crash", "timeout" or "failed-to-start".
Ending ending_of(ChildRun::End end);
const char *ending_name(ChildRun::End end);

// How a run ended, for a person: "exit code 0", "crashed (signal 6)", ...
std::string ending_text(const ChildRun &run, const Limits &limits);

// The verdict for a person: "correct", or "wrong: word 3 is "I", the reference has "E"".
std::string verdict_text(const CaseResult &result);

struct ReportHeader
{
    std::string exercise;
    std::string reference;
    Grading grading; // the protections and limits in force
};

// The reports are written as programs finish, one program at a time, so that an interrupted or
// crashed grader leaves every finished program on disk and memory holds one program's answers.

// Takes the next piece of a report; false when it could not be written (errno says why).
using ReportWriter = std::function<bool(const QByteArray &)>;

// The header line; then one record per case of each program, written case by case. Answers keep
// their bytes (up to report_answer_bytes of a student's).
std::string csv_header();
bool write_csv_records(const ProgramReport &program, const ReportWriter &write);

// The JSON report: an object whose "complete" member is written false at the start and turned
// true (in place, same length) when the run ends normally; a grader that died midway leaves a
// document that is cut short, never one that looks finished.
QByteArray json_start(const ReportHeader &header);
// A program's record, case by case, never the whole program in one document.
bool write_json_program(const ProgramReport &program, bool first, const ReportWriter &write);
QByteArray json_end();
// The offset of "false" in json_start's text, and what replaces it.
qint64 json_complete_offset(const QByteArray &start);
inline const char json_complete_true[] = "true ";

// A report file that replaces the old one of its name as soon as grading starts (so that no
// earlier report is left looking current), then grows as programs finish. Written through a
// new file in the same folder, renamed into place; never through a link under the name.
class ReportFile
{
public:
    ReportFile() = default;
    ~ReportFile();
    ReportFile(const ReportFile &) = delete;
    ReportFile &operator=(const ReportFile &) = delete;

    // Makes the new file beside `path`; false with `error` set when it cannot be written there.
    bool open(const std::string &path, std::string &error);
    // Puts it in the place of the old report.
    bool publish(std::string &error);
    bool append(const QByteArray &bytes);
    bool write_at(qint64 offset, const char *bytes);
    bool is_open() const { return fd >= 0; }
    const std::string &path() const { return target; }

private:
    int fd = -1;
    std::string target;
    std::string temporary; // until published
};
