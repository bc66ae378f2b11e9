#pragma once

// What the command-line grader writes: the terminal texts and the CSV and JSON reports.

#include "cli/batch.h"

#include <QByteArray>
#include <string>
#include <vector>

// The bytes made safe for a terminal: printable UTF-8 stays, a backslash doubles, and every
// other byte becomes an escape (\n, \r, \t or \xHH).
std::string printable(const std::string &bytes);

// How a run ended, in one word for the reports: "exit", "crash", "timeout" or "failed-to-start".
const char *ending_name(ChildRun::End end);

// How a run ended, for a person: "exit code 0", "crashed (signal 6)", ...
std::string ending_text(const ChildRun &run, double timeout_seconds);

// The verdict for a person: "correct", or "wrong: word 3 is "I", the reference has "E"".
std::string verdict_text(const CaseResult &result);

struct ReportHeader
{
    std::string exercise;
    std::string reference;
    double timeout_seconds = 0;
};

// One header line, then one record per program and case; answers keep their bytes.
std::string csv_report(const std::vector<ProgramReport> &programs);

// One object per program with its counts and its cases; answers that are not valid UTF-8 also
// come as base64 beside the text.
QByteArray json_report(const ReportHeader &header, const std::vector<ProgramReport> &programs);
