#include "cli/reports.h"

#include "judge/utf8.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

// The length of the well-formed UTF-8 sequence at `i`, or 0.
std::size_t utf8_length(const std::string &s, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > s.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    }
    return length;
}

bool valid_utf8(const std::string &s)
{
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t length = utf8_length(s, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string hex_escape(unsigned char byte)
{
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    return text;
}

std::string csv_field(const std::string &field)
{
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string difference_position(const CaseResult &result)
{
    return result.difference == std::string::npos ? std::string()
                                                  : std::to_string(result.difference + 1);
}

void put_answer(QJsonObject &object, const QString &key, const std::string &bytes)
{
    object.insert(key, from_utf8(bytes));
    if (!valid_utf8(bytes)) {
        const QByteArray raw(bytes.data(), static_cast<int>(bytes.size()));
        object.insert(key + QStringLiteral("_base64"), QString::fromLatin1(raw.toBase64()));
    }
}

void put_token(QJsonObject &object, const QString &key, const std::string &token)
{
    if (token.empty())
        object.insert(key, QJsonValue());
    else
        put_answer(object, key, token);
}

QJsonValue number_or_null(bool present, int value)
{
    return present ? QJsonValue(value) : QJsonValue();
}

// The shrunk string of the failing case it was shrunk from, empty elsewhere.
std::string shrunk_options(const ProgramReport &program, std::size_t c)
{
    return program.shrunk_from == static_cast<int>(c) ? program.shrunk.options : std::string();
}

QJsonObject case_object(int number, const CaseResult &result, const CaseResult *shrunk)
{
    QJsonObject object;
    object.insert(QStringLiteral("case"), number);
    put_answer(object, QStringLiteral("options"), result.options);
    object.insert(QStringLiteral("verdict"),
                  result.correct ? QStringLiteral("correct") : QStringLiteral("wrong"));
    const bool differs = result.difference != std::string::npos;
    object.insert(QStringLiteral("difference"),
                  number_or_null(differs, static_cast<int>(result.difference) + 1));
    // A token is never empty: an empty one stands for none, past the end of a list.
    put_token(object, QStringLiteral("student_token"), result.student_token);
    put_token(object, QStringLiteral("reference_token"), result.reference_token);
    put_answer(object, QStringLiteral("student_answer"), result.student_text);
    put_answer(object, QStringLiteral("reference_answer"), result.reference_text);
    object.insert(QStringLiteral("time_ms"), static_cast<qint64>(result.run.elapsed.count()));
    object.insert(QStringLiteral("ended"), QLatin1String(ending_name(result.run.end)));
    object.insert(QStringLiteral("exit_code"),
                  number_or_null(result.run.end == ChildRun::End::Exited, result.run.exit_code));
    object.insert(QStringLiteral("signal"),
                  number_or_null(result.run.end == ChildRun::End::Crashed, result.run.signal));
    if (shrunk)
        put_answer(object, QStringLiteral("shrunk_options"), shrunk->options);
    else
        object.insert(QStringLiteral("shrunk_options"), QJsonValue());
    return object;
}

} // namespace

std::string printable(const std::string &bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = utf8_length(bytes, i);
        // U+0080 to U+009F are control characters as well.
        const bool c1_control
            = length == 2 && c == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0;
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (length == 0 || c < 0x20 || c == 0x7F || c1_control) {
            out += hex_escape(c);
            i += 1;
            continue;
        } else {
            out.append(bytes, i, length);
            i += length;
            continue;
        }
        i += 1;
    }
    return out;
}

const char *ending_name(ChildRun::End end)
{
    switch (end) {
    case ChildRun::End::Exited:
        return "exit";
    case ChildRun::End::Crashed:
        return "crash";
    case ChildRun::End::TimedOut:
        return "timeout";
    case ChildRun::End::FailedToStart:
        break;
    }
    return "failed-to-start";
}

std::string ending_text(const ChildRun &run, double timeout_seconds)
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", timeout_seconds);
    switch (run.end) {
    case ChildRun::End::Exited:
        return "exit code " + std::to_string(run.exit_code);
    case ChildRun::End::Crashed:
        return "crashed (signal " + std::to_string(run.signal) + ")";
    case ChildRun::End::TimedOut:
        return std::string("killed after the time-out of ") + seconds + " s";
    case ChildRun::End::FailedToStart:
        break;
    }
    return "failed to start";
}

std::string verdict_text(const CaseResult &result)
{
    if (result.correct)
        return "correct";
    if (result.difference == std::string::npos)
        return "wrong";
    return "wrong: word " + std::to_string(result.difference + 1) + " is "
           + (result.student_token.empty() ? "missing"
                                           : '"' + printable(result.student_token) + '"')
           + ", the reference has "
           + (result.reference_token.empty() ? "none"
                                             : '"' + printable(result.reference_token) + '"');
}

std::string csv_report(const std::vector<ProgramReport> &programs)
{
    std::string csv
        = "program,case,options,verdict,difference,student_token,reference_token,"
          "student_answer,reference_answer,time_ms,ended,exit_code,signal,shrunk_options\r\n";
    for (const ProgramReport &program : programs) {
        for (std::size_t c = 0; c < program.cases.size(); ++c) {
            const CaseResult &r = program.cases[c];
            const bool exited = r.run.end == ChildRun::End::Exited;
            const bool crashed = r.run.end == ChildRun::End::Crashed;
            const std::vector<std::string> fields = {
                program.name,
                std::to_string(c + 1),
                r.options,
                r.correct ? "correct" : "wrong",
                difference_position(r),
                r.student_token,
                r.reference_token,
                r.student_text,
                r.reference_text,
                std::to_string(r.run.elapsed.count()),
                ending_name(r.run.end),
                exited ? std::to_string(r.run.exit_code) : std::string(),
                crashed ? std::to_string(r.run.signal) : std::string(),
                shrunk_options(program, c),
            };
            for (std::size_t f = 0; f < fields.size(); ++f)
                csv += (f ? "," : "") + csv_field(fields[f]);
            csv += "\r\n";
        }
    }
    return csv;
}

QByteArray json_report(const ReportHeader &header, const std::vector<ProgramReport> &programs)
{
    QJsonArray list;
    for (const ProgramReport &program : programs) {
        QJsonObject object;
        put_answer(object, QStringLiteral("program"), program.name);
        object.insert(QStringLiteral("correct"), program.correct);
        object.insert(QStringLiteral("wrong"), program.wrong);
        object.insert(QStringLiteral("timeouts"), program.timeouts);
        object.insert(QStringLiteral("crashes"), program.crashes);
        QJsonArray cases;
        for (std::size_t c = 0; c < program.cases.size(); ++c)
            cases.append(case_object(static_cast<int>(c) + 1, program.cases[c],
                                     program.shrunk_from == static_cast<int>(c) ? &program.shrunk
                                                                                : nullptr));
        object.insert(QStringLiteral("cases"), cases);
        list.append(object);
    }
    QJsonObject root;
    root.insert(QStringLiteral("exercise"), from_utf8(header.exercise));
    root.insert(QStringLiteral("reference"), from_utf8(header.reference));
    root.insert(QStringLiteral("timeout_seconds"), header.timeout_seconds);
    root.insert(QStringLiteral("programs"), list);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
