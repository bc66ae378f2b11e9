#include "results/resultsjson.h"

#include "judge/utf8.h"
#include "sandbox/fileio.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>
#include <thread>

namespace {

// 300 students of the extended list with every answer cut at 4096 bytes stay far below this;
// anything larger is not a results file of ours.
constexpr qint64 max_results_bytes = qint64(1) << 30;

// Texts go into the JSON as they are when they are UTF-8, else as `printable` writes them, so
// that the file always parses.
QString json_text(const std::string &bytes)
{
    const QString text = from_utf8(bytes);
    if (to_utf8(text) == bytes)
        return text;
    std::string escaped;
    for (std::size_t i = 0; i < bytes.size();) {
        // The longest valid UTF-8 run from i stays; an invalid byte becomes \xHH.
        std::size_t length = 1;
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0xC0 && c < 0xF8)
            length = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const std::string piece = bytes.substr(i, length);
        if (c < 0x80 || (piece.size() == length && to_utf8(from_utf8(piece)) == piece)) {
            escaped += c == '\\' ? std::string("\\\\") : piece;
            i += length;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            escaped += hex;
            i += 1;
        }
    }
    return from_utf8(escaped);
}

QJsonValue number_or_null(const std::optional<int> &value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonObject case_json(const CaseRecord &c, bool memcheck)
{
    QJsonObject o;
    o.insert(QStringLiteral("options"), json_text(c.options));
    o.insert(QStringLiteral("verdict"), QString::fromStdString(word(c.verdict)));
    o.insert(QStringLiteral("ending"), QString::fromStdString(word(c.ending)));
    o.insert(QStringLiteral("exit_code"), number_or_null(c.exit_code));
    o.insert(QStringLiteral("signal"), number_or_null(c.signal));
    o.insert(QStringLiteral("seconds"), c.seconds);
    o.insert(QStringLiteral("student"), json_text(c.student));
    o.insert(QStringLiteral("student_bytes"), static_cast<qint64>(c.student_bytes));
    o.insert(QStringLiteral("reference"), json_text(c.reference));
    o.insert(QStringLiteral("reference_bytes"), static_cast<qint64>(c.reference_bytes));
    o.insert(QStringLiteral("difference"),
             c.difference >= 0 ? QJsonValue(static_cast<qint64>(c.difference)) : QJsonValue());
    o.insert(QStringLiteral("student_word"), json_text(c.student_word));
    o.insert(QStringLiteral("reference_word"), json_text(c.reference_word));
    o.insert(QStringLiteral("note"), json_text(c.note));
    o.insert(QStringLiteral("memcheck"),
             memcheck ? QJsonValue(json_text(c.memcheck)) : QJsonValue());
    return o;
}

QJsonObject student_json(const StudentRecord &s, bool memcheck)
{
    QJsonObject o;
    o.insert(QStringLiteral("folder"), json_text(s.folder));
    o.insert(QStringLiteral("name"), json_text(s.name));
    o.insert(QStringLiteral("id"), json_text(s.id));
    o.insert(QStringLiteral("status"), QString::fromStdString(word(s.status)));
    o.insert(QStringLiteral("message"), json_text(s.message));
    if (!s.program.empty())
        o.insert(QStringLiteral("program"), json_text(s.program));
    if (s.reason != Reason::None) {
        QJsonArray values;
        for (const std::string &value : s.reasons)
            values.append(json_text(value));
        o.insert(QStringLiteral("reason"),
                 QJsonObject{{QStringLiteral("kind"), QString::fromStdString(word(s.reason))},
                             {QStringLiteral("values"), values}});
    }
    if (!s.skipped.empty()) {
        QJsonArray skipped;
        for (const auto &[reason, values] : s.skipped) {
            QJsonArray texts;
            for (const std::string &value : values)
                texts.append(json_text(value));
            skipped.append(
                QJsonObject{{QStringLiteral("kind"), QString::fromStdString(word(reason))},
                            {QStringLiteral("values"), texts}});
        }
        o.insert(QStringLiteral("skipped"), skipped);
        o.insert(QStringLiteral("skipped_more"), s.skipped_more);
    }
    QJsonObject build;
    build.insert(QStringLiteral("from_cache"), s.build_from_cache);
    build.insert(QStringLiteral("warnings"), s.build_warnings);
    build.insert(QStringLiteral("log"), json_text(s.build_log));
    build.insert(QStringLiteral("hash"), json_text(s.build_hash));
    o.insert(QStringLiteral("build"), build);
    if (memcheck) {
        QJsonObject check;
        check.insert(QStringLiteral("findings"), s.memcheck_findings);
        check.insert(QStringLiteral("first"), json_text(s.memcheck_first));
        check.insert(QStringLiteral("evasion"), json_text(s.memcheck_evasion));
        check.insert(QStringLiteral("shrunk"), json_text(s.memcheck_shrunk));
        check.insert(QStringLiteral("extended"), json_text(s.memcheck_extended));
        check.insert(QStringLiteral("extended_shrunk"), json_text(s.memcheck_extended_shrunk));
        o.insert(QStringLiteral("memcheck"), check);
    } else {
        o.insert(QStringLiteral("memcheck"), QJsonValue());
    }
    QJsonArray copies;
    for (const std::string &copy : s.copies)
        copies.append(json_text(copy));
    o.insert(QStringLiteral("copies"), copies);
    put_similar(o, s);
    o.insert(QStringLiteral("correct"), s.correct);
    o.insert(QStringLiteral("wrong"), s.wrong);
    o.insert(QStringLiteral("timeouts"), s.timeouts);
    o.insert(QStringLiteral("crashes"), s.crashes);
    o.insert(QStringLiteral("not_run"), s.not_run);
    o.insert(QStringLiteral("not_graded"), s.not_graded);
    QJsonArray cases;
    for (const CaseRecord &c : s.cases)
        cases.append(case_json(c, memcheck));
    o.insert(QStringLiteral("cases"), cases);
    if (s.has_counterexample) {
        QJsonObject found;
        found.insert(QStringLiteral("options"), json_text(s.counterexample_options));
        found.insert(QStringLiteral("original"), json_text(s.counterexample_original));
        found.insert(QStringLiteral("steps"), s.counterexample_steps);
        o.insert(QStringLiteral("counterexample"), found);
    }
    return o;
}

QJsonObject totals_json(const Totals &counted)
{
    QJsonObject totals;
    totals.insert(QStringLiteral("students"), counted.students);
    for (const Status status : all_statuses()) {
        const auto found = counted.by_status.find(status);
        totals.insert(QString::fromStdString(totals_key(status)),
                      found == counted.by_status.end() ? 0 : found->second);
    }
    return totals;
}

QJsonObject header_json(const ClassHeader &h, const Totals &counted)
{
    QJsonObject root;
    root.insert(QStringLiteral("format"), QStringLiteral("orvimet-results"));
    root.insert(QStringLiteral("format_version"), 1);
    root.insert(QStringLiteral("orvimet"), json_text(h.orvimet));
    root.insert(QStringLiteral("date"), json_text(h.date));
    root.insert(QStringLiteral("complete"), h.complete);
    root.insert(QStringLiteral("exercise"), json_text(h.exercise));
    root.insert(QStringLiteral("submissions"), json_text(h.submissions));
    root.insert(QStringLiteral("from_course_website"), h.from_course_website);
    QJsonObject cases;
    cases.insert(QStringLiteral("source"), json_text(h.cases));
    cases.insert(QStringLiteral("count"), h.case_count);
    cases.insert(QStringLiteral("seed"), static_cast<qint64>(h.seed));
    cases.insert(QStringLiteral("explore"), h.explore);
    cases.insert(QStringLiteral("found"), h.found);
    root.insert(QStringLiteral("cases"), cases);
    const Limits &l = h.limits;
    QJsonObject limits;
    limits.insert(QStringLiteral("wall_seconds"), static_cast<double>(l.wall.count()) / 1000);
    limits.insert(QStringLiteral("cpu_seconds"), l.cpu_seconds);
    limits.insert(QStringLiteral("memory_bytes"), static_cast<qint64>(l.memory_bytes));
    limits.insert(QStringLiteral("file_bytes"), static_cast<qint64>(l.file_bytes));
    limits.insert(QStringLiteral("processes"), l.processes);
    limits.insert(QStringLiteral("output_bytes"), static_cast<qint64>(l.output_bytes));
    root.insert(QStringLiteral("limits"), limits);
    root.insert(QStringLiteral("sandbox"), h.sandbox);
    QJsonObject build;
    build.insert(QStringLiteral("compiler"), json_text(h.compiler));
    build.insert(QStringLiteral("compiler_identity"), json_text(h.compiler_identity));
    QJsonArray flags;
    for (const std::string &flag : h.flags)
        flags.append(json_text(flag));
    build.insert(QStringLiteral("flags"), flags);
    build.insert(QStringLiteral("memcheck"), h.memcheck);
    // Only when the class file named some: a grading without them keeps the file it had.
    if (!h.sources.empty()) {
        QJsonObject sources;
        for (const ChosenSources &chosen : h.sources) {
            QJsonArray files;
            for (const std::string &file : chosen.files)
                files.append(json_text(file));
            sources.insert(json_text(chosen.student), files);
        }
        build.insert(QStringLiteral("sources"), sources);
    }
    root.insert(QStringLiteral("build"), build);
    root.insert(QStringLiteral("give_up_after"), h.give_up_after);
    QJsonObject shard;
    shard.insert(QStringLiteral("part"), h.shard);
    shard.insert(QStringLiteral("of"), h.shards);
    root.insert(QStringLiteral("shard"), shard);
    QJsonObject scoring;
    scoring.insert(QStringLiteral("points"), h.points);
    scoring.insert(QStringLiteral("memcheck_penalty"), h.memcheck_penalty);
    scoring.insert(QStringLiteral("groups"), QJsonArray());
    root.insert(QStringLiteral("scoring"), scoring);
    root.insert(QStringLiteral("totals"), totals_json(counted));
    return root;
}

std::string text(const QJsonObject &object, const char *key)
{
    return to_utf8(object.value(QLatin1String(key)).toString());
}

int number(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toInt();
}

std::int64_t big_number(const QJsonObject &object, const char *key)
{
    return static_cast<std::int64_t>(object.value(QLatin1String(key)).toDouble());
}

std::optional<int> optional_number(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isDouble() ? std::optional<int>(value.toInt()) : std::nullopt;
}

// The enum of a word of the file; false, with `error`, for a word it does not use.
template<typename Enum>
bool word_in(const QJsonObject &object, const char *key,
             std::optional<Enum> (*named)(const std::string &), Enum &out, std::string &error)
{
    const std::string given = text(object, key);
    const std::optional<Enum> value = named(given);
    if (!value) {
        error = std::string("unknown ") + key + " \"" + given + "\"";
        return false;
    }
    out = *value;
    return true;
}

bool case_from_json(const QJsonObject &object, CaseRecord &c, std::string &error)
{
    c.options = text(object, "options");
    if (!word_in(object, "verdict", verdict_named, c.verdict, error))
        return false;
    // Files of earlier versions may lack the ending: the verdict is what counts.
    if (object.contains(QLatin1String("ending"))
        && !word_in(object, "ending", ending_named, c.ending, error))
        return false;
    c.exit_code = optional_number(object, "exit_code");
    c.signal = optional_number(object, "signal");
    c.seconds = object.value(QLatin1String("seconds")).toDouble();
    c.student = text(object, "student");
    c.student_bytes = big_number(object, "student_bytes");
    c.reference = text(object, "reference");
    c.reference_bytes = big_number(object, "reference_bytes");
    c.difference = optional_number(object, "difference").value_or(-1);
    c.student_word = text(object, "student_word");
    c.reference_word = text(object, "reference_word");
    c.note = text(object, "note");
    c.memcheck = text(object, "memcheck");
    return true;
}

void header_from_json(const QJsonObject &root, ClassHeader &h)
{
    h.orvimet = text(root, "orvimet");
    h.date = text(root, "date");
    h.complete = root.value(QLatin1String("complete")).toBool();
    h.exercise = text(root, "exercise");
    h.submissions = text(root, "submissions");
    h.from_course_website = root.value(QLatin1String("from_course_website")).toBool();
    const QJsonObject cases = root.value(QLatin1String("cases")).toObject();
    h.cases = text(cases, "source");
    h.case_count = number(cases, "count");
    h.seed = static_cast<std::uint64_t>(cases.value(QLatin1String("seed")).toDouble());
    h.explore = number(cases, "explore");
    h.found = number(cases, "found");
    const QJsonObject limits = root.value(QLatin1String("limits")).toObject();
    h.limits.wall = std::chrono::milliseconds(
        std::llround(limits.value(QLatin1String("wall_seconds")).toDouble() * 1000));
    h.limits.cpu_seconds = number(limits, "cpu_seconds");
    h.limits.memory_bytes = static_cast<std::uint64_t>(big_number(limits, "memory_bytes"));
    h.limits.file_bytes = static_cast<std::uint64_t>(big_number(limits, "file_bytes"));
    h.limits.processes = number(limits, "processes");
    h.limits.output_bytes = static_cast<std::size_t>(big_number(limits, "output_bytes"));
    h.sandbox = root.value(QLatin1String("sandbox")).toBool();
    const QJsonObject build = root.value(QLatin1String("build")).toObject();
    h.compiler = text(build, "compiler");
    h.compiler_identity = text(build, "compiler_identity");
    h.flags.clear();
    for (const QJsonValue &flag : build.value(QLatin1String("flags")).toArray())
        h.flags.push_back(to_utf8(flag.toString()));
    h.memcheck = build.value(QLatin1String("memcheck")).toBool();
    const QJsonObject sources = build.value(QLatin1String("sources")).toObject();
    for (auto it = sources.begin(); it != sources.end(); ++it) {
        ChosenSources chosen{to_utf8(it.key()), {}, "results.json"};
        for (const QJsonValue &file : it.value().toArray())
            if (inside_hand_in(to_utf8(file.toString())))
                chosen.files.push_back(to_utf8(file.toString()));
        h.sources.push_back(std::move(chosen));
    }
    h.give_up_after = number(root, "give_up_after");
    const QJsonObject shard = root.value(QLatin1String("shard")).toObject();
    h.shard = shard.value(QLatin1String("part")).toInt(1);
    h.shards = shard.value(QLatin1String("of")).toInt(1);
    const QJsonObject scoring = root.value(QLatin1String("scoring")).toObject();
    h.points = scoring.value(QLatin1String("points")).toDouble(100);
    h.memcheck_penalty = scoring.value(QLatin1String("memcheck_penalty")).toDouble();
}

} // namespace

