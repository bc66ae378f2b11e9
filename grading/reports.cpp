#include "grading/reports.h"

#include "judge/utf8.h"
#include "sandbox/fileio.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool valid_utf8(const std::string &s)
{
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t length = utf8_sequence(s, i);
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

// Invalid UTF-8 (and a backslash, which then reads as an escape) is escaped, so that every CSV
// reader takes the file: what programs print is arbitrary bytes.
std::string csv_field(const std::string &bytes)
{
    const std::string field = escape_invalid_utf8(bytes);
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

const char *verdict_name(const CaseResult &result)
{
    if (result.not_run)
        return "not-run";
    if (result.run.end == ChildRun::End::FailedToStart)
        return "could-not-start";
    if (!result.graded())
        return "not-graded";
    return result.correct ? "correct" : "wrong";
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

QJsonObject case_object(int number, const CaseResult &result, const CaseResult *shrunk,
                        const std::string &status)
{
    QJsonObject object;
    object.insert(QStringLiteral("status"), from_utf8(status));
    object.insert(QStringLiteral("case"), number);
    put_answer(object, QStringLiteral("options"), result.options);
    object.insert(QStringLiteral("verdict"), QLatin1String(verdict_name(result)));
    const bool differs = result.difference != std::string::npos;
    object.insert(QStringLiteral("difference"),
                  number_or_null(differs, static_cast<int>(result.difference) + 1));
    // A token is never empty: an empty one stands for none, past the end of a list.
    put_token(object, QStringLiteral("student_token"), result.student_token);
    put_token(object, QStringLiteral("reference_token"), result.reference_token);
    put_answer(object, QStringLiteral("student_answer"), result.student_text);
    object.insert(QStringLiteral("student_answer_bytes"),
                  static_cast<qint64>(std::max(result.student_bytes, result.student_text.size())));
    put_answer(object, QStringLiteral("reference_answer"), result.reference_text);
    object.insert(QStringLiteral("time_ms"), static_cast<qint64>(result.run.elapsed.count()));
    object.insert(QStringLiteral("ended"), QLatin1String(ending_name(result.run.end)));
    object.insert(QStringLiteral("exit_code"),
                  number_or_null(result.run.end == ChildRun::End::Exited, result.run.exit_code));
    object.insert(QStringLiteral("signal"),
                  number_or_null(result.run.end == ChildRun::End::Crashed, result.run.signal));
    object.insert(QStringLiteral("note"),
                  result.note.empty() ? QJsonValue() : QJsonValue(from_utf8(result.note)));
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
        const std::size_t length = utf8_sequence(bytes, i);
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

Ending ending_of(ChildRun::End end)
{
    switch (end) {
    case ChildRun::End::Exited:
        return Ending::Exit;
    case ChildRun::End::Crashed:
        return Ending::Crash;
    case ChildRun::End::TimedOut:
        return Ending::Timeout;
    case ChildRun::End::FailedToStart:
        return Ending::FailedToStart;
    case ChildRun::End::NotGraded:
        break;
    }
    return Ending::NotGraded;
}

const char *ending_name(ChildRun::End end)
{
    return word(ending_of(end)).c_str();
}

std::string ending_text(const ChildRun &run, const Limits &limits)
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(limits.wall.count()) / 1000);
    switch (run.end) {
    case ChildRun::End::Exited:
        return "exit code " + std::to_string(run.exit_code);
    case ChildRun::End::Crashed:
        return "crashed (signal " + std::to_string(run.signal) + ")";
    case ChildRun::End::TimedOut:
        return std::string("killed after the time-out of ") + seconds + " s";
    case ChildRun::End::FailedToStart:
        return run.failure.empty() ? "could not start" : "could not start: " + run.failure;
    case ChildRun::End::NotGraded:
        break;
    }
    return "not graded: " + run.failure;
}

std::string verdict_text(const CaseResult &result)
{
    if (result.correct)
        return "correct";
    if (result.difference == std::string::npos)
        return result.note.empty() ? "wrong" : "wrong: " + printable(result.note);
    return "wrong: word " + std::to_string(result.difference + 1) + " is "
           + (result.student_token.empty() ? "missing"
                                           : '"' + printable(result.student_token) + '"')
           + ", the reference has "
           + (result.reference_token.empty() ? "none"
                                             : '"' + printable(result.reference_token) + '"');
}

std::string csv_header()
{
    return "program,case,options,verdict,difference,student_token,reference_token,"
           "student_answer,reference_answer,time_ms,ended,exit_code,signal,note,shrunk_options,"
           "status\r\n";
}

bool write_csv_records(const ProgramReport &program, const ReportWriter &write)
{
    // A program with no case at all (a missing one) still has its record, saying why.
    if (program.cases.empty()) {
        std::string csv = csv_field(program.name);
        for (int f = 1; f < 15; ++f)
            csv += ",";
        return write(
            QByteArray::fromStdString(csv + "," + csv_field(program_status(program)) + "\r\n"));
    }
    for (std::size_t c = 0; c < program.cases.size(); ++c) {
        std::string csv;
        const CaseResult &r = program.cases[c];
        const bool exited = r.run.end == ChildRun::End::Exited;
        const bool crashed = r.run.end == ChildRun::End::Crashed;
        const std::vector<std::string> fields = {
            program.name,
            std::to_string(c + 1),
            r.options,
            verdict_name(r),
            difference_position(r),
            r.student_token,
            r.reference_token,
            r.student_text,
            r.reference_text,
            std::to_string(r.run.elapsed.count()),
            ending_name(r.run.end),
            exited ? std::to_string(r.run.exit_code) : std::string(),
            crashed ? std::to_string(r.run.signal) : std::string(),
            r.note,
            shrunk_options(program, c),
            program_status(program),
        };
        for (std::size_t f = 0; f < fields.size(); ++f)
            csv += (f ? "," : "") + csv_field(fields[f]);
        csv += "\r\n";
        if (!write(QByteArray::fromStdString(csv)))
            return false;
    }
    return true;
}

namespace {

QJsonObject sandbox_object(const Grading &grading)
{
    const Limits &limits = grading.limits;
    QJsonObject object;
    object.insert(QStringLiteral("enabled"), grading.sandbox.enabled);
    if (grading.sandbox.enabled) {
        object.insert(QStringLiteral("tool"), QStringLiteral("bubblewrap"));
        object.insert(QStringLiteral("own_pid_namespace"), true);
        object.insert(QStringLiteral("network"), false);
        object.insert(QStringLiteral("new_session_without_terminal"), true);
        object.insert(QStringLiteral("read_only_system"), true);
        object.insert(QStringLiteral("sees_only_own_folder"), true);
        object.insert(QStringLiteral("unprivileged_user"),
                      ::geteuid() == 0 ? QJsonValue(static_cast<qint64>(grading.sandbox.first_uid))
                                       : QJsonValue(QStringLiteral("the grader's own")));
    } else {
        object.insert(QStringLiteral("new_session_without_terminal"), true);
    }
    QJsonObject bounds;
    bounds.insert(QStringLiteral("wall_ms"), static_cast<qint64>(grading.limits.wall.count()));
    bounds.insert(QStringLiteral("cpu_seconds"), limits.cpu_seconds);
    bounds.insert(QStringLiteral("memory_bytes"), static_cast<qint64>(limits.memory_bytes));
    bounds.insert(QStringLiteral("file_bytes"), static_cast<qint64>(limits.file_bytes));
    // Without the sandbox the count of processes would include the teacher's own.
    bounds.insert(QStringLiteral("processes"),
                  grading.sandbox.enabled ? QJsonValue(limits.processes) : QJsonValue());
    bounds.insert(QStringLiteral("output_bytes"), static_cast<qint64>(limits.output_bytes));
    object.insert(QStringLiteral("limits"), bounds);
    return object;
}

const QByteArray complete_false = "\"complete\": false";

} // namespace

QByteArray json_start(const ReportHeader &header)
{
    QJsonObject root;
    root.insert(QStringLiteral("exercise"), from_utf8(header.exercise));
    put_answer(root, QStringLiteral("reference"), header.reference);
    root.insert(QStringLiteral("sandbox"), sandbox_object(header.grading));
    QByteArray text = QJsonDocument(root).toJson(QJsonDocument::Indented);
    text.chop(3); // "\n}\n"
    return text + ",\n    " + complete_false + ",\n    \"programs\": [\n";
}

qint64 json_complete_offset(const QByteArray &start)
{
    return start.lastIndexOf(complete_false) + complete_false.size() - 5;
}

bool write_json_program(const ProgramReport &program, bool first, const ReportWriter &write)
{
    QJsonObject object;
    put_answer(object, QStringLiteral("program"), program.name);
    object.insert(QStringLiteral("correct"), program.correct);
    object.insert(QStringLiteral("wrong"), program.wrong);
    object.insert(QStringLiteral("timeouts"), program.timeouts);
    object.insert(QStringLiteral("crashes"), program.crashes);
    object.insert(QStringLiteral("not_graded"), program.not_graded);
    object.insert(QStringLiteral("not_run"), program.not_run);
    const std::string status = program_status(program);
    object.insert(QStringLiteral("status"), from_utf8(status));
    object.insert(QStringLiteral("start_failure"), from_utf8(program.start_failure));
    QByteArray head = QJsonDocument(object).toJson(QJsonDocument::Indented);
    head.chop(3); // "\n}\n"
    if (!write((first ? QByteArray() : QByteArray(",\n")) + head + ",\n    \"cases\": ["))
        return false;
    for (std::size_t c = 0; c < program.cases.size(); ++c) {
        const QJsonObject record = case_object(
            static_cast<int>(c) + 1, program.cases[c],
            program.shrunk_from == static_cast<int>(c) ? &program.shrunk : nullptr, status);
        QByteArray text = QJsonDocument(record).toJson(QJsonDocument::Indented);
        text.chop(1);
        text.replace('\n', "\n        ");
        if (!write((c ? ",\n        " : "\n        ") + text))
            return false;
    }
    return write(program.cases.empty() ? "]\n}" : "\n    ]\n}");
}

QByteArray json_end()
{
    return "\n    ]\n}\n";
}

ReportFile::~ReportFile()
{
    if (fd >= 0)
        ::close(fd);
    if (!temporary.empty())
        ::unlink(temporary.c_str());
}

bool ReportFile::open(const std::string &path, std::string &error)
{
    target = path;
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        error = "it is a folder";
        return false;
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder
        = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::random_device random;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        temporary
            = folder + ".orvimet-report-" + std::to_string(random()) + std::to_string(random());
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        error = std::strerror(errno);
        temporary.clear();
        return false;
    }
    return true;
}

bool ReportFile::publish(std::string &error)
{
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    temporary.clear();
    return true;
}

bool ReportFile::append(const QByteArray &bytes)
{
    return write_all(fd, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool ReportFile::write_at(qint64 offset, const char *bytes)
{
    const std::size_t length = std::strlen(bytes);
    return ::pwrite(fd, bytes, length, static_cast<off_t>(offset)) == static_cast<ssize_t>(length);
}
