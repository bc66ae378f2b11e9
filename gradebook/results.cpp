#include "gradebook/results.h"

#include "judge/utf8.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <future>
#include <thread>

namespace {

// 300 students of the extended list with every answer cut at 4096 bytes stay far below this;
// anything larger is not a results file of ours.
constexpr qint64 max_results_bytes = qint64(1) << 30;

std::string text(const QJsonObject &object, const char *key)
{
    return to_utf8(object.value(QLatin1String(key)).toString());
}

int number(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toInt();
}

CaseRecord case_from_json(const QJsonObject &object)
{
    CaseRecord record;
    record.options = text(object, "options");
    record.verdict = text(object, "verdict");
    record.student = text(object, "student");
    record.reference = text(object, "reference");
    record.student_bytes
        = static_cast<std::int64_t>(object.value(QLatin1String("student_bytes")).toDouble());
    record.reference_bytes
        = static_cast<std::int64_t>(object.value(QLatin1String("reference_bytes")).toDouble());
    const QJsonValue difference = object.value(QLatin1String("difference"));
    record.difference = difference.isDouble() ? difference.toInt() : -1;
    record.student_word = text(object, "student_word");
    record.reference_word = text(object, "reference_word");
    record.note = text(object, "note");
    record.memcheck = text(object, "memcheck");
    record.seconds = object.value(QLatin1String("seconds")).toDouble();
    return record;
}

} // namespace

StudentRecord student_from_json(const QJsonObject &object)
{
    StudentRecord s;
    s.folder = text(object, "folder");
    s.name = text(object, "name");
    s.id = text(object, "id");
    s.status = text(object, "status");
    s.message = text(object, "message");
    const QJsonObject build = object.value(QLatin1String("build")).toObject();
    s.build_log = text(build, "log");
    s.build_warnings = number(build, "warnings");
    const QJsonObject memcheck = object.value(QLatin1String("memcheck")).toObject();
    s.memcheck_findings = number(memcheck, "findings");
    s.memcheck_first = text(memcheck, "first");
    for (const QJsonValue &copy : object.value(QLatin1String("copies")).toArray())
        s.copies.push_back(to_utf8(copy.toString()));
    s.correct = number(object, "correct");
    s.wrong = number(object, "wrong");
    s.timeouts = number(object, "timeouts");
    s.crashes = number(object, "crashes");
    s.not_run = number(object, "not_run");
    s.not_graded = number(object, "not_graded");
    const QJsonArray cases = object.value(QLatin1String("cases")).toArray();
    s.cases.reserve(static_cast<std::size_t>(cases.size()));
    for (const QJsonValue &c : cases)
        s.cases.push_back(case_from_json(c.toObject()));
    const QJsonValue counterexample = object.value(QLatin1String("counterexample"));
    if (counterexample.isObject()) {
        s.has_counterexample = true;
        s.counterexample_options = text(counterexample.toObject(), "options");
        s.counterexample_steps = number(counterexample.toObject(), "steps");
    }
    return s;
}

bool parse_results(const QByteArray &bytes, ClassResults &results, std::string &error)
{
    QJsonParseError parse_error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parse_error);
    if (document.isNull()) {
        error = "not JSON: " + to_utf8(parse_error.errorString()) + " at byte "
                + std::to_string(parse_error.offset);
        return false;
    }
    const QJsonObject object = document.object();
    if (object.value(QLatin1String("format")).toString() != QLatin1String("orvimet-results")) {
        error = "not a results file of orvimet-cli grade (no \"format\": \"orvimet-results\")";
        return false;
    }
    if (object.value(QLatin1String("format_version")).toInt() != 1) {
        error = "results format version "
                + std::to_string(object.value(QLatin1String("format_version")).toInt())
                + " is not known to this version of Orvimet (it reads version 1)";
        return false;
    }
    results = ClassResults{};
    results.document = object;
    results.exercise = text(object, "exercise");
    results.date = text(object, "date");
    results.complete = object.value(QLatin1String("complete")).toBool();
    results.from_course_website = object.value(QLatin1String("from_course_website")).toBool();
    // Taking the records out of the document is shared among the cores: a class of 300 on the
    // extended list holds some 30000 cases. Each thread reads its own copy of the array, which
    // shares the data without detaching it.
    const QJsonArray students = object.value(QLatin1String("students")).toArray();
    results.students.resize(static_cast<std::size_t>(students.size()));
    const std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
    std::vector<std::future<void>> threads;
    for (std::size_t w = 0; w < workers; ++w)
        threads.push_back(std::async(std::launch::async, [&results, students, w, workers] {
            for (std::size_t i = w; i < results.students.size(); i += workers)
                results.students[i]
                    = student_from_json(students.at(static_cast<int>(i)).toObject());
        }));
    for (std::future<void> &thread : threads)
        thread.get();
    return true;
}

bool read_results(const std::string &path, ClassResults &results, std::string &error)
{
    QFile file(from_utf8(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + ": " + to_utf8(file.errorString());
        return false;
    }
    if (file.size() > max_results_bytes) {
        error = path + ": " + std::to_string(file.size())
                + " bytes, larger than any results file of a class";
        return false;
    }
    if (!parse_results(file.readAll(), results, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}