void put_similar(QJsonObject &object, const StudentRecord &student)
{
    if (!student.similar) {
        object.remove(QStringLiteral("similar"));
        return;
    }
    QJsonArray similar;
    for (const SimilarityRecord &r : *student.similar)
        similar.append(QJsonObject{{QStringLiteral("student"), json_text(r.student)},
                                   {QStringLiteral("earlier"), r.earlier},
                                   {QStringLiteral("similarity"), r.similarity},
                                   {QStringLiteral("coverage"), r.coverage},
                                   {QStringLiteral("longest"), r.longest}});
    object.insert(QStringLiteral("similar"), similar);
}

QByteArray student_text(const StudentRecord &student, bool memcheck)
{
    return QJsonDocument(student_json(student, memcheck)).toJson(QJsonDocument::Compact);
}

QByteArray results_text(const ClassHeader &header, const Totals &totals,
                        const std::vector<QByteArray> &students)
{
    QByteArray text = QJsonDocument(header_json(header, totals)).toJson(QJsonDocument::Indented);
    text.chop(2); // "}\n"
    text += ",\n    \"students\": [";
    bool first = true;
    for (const QByteArray &record : students) {
        if (record.isEmpty())
            continue;
        text += first ? "\n        " : ",\n        ";
        text += record;
        first = false;
    }
    text += "\n    ]\n}\n";
    return text;
}

bool write_results(const std::string &path, const QByteArray &text, std::string &error)
{
    return replace_file(path, text.constData(), static_cast<std::size_t>(text.size()), error);
}

bool student_from_json(const QJsonObject &object, StudentRecord &s, std::string &error)
{
    s.folder = text(object, "folder");
    s.name = text(object, "name");
    s.id = text(object, "id");
    if (!word_in(object, "status", status_named, s.status, error))
        return false;
    s.message = text(object, "message");
    s.program = text(object, "program");
    // Older files have the message alone; a kind this reader does not know leaves it so.
    const QJsonObject reason = object.value(QLatin1String("reason")).toObject();
    s.reason = reason_named(text(reason, "kind")).value_or(Reason::None);
    s.reasons.clear();
    for (const QJsonValue &value : reason.value(QLatin1String("values")).toArray())
        s.reasons.push_back(to_utf8(value.toString()));
    // The notes of skipped entries, each of a kind this reader knows, or the message alone.
    s.skipped.clear();
    s.skipped_more = number(object, "skipped_more");
    for (const QJsonValue &note : object.value(QLatin1String("skipped")).toArray()) {
        const std::optional<Reason> kind = reason_named(text(note.toObject(), "kind"));
        if (!kind || *kind == Reason::None) {
            s.skipped.clear();
            break;
        }
        std::vector<std::string> values;
        for (const QJsonValue &value : note.toObject().value(QLatin1String("values")).toArray())
            values.push_back(to_utf8(value.toString()));
        s.skipped.emplace_back(*kind, std::move(values));
    }
    if (s.skipped.empty())
        s.skipped_more = 0;
    const QJsonObject build = object.value(QLatin1String("build")).toObject();
    s.build_from_cache = build.value(QLatin1String("from_cache")).toBool();
    s.build_warnings = number(build, "warnings");
    s.build_log = text(build, "log");
    s.build_hash = text(build, "hash");
    const QJsonObject memcheck = object.value(QLatin1String("memcheck")).toObject();
    s.memcheck_findings = number(memcheck, "findings");
    s.memcheck_first = text(memcheck, "first");
    s.memcheck_evasion = text(memcheck, "evasion");
    s.memcheck_shrunk = text(memcheck, "shrunk");
    s.memcheck_extended = text(memcheck, "extended");
    s.memcheck_extended_shrunk = text(memcheck, "extended_shrunk");
    s.copies.clear();
    for (const QJsonValue &copy : object.value(QLatin1String("copies")).toArray())
        s.copies.push_back(to_utf8(copy.toString()));
    s.similar.reset();
    if (object.value(QLatin1String("similar")).isArray()) {
        s.similar.emplace();
        for (const QJsonValue &value : object.value(QLatin1String("similar")).toArray()) {
            const QJsonObject o = value.toObject();
            s.similar->push_back({text(o, "student"), o.value(QLatin1String("earlier")).toBool(),
                                  o.value(QLatin1String("similarity")).toDouble(),
                                  o.value(QLatin1String("coverage")).toDouble(),
                                  number(o, "longest")});
        }
    }
    s.correct = number(object, "correct");
    s.wrong = number(object, "wrong");
    s.timeouts = number(object, "timeouts");
    s.crashes = number(object, "crashes");
    s.not_run = number(object, "not_run");
    s.not_graded = number(object, "not_graded");
    const QJsonArray cases = object.value(QLatin1String("cases")).toArray();
    s.cases.assign(static_cast<std::size_t>(cases.size()), CaseRecord());
    for (int i = 0; i < cases.size(); ++i)
        if (!case_from_json(cases.at(i).toObject(), s.cases[static_cast<std::size_t>(i)], error))
            return false;
    const QJsonValue counterexample = object.value(QLatin1String("counterexample"));
    s.has_counterexample = counterexample.isObject();
    if (s.has_counterexample) {
        s.counterexample_options = text(counterexample.toObject(), "options");
        s.counterexample_original = text(counterexample.toObject(), "original");
        s.counterexample_steps = number(counterexample.toObject(), "steps");
    }
    return true;
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
    results.scoring = object.value(QLatin1String("scoring")).toObject();
    header_from_json(object, results);
    // Taking the records out of the document is shared among the cores: a class of 300 on the
    // extended list holds some 30000 cases. Each thread reads its own copy of the array, which
    // shares the data without detaching it.
    const QJsonArray students = object.value(QLatin1String("students")).toArray();
    results.students.resize(static_cast<std::size_t>(students.size()));
    const std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
    std::vector<std::string> errors(workers);
    std::vector<std::future<void>> threads;
    for (std::size_t w = 0; w < workers; ++w)
        threads.push_back(std::async(std::launch::async, [&results, &errors, students, w, workers] {
            for (std::size_t i = w; i < results.students.size() && errors[w].empty(); i += workers)
                if (!student_from_json(students.at(static_cast<int>(i)).toObject(),
                                       results.students[i], errors[w]))
                    errors[w] = "student " + std::to_string(i + 1) + ": " + errors[w];
        }));
    for (std::future<void> &thread : threads)
        thread.get();
    for (const std::string &e : errors) {
        if (!e.empty()) {
            error = e;
            return false;
        }
    }
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

bool replace_student(ClassResults &results, const StudentRecord &student, QByteArray &text,
                     std::string &error)
{
    const auto place
        = std::find_if(results.students.begin(), results.students.end(),
                       [&](const StudentRecord &s) { return s.folder == student.folder; });
    if (place == results.students.end()) {
        error = "no student " + student.folder + " in the results";
        return false;
    }
    *place = student;
    QJsonArray students = results.document.value(QLatin1String("students")).toArray();
    const int index = static_cast<int>(place - results.students.begin());
    students[index] = student_json(student, results.memcheck);
    results.document.insert(QStringLiteral("students"), students);
    Totals totals;
    totals.students = static_cast<int>(results.students.size());
    for (const StudentRecord &s : results.students)
        totals.by_status[s.status] += 1;
    results.document.insert(QStringLiteral("totals"), totals_json(totals));
    text = QJsonDocument(results.document).toJson(QJsonDocument::Indented);
    return true;
}

void put_grades(QJsonObject &document, const QJsonObject &scoring,
                const std::vector<std::optional<double>> &points,
                const std::vector<StudentRecord> *similar)
{
    document.insert(QStringLiteral("scoring"), scoring);
    QJsonArray students = document.value(QLatin1String("students")).toArray();
    for (int i = 0; i < students.size(); ++i) {
        const auto index = static_cast<std::size_t>(i);
        QJsonObject student = students[i].toObject();
        const std::optional<double> p = index < points.size() ? points[index] : std::nullopt;
        student.insert(QStringLiteral("points"), p ? QJsonValue(*p) : QJsonValue());
        if (similar && index < similar->size())
            put_similar(student, (*similar)[index]);
        students[i] = student;
    }
    document.insert(QStringLiteral("students"), students);
}
