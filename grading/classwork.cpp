#include "grading/classwork.h"

#include "explore/cases.h"
#include "explore/literals.h"
#include "explore/sample.h"
#include "grading/explorer.h"
#include "grading/memcheck.h"
#include "grading/reports.h"
#include "judge/exercise.h"
#include "judge/utf8.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A source file's text, at most `limit` bytes; empty for anything but a regular file (a link
// planted in a folder handed in is not followed).
std::string source_text(const std::string &path, std::size_t limit = std::size_t(1) << 20)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info
    {
    };
    std::string text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        text.resize(std::min<std::size_t>(limit, static_cast<std::size_t>(info.st_size)));
        const ssize_t got = ::read(fd, text.data(), text.size());
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ::close(fd);
    return text;
}

// The numbers written in the sources of every student who handed sources in, at most a few
// hundred of them, so that the explorer's other strings keep their share.
Dictionary class_source_numbers(const std::vector<StudentOutcome> &students)
{
    std::vector<std::string> texts;
    for (const StudentOutcome &student : students) {
        if (student.submission.kind != SubmissionKind::Sources)
            continue;
        for (const auto *files : {&student.submission.sources, &student.submission.headers}) {
            for (const std::string &path : *files)
                texts.push_back(source_text(path));
        }
    }
    Dictionary numbers = source_numbers(texts);
    constexpr std::size_t most = 512;
    if (numbers.size() > most) {
        // Keep the spread: every k-th of the sorted numbers.
        Dictionary kept;
        for (std::size_t i = 0; i < most; ++i)
            kept.push_back(numbers[i * numbers.size() / most]);
        numbers = std::move(kept);
    }
    return numbers;
}

// Readable by all: the programs in it run as an unprivileged user of the sandbox when the grader
// is root, and hold nothing of the teacher's.
std::string make_folder(const std::string &path)
{
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        return "cannot make " + path + ": " + std::strerror(errno);
    return {};
}

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

std::string cut(const std::string &answer)
{
    return answer.size() <= kept_answer_bytes ? answer : answer.substr(0, kept_answer_bytes);
}

// The program a student's case runs: a copy of the built or handed-in one, named for the
// exercise so that its answer file has the name the handout gives, in a folder of the grader's.
// Runnable whatever modes an archive kept; read through no link.
std::string place_program(const std::string &from, const std::string &folder,
                          const std::string &name, std::uint64_t max_bytes, std::string &error)
{
    error = make_folder(folder);
    if (!error.empty())
        return {};
    const std::string to = folder + "/" + name;
    const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status
    {
    };
    if (in < 0 || ::fstat(in, &status) != 0 || !S_ISREG(status.st_mode)
        || static_cast<std::uint64_t>(status.st_size) > max_bytes) {
        error = in < 0 ? std::string(std::strerror(errno)) : "not a regular file of bounded size";
        if (in >= 0)
            ::close(in);
        return {};
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755);
    bool good = out >= 0;
    char buffer[65536];
    for (ssize_t n; good && (n = ::read(in, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        good = n > 0 && ::write(out, buffer, static_cast<std::size_t>(n)) == n;
    }
    ::close(in);
    if (out >= 0 && ::close(out) != 0)
        good = false;
    if (!good) {
        error = std::string("cannot copy the program: ") + std::strerror(errno);
        return {};
    }
    return to;
}

// A program that the cache of builds handed over is a file the grader wrote for this grading in
// its own scratch folder, like the copy place_program() makes: it is moved into place instead.
// One that a compiler or a student made is copied, into a file of the grader's. Empty when it
// cannot be moved.
std::string move_program(const std::string &from, const std::string &folder,
                         const std::string &name)
{
    struct stat status
    {
    };
    const std::string to = folder + "/" + name;
    if (!make_folder(folder).empty() || ::lstat(from.c_str(), &status) != 0
        || !S_ISREG(status.st_mode) || ::rename(from.c_str(), to.c_str()) != 0)
        return {};
    return to;
}

const char *verdict_of(const CaseResult &c)
{
    if (c.not_run || c.run.end == ChildRun::End::FailedToStart)
        return "not run";
    if (!c.graded())
        return "not graded";
    if (c.correct)
        return "correct";
    if (c.run.end == ChildRun::End::TimedOut)
        return "timeout";
    return c.run.end == ChildRun::End::Crashed ? "crash" : "wrong";
}

const char *ending_of(const CaseResult &c)
{
    return c.not_run ? "not-run" : ending_name(c.run.end);
}

// Each case counts once, by its verdict.
void recount(StudentOutcome &record)
{
    record.correct = record.wrong = record.timeouts = record.crashes = record.not_run
        = record.not_graded = 0;
    for (const StudentCase &c : record.cases) {
        const std::string verdict = verdict_of(c.result);
        int &counter = verdict == "correct"   ? record.correct
                       : verdict == "wrong"   ? record.wrong
                       : verdict == "timeout" ? record.timeouts
                       : verdict == "crash"   ? record.crashes
                       : verdict == "not run" ? record.not_run
                                              : record.not_graded;
        counter += 1;
    }
    record.memcheck_findings = 0;
    record.memcheck_first.clear();
    for (const StudentCase &c : record.cases) {
        if (c.memcheck.empty())
            continue;
        if (record.memcheck_findings++ == 0)
            record.memcheck_first = c.memcheck;
    }
}

StudentCase kept_case(const CaseResult &result, const std::string &memcheck)
{
    StudentCase c;
    c.result = result;
    c.student_bytes = result.student_text.size();
    c.reference_bytes = result.reference_text.size();
    c.result.student_text = cut(result.student_text);
    c.result.reference_text = cut(result.reference_text);
    c.result.student_token = cut(result.student_token);
    c.result.reference_token = cut(result.reference_token);
    c.memcheck = memcheck;
    return c;
}

QJsonValue number_or_null(bool present, int value)
{
    return present ? QJsonValue(value) : QJsonValue();
}

QJsonObject case_json(const StudentCase &c, bool memcheck)
{
    const CaseResult &r = c.result;
    QJsonObject o;
    o.insert(QStringLiteral("options"), json_text(r.options));
    o.insert(QStringLiteral("verdict"), QLatin1String(verdict_of(r)));
    o.insert(QStringLiteral("ending"), QLatin1String(ending_of(r)));
    o.insert(QStringLiteral("exit_code"),
             number_or_null(!r.not_run && r.run.end == ChildRun::End::Exited, r.run.exit_code));
    o.insert(QStringLiteral("signal"),
             number_or_null(!r.not_run && r.run.end == ChildRun::End::Crashed, r.run.signal));
    o.insert(QStringLiteral("seconds"), static_cast<double>(r.run.elapsed.count()) / 1000);
    o.insert(QStringLiteral("student"), json_text(r.student_text));
    o.insert(QStringLiteral("student_bytes"), static_cast<qint64>(c.student_bytes));
    o.insert(QStringLiteral("reference"), json_text(r.reference_text));
    o.insert(QStringLiteral("reference_bytes"), static_cast<qint64>(c.reference_bytes));
    const std::string verdict = verdict_of(r);
    const bool differs = r.difference != std::string::npos
                         && (verdict == "wrong" || verdict == "crash" || verdict == "timeout");
    o.insert(QStringLiteral("difference"),
             differs ? QJsonValue(static_cast<qint64>(r.difference)) : QJsonValue());
    o.insert(QStringLiteral("student_word"), json_text(differs ? r.student_token : ""));
    o.insert(QStringLiteral("reference_word"), json_text(differs ? r.reference_token : ""));
    o.insert(QStringLiteral("note"), json_text(r.note));
    o.insert(QStringLiteral("memcheck"),
             memcheck ? QJsonValue(json_text(c.memcheck)) : QJsonValue());
    return o;
}

QJsonObject student_json(const StudentOutcome &s, bool memcheck)
{
    QJsonObject o;
    o.insert(QStringLiteral("folder"), json_text(s.submission.folder));
    o.insert(QStringLiteral("name"), json_text(s.submission.full_name));
    o.insert(QStringLiteral("id"), json_text(s.submission.id));
    o.insert(QStringLiteral("status"), json_text(s.status));
    o.insert(QStringLiteral("message"), json_text(s.message));
    QJsonObject build;
    build.insert(QStringLiteral("from_cache"), s.build.from_cache);
    build.insert(QStringLiteral("warnings"), s.build.warnings);
    build.insert(QStringLiteral("log"), json_text(s.build.log));
    build.insert(QStringLiteral("hash"), json_text(s.build.hash));
    o.insert(QStringLiteral("build"), build);
    if (memcheck) {
        QJsonObject check;
        check.insert(QStringLiteral("findings"), s.memcheck_findings);
        check.insert(QStringLiteral("first"), json_text(s.memcheck_first));
        check.insert(QStringLiteral("evasion"), json_text(s.evasion));
        check.insert(QStringLiteral("shrunk"), json_text(s.memcheck_shrunk));
        o.insert(QStringLiteral("memcheck"), check);
    } else {
        o.insert(QStringLiteral("memcheck"), QJsonValue());
    }
    QJsonArray copies;
    for (const std::string &copy : s.copies)
        copies.append(json_text(copy));
    o.insert(QStringLiteral("copies"), copies);
    o.insert(QStringLiteral("correct"), s.correct);
    o.insert(QStringLiteral("wrong"), s.wrong);
    o.insert(QStringLiteral("timeouts"), s.timeouts);
    o.insert(QStringLiteral("crashes"), s.crashes);
    o.insert(QStringLiteral("not_run"), s.not_run);
    o.insert(QStringLiteral("not_graded"), s.not_graded);
    QJsonArray cases;
    for (const StudentCase &c : s.cases)
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

// results.json, kept as each student's serialised record so that a rewrite after every student
// costs a copy of bytes, not a new serialisation of the class.
class ResultsFile
{
public:
    ResultsFile(const ClassSettings &settings, std::string identity)
        : settings(settings)
        , identity(std::move(identity))
        , path(settings.results + "/results.json")
        , date(QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
    {}

    void set_class(const Intake &intake, std::size_t students, int case_count)
    {
        from_course_website = intake.from_course_website;
        records.assign(students, QByteArray());
        cases = case_count;
    }

    void set(std::size_t index, const StudentOutcome &record)
    {
        records[index]
            = QJsonDocument(student_json(record, settings.memcheck)).toJson(QJsonDocument::Compact);
    }

    // The whole file, through a new file renamed into place: readers see the old state or the
    // new one, never a part.
    // Every record as it stands, then the file.
    std::string write_all(const std::vector<StudentOutcome> &students, bool complete)
    {
        for (std::size_t i = 0; i < students.size() && i < records.size(); ++i)
            set(i, students[i]);
        return write(students, complete);
    }

    // The file as it stands, unless it was written a short while ago: then the change waits for
    // a later call, for flush() or for write_all(). The pause grows with the time a writing
    // takes, so that rewriting the growing file costs a class a small share of its time, not a
    // share that grows with the class.
    std::string write_soon(const std::vector<StudentOutcome> &students)
    {
        pending = true;
        if (std::chrono::steady_clock::now() < next_write)
            return {};
        return write(students, false);
    }

    // What write_soon() left unwritten.
    std::string flush(const std::vector<StudentOutcome> &students)
    {
        return pending ? write(students, false) : std::string();
    }

    std::string write(const std::vector<StudentOutcome> &students, bool complete)
    {
        const auto start = std::chrono::steady_clock::now();
        pending = false;
        QByteArray text = QJsonDocument(header(students, complete)).toJson(QJsonDocument::Indented);
        text.chop(2); // "}\n"
        text += ",\n    \"students\": [";
        bool first = true;
        for (const QByteArray &record : records) {
            if (record.isEmpty())
                continue;
            text += first ? "\n        " : ",\n        ";
            text += record;
            first = false;
        }
        text += "\n    ]\n}\n";
        const std::string temporary = path + ".new";
        const int fd = ::open(temporary.c_str(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
        bool good = fd >= 0;
        for (qint64 done = 0; good && done < text.size();) {
            const ssize_t n = ::write(fd, text.constData() + done,
                                      static_cast<std::size_t>(text.size() - done));
            good = n > 0 || (n < 0 && errno == EINTR);
            done += std::max<ssize_t>(n, 0);
        }
        if (fd >= 0 && ::close(fd) != 0)
            good = false;
        if (!good || ::rename(temporary.c_str(), path.c_str()) != 0) {
            const std::string error = std::strerror(errno);
            ::unlink(temporary.c_str());
            return "cannot write " + path + ": " + error;
        }
        const auto end = std::chrono::steady_clock::now();
        next_write
            = end + std::max<std::chrono::steady_clock::duration>(least_pause, 20 * (end - start));
        return {};
    }

    int cases = 0;
    int explore_found = 0;

private:
    QJsonObject header(const std::vector<StudentOutcome> &students, bool complete) const
    {
        QJsonObject root;
        root.insert(QStringLiteral("format"), QStringLiteral("orvimet-results"));
        root.insert(QStringLiteral("format_version"), 1);
        root.insert(QStringLiteral("orvimet"), json_text(settings.version));
        root.insert(QStringLiteral("date"), date);
        root.insert(QStringLiteral("complete"), complete);
        root.insert(QStringLiteral("exercise"), json_text(settings.exercise));
        root.insert(QStringLiteral("submissions"), json_text(settings.submissions));
        root.insert(QStringLiteral("from_course_website"), from_course_website);
        QJsonObject case_info;
        case_info.insert(QStringLiteral("source"), json_text(settings.cases_source));
        case_info.insert(QStringLiteral("count"), cases);
        case_info.insert(QStringLiteral("seed"), static_cast<qint64>(settings.seed));
        case_info.insert(QStringLiteral("explore"), settings.explore);
        case_info.insert(QStringLiteral("found"), explore_found);
        root.insert(QStringLiteral("cases"), case_info);
        const Limits &l = settings.grading.limits;
        QJsonObject limits;
        limits.insert(QStringLiteral("wall_seconds"), static_cast<double>(l.wall.count()) / 1000);
        limits.insert(QStringLiteral("cpu_seconds"), l.cpu_seconds);
        limits.insert(QStringLiteral("memory_bytes"), static_cast<qint64>(l.memory_bytes));
        limits.insert(QStringLiteral("file_bytes"), static_cast<qint64>(l.file_bytes));
        limits.insert(QStringLiteral("processes"), l.processes);
        limits.insert(QStringLiteral("output_bytes"), static_cast<qint64>(l.output_bytes));
        root.insert(QStringLiteral("limits"), limits);
        root.insert(QStringLiteral("sandbox"), settings.grading.sandbox.enabled);
        QJsonObject build;
        build.insert(QStringLiteral("compiler"), json_text(settings.build.compiler));
        build.insert(QStringLiteral("compiler_identity"), json_text(identity));
        QJsonArray flags;
        for (const std::string &flag : settings.build.flags)
            flags.append(json_text(flag));
        build.insert(QStringLiteral("flags"), flags);
        build.insert(QStringLiteral("memcheck"), settings.memcheck);
        root.insert(QStringLiteral("build"), build);
        root.insert(QStringLiteral("give_up_after"), settings.give_up_after);
        QJsonObject shard;
        shard.insert(QStringLiteral("part"), settings.shard);
        shard.insert(QStringLiteral("of"), settings.shards);
        root.insert(QStringLiteral("shard"), shard);
        QJsonObject scoring;
        scoring.insert(QStringLiteral("points"), settings.points);
        scoring.insert(QStringLiteral("memcheck_penalty"), settings.memcheck_penalty);
        scoring.insert(QStringLiteral("groups"), QJsonArray());
        root.insert(QStringLiteral("scoring"), scoring);
        std::map<std::string, int> by_status;
        for (const StudentOutcome &s : students)
            by_status[s.status] += 1;
        QJsonObject totals;
        totals.insert(QStringLiteral("students"), static_cast<int>(students.size()));
        for (const char *status :
             {"graded", "does not compile", "nothing handed in", "a Windows program",
              "could not start", "refused", "missing", "not graded"}) {
            std::string key
                = status == std::string("a Windows program") ? "windows_program" : status;
            std::replace(key.begin(), key.end(), ' ', '_');
            totals.insert(QString::fromStdString(key), by_status[status]);
        }
        root.insert(QStringLiteral("totals"), totals);
        return root;
    }

    const ClassSettings &settings;
    const std::string identity;
    const std::string path;
    const QString date;
    bool from_course_website = false;
    std::vector<QByteArray> records;
    static constexpr std::chrono::milliseconds least_pause{1000};
    std::chrono::steady_clock::time_point next_write;
    bool pending = false;
};

// A thread that the scope it was started in waits for, however it is left.
struct Joined
{
    std::thread thread;
    ~Joined()
    {
        if (thread.joinable())
            thread.join();
    }
};

} // namespace

int shard_of(const std::string &folder, int shards)
{
    // FNV-1a: the same on every machine, unlike std::hash.
    std::uint64_t hash = 1469598103934665603ULL;
    for (const unsigned char c : folder)
        hash = (hash ^ c) * 1099511628211ULL;
    return shards <= 1 ? 1 : static_cast<int>(hash % static_cast<std::uint64_t>(shards)) + 1;
}

ClassOutcome grade_submissions(const ClassSettings &settings,
                               const std::function<void(const ClassProgress &)> &progress,
                               const std::function<void(const StudentOutcome &)> &student_done)
{
    ClassOutcome outcome;
    const auto tell = [&](const char *phase, int done, int total, const std::string &student) {
        if (progress)
            progress({phase, done, total, student});
    };

    tell("unpacking", 0, 0, "");
    const std::string unpack_root = settings.results + "/unpacked";
    if (!(outcome.error = make_folder(unpack_root)).empty())
        return outcome;
    Intake intake
        = take_in(settings.submissions, unpack_root, settings.program_name, settings.intake);
    if (!intake.error.empty()) {
        outcome.error = intake.error;
        return outcome;
    }
    std::vector<StudentOutcome> &students = outcome.students;
    for (Submission &submission : intake.students) {
        if (shard_of(submission.folder, settings.shards) != settings.shard)
            continue;
        StudentOutcome record;
        record.submission = std::move(submission);
        const Submission &s = record.submission;
        switch (s.kind) {
        case SubmissionKind::Sources:
        case SubmissionKind::LinuxProgram:
            break;
        case SubmissionKind::WindowsProgram:
            record.status = "a Windows program";
            break;
        case SubmissionKind::Nothing:
            record.status = "nothing handed in";
            break;
        case SubmissionKind::Refused:
            record.status = "refused";
            break;
        }
        record.message = s.message;
        students.push_back(std::move(record));
    }
    const std::size_t count = students.size();

    // The cases: the given ones, then the generated ones, the same for everybody. The generated
    // ones also try the numbers the class's sources are written with (array sizes, buffer
    // lengths): every student is judged on the strings aimed at anyone's.
    std::vector<std::string> options = settings.options;
    const std::size_t first_generated = options.size();
    const Dictionary dictionary
        = settings.explore > 0 ? class_source_numbers(students) : Dictionary();
    const std::vector<Words> generated
        = generate_cases(settings.grading.exercise, settings.seed, settings.explore, dictionary);
    for (const Words &words : generated)
        options.push_back(options_line(words));

    ResultsFile results(
        settings, compiler_identity(settings.build.compiler, build_cache_folder(settings.build)));
    results.set_class(intake, count, static_cast<int>(options.size()));
    std::mutex mutex; // the records and the results file, from the workers
    const auto publish = [&](std::size_t index) {
        results.set(index, students[index]);
        const std::string error = results.write_soon(students);
        if (!error.empty() && outcome.error.empty())
            outcome.error = error;
    };
    // The file holds every record published before each phase: a phase that cannot start
    // leaves it as complete as it can be.
    const auto flush = [&] {
        const std::string error = results.flush(students);
        if (!error.empty() && outcome.error.empty())
            outcome.error = error;
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (!students[i].status.empty())
            publish(i);
    }
    flush();

    const std::string programs_root = settings.scratch + "programs";
    if (!(outcome.error = make_folder(programs_root)).empty())
        return outcome;
    // The reference answers, each option string once, all checked before any student's run.
    // They depend on nothing of the students', so they run while the programs are built: a
    // regrade, whose builds come from the cache, then waits for neither alone.
    ClassRun run;
    run.grading = settings.grading;
    run.jobs = settings.jobs;
    run.give_up_after = settings.give_up_after;
    run.options = options;
    std::string error;
    run.workroot = settings.scratch + "runs/";
    if (!(outcome.error = make_folder(settings.scratch + "runs")).empty())
        return outcome;
    std::vector<ReferenceAnswer> answers(options.size());
    const int reference_jobs
        = std::max(1, std::min(settings.jobs, static_cast<int>(answers.size())));
    std::vector<std::string> reference_workdirs;
    for (int i = 0; i < reference_jobs; ++i) {
        reference_workdirs.push_back(make_workdir(run.workroot, error));
        if (reference_workdirs.back().empty()) {
            outcome.error = error;
            return outcome;
        }
    }
    const auto run_references = [&] {
        run_parallel(
            static_cast<int>(options.size()), settings.jobs, [&](int i, int worker, const Wake &) {
                answers[i] = run_reference(run.grading, options[i], reference_workdirs[worker]);
            });
    };
    Joined references{std::thread(run_references)};

    // Builds, in parallel; the ones that already have a status need none.
    std::vector<std::string> run_programs(count), memcheck_programs(count);
    std::atomic<int> built{0};
    std::string in_hand;
    run_parallel(
        static_cast<int>(count), settings.jobs,
        [&](int i, int, const Wake &wake) {
            StudentOutcome &record = students[static_cast<std::size_t>(i)];
            const Submission &s = record.submission;
            const std::string folder = programs_root + "/" + std::to_string(i);
            {
                const std::lock_guard<std::mutex> lock(mutex);
                in_hand = s.full_name;
            }
            wake();
            std::string error;
            if (s.kind == SubmissionKind::LinuxProgram) {
                run_programs[i] = place_program(s.program, folder, settings.program_name,
                                                settings.grading.limits.file_bytes, error);
                if (run_programs[i].empty()) {
                    record.status = "could not start";
                    record.message = "could not start: " + error;
                }
            } else if (s.kind == SubmissionKind::Sources && !interrupted()) {
                const std::string build_dir = folder + "-build";
                make_folder(build_dir);
                record.build
                    = build_program(settings.build, s.path, s.sources, s.headers, build_dir);
                if (record.build.status == BuildResult::Status::Failed) {
                    record.status = "does not compile";
                    record.message = record.build.reason;
                } else if (record.build.status == BuildResult::Status::NotBuilt) {
                    record.status = "not graded";
                    record.message = "the grader could not build it: " + record.build.reason;
                } else {
                    if (record.build.from_cache)
                        run_programs[i]
                            = move_program(record.build.program, folder, settings.program_name);
                    if (run_programs[i].empty())
                        run_programs[i]
                            = place_program(record.build.program, folder, settings.program_name,
                                            std::uint64_t(1) << 30, error);
                    if (run_programs[i].empty()) {
                        record.status = "not graded";
                        record.message = "the grader could not take the built program: " + error;
                    }
                }
                if (settings.memcheck && run_programs[i].size()) {
                    const MemcheckBuild check = build_for_memory_check(
                        settings.build, s, folder + "-memcheck", settings.program_name);
                    record.evasion = check.evasion;
                    memcheck_programs[i] = check.program;
                }
            }
            built += 1;
        },
        [&] {
            std::string name;
            {
                const std::lock_guard<std::mutex> lock(mutex);
                name = in_hand;
            }
            tell("building", built.load(), static_cast<int>(count), name);
        });
    // Exact copies: the same sources, byte for byte, under other names.
    std::map<std::string, std::vector<std::size_t>> by_hash;
    for (std::size_t i = 0; i < count; ++i) {
        if (students[i].submission.kind == SubmissionKind::Sources
            && !students[i].build.hash.empty())
            by_hash[students[i].build.hash].push_back(i);
    }
    for (const auto &group : by_hash) {
        for (const std::size_t i : group.second) {
            for (const std::size_t j : group.second) {
                if (i != j)
                    students[i].copies.push_back(students[j].submission.folder);
            }
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!students[i].status.empty() && students[i].submission.kind == SubmissionKind::Sources)
            publish(i);
    }
    flush();
    references.thread.join();
    if (interrupted()) {
        results.write_all(students, false);
        return outcome;
    }

    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (answers[i].run.end == ChildRun::End::NotGraded)
            answers[i] = run_reference(run.grading, options[i], reference_workdirs.front());
        const std::string problem = reference_problem(answers[i]);
        if (!problem.empty()) {
            outcome.error = "the reference program " + settings.grading.reference_path + " "
                            + problem + " on the options" + options[i];
            return outcome;
        }
        run.reference_texts.push_back(answers[i].text);
    }
    const std::string reference_dir = make_workdir(run.workroot, error);
    if (reference_dir.empty()) {
        outcome.error = error;
        return outcome;
    }
    ReferenceAnswers reference(run.grading, reference_dir);
    for (std::size_t i = first_generated; i < options.size(); ++i)
        reference.add(options[i], answers[i]);

    // Every program that can run, on every case.
    std::vector<StudentProgram> programs;
    std::vector<std::size_t> student_of;
    std::map<std::string, std::size_t> index_of; // program path -> student
    for (std::size_t i = 0; i < count; ++i) {
        if (students[i].status.empty() && !run_programs[i].empty()) {
            programs.push_back(student_program(run_programs[i]));
            programs.back().name = students[i].submission.folder;
            index_of[run_programs[i]] = i;
            student_of.push_back(i);
        } else if (students[i].status.empty()) {
            students[i].status = "not graded";
        }
    }
    std::vector<std::vector<StudentCase>> kept(count);
    // The sanitizers run the given cases and the explored strings of memcheck_sample(); their first
    // finding on an explored string is shrunk, and becomes a found case.
    std::vector<bool> sampled(options.size(), true);
    if (settings.memcheck) {
        std::fill(sampled.begin() + static_cast<std::ptrdiff_t>(first_generated), sampled.end(),
                  false);
        for (const std::size_t c : memcheck_sample(generated))
            sampled[first_generated + c] = true;
    }
    const auto check_memory = [&](std::size_t i, std::vector<StudentCase> &cases, bool sample) {
        if (memcheck_programs[i].empty())
            return;
        memory_check(settings, memcheck_programs[i], cases,
                     [&](std::size_t c) { return !sample || (c < sampled.size() && sampled[c]); });
        if (sample)
            students[i].memcheck_shrunk = shrink_first_finding(settings, memcheck_programs[i],
                                                               cases, first_generated, generated);
    };
    run.finish_program
        = [&](const StudentProgram &program, ProgramReport &report, const std::string &workdir) {
              const std::size_t i = index_of.at(program.location_s + program.command_s);
              std::vector<StudentCase> &cases = kept[i];
              for (const CaseResult &result : report.cases)
                  cases.push_back(kept_case(result, ""));
              check_memory(i, cases, true);
              for (std::size_t c = first_generated; c < report.cases.size(); ++c) {
                  const CaseResult &failing = report.cases[c];
                  if (failing.correct || !failing.graded() || failing.not_run
                      || failing.run.end == ChildRun::End::FailedToStart)
                      continue;
                  const Counterexample found
                      = shrink_failure(run.grading, program, generated[c - first_generated],
                                       failing, reference, workdir);
                  StudentOutcome &record = students[i];
                  record.has_counterexample = true;
                  record.counterexample_options = found.shrunk.options;
                  record.counterexample_original = found.original;
                  record.counterexample_steps = found.steps;
                  break;
              }
          };
    int finished = 0;
    const int already = static_cast<int>(count - programs.size());
    const auto finish_record = [&](std::size_t i, const ProgramReport &report) {
        StudentOutcome &record = students[i];
        record.cases = std::move(kept[i]);
        recount(record);
        if (!report.start_failure.empty()) {
            record.status = "could not start";
            record.message = "could not start: " + report.start_failure;
        } else if (!record.cases.empty()
                   && record.not_graded == static_cast<int>(record.cases.size())) {
            record.status = "not graded";
            record.message = record.cases.front().result.note;
        } else {
            record.status = "graded";
        }
    };
    grade_class(
        run, programs,
        [&](int) {
            const std::size_t next = static_cast<std::size_t>(finished);
            tell("grading", already + finished, static_cast<int>(count),
                 next < programs.size() ? students[student_of[next]].submission.full_name : "");
        },
        [&](const ProgramReport &report) {
            const std::size_t i = student_of[static_cast<std::size_t>(finished++)];
            finish_record(i, report);
            publish(i);
            if (!settings.explore && student_done) {
                flush();
                student_done(students[i]);
            }
            tell("grading", already + finished, static_cast<int>(count),
                 students[i].submission.full_name);
        });
    if (interrupted()) {
        results.write_all(students, false);
        return outcome;
    }

    // Fair exploration: a counterexample found for one student is a case for everybody.
    std::set<std::string> known(options.begin(), options.end());
    for (const StudentOutcome &record : students) {
        if (record.has_counterexample && known.insert(record.counterexample_options).second)
            outcome.found.push_back(record.counterexample_options);
        if (!record.memcheck_shrunk.empty() && known.insert(record.memcheck_shrunk).second)
            outcome.found.push_back(record.memcheck_shrunk);
    }
    if (!outcome.found.empty()) {
        ClassRun more = run;
        more.options = outcome.found;
        more.reference_texts.clear();
        more.finish_program
            = [&](const StudentProgram &program, ProgramReport &report, const std::string &) {
                  const std::size_t i = index_of.at(program.location_s + program.command_s);
                  std::vector<StudentCase> cases;
                  for (const CaseResult &result : report.cases)
                      cases.push_back(kept_case(result, ""));
                  check_memory(i, cases, false);
                  kept[i] = std::move(cases);
              };
        for (const std::string &found : outcome.found)
            more.reference_texts.push_back(reference.answer(found).text);
        // Programs that never started are not tried again.
        std::vector<StudentProgram> again;
        std::vector<std::size_t> again_of;
        for (std::size_t p = 0; p < programs.size(); ++p) {
            if (students[student_of[p]].status == "graded") {
                again.push_back(programs[p]);
                again_of.push_back(student_of[p]);
            }
        }
        std::size_t told = 0;
        results.cases = static_cast<int>(options.size() + outcome.found.size());
        results.explore_found = static_cast<int>(outcome.found.size());
        grade_class(
            more, again,
            [&](int) {
                tell("grading found cases", static_cast<int>(told), static_cast<int>(again.size()),
                     told < again.size() ? students[again_of[told]].submission.full_name : "");
            },
            [&](const ProgramReport &) {
                const std::size_t i = again_of[told++];
                StudentOutcome &record = students[i];
                for (StudentCase &c : kept[i])
                    record.cases.push_back(std::move(c));
                recount(record);
                publish(i);
            });
        if (interrupted()) {
            results.write_all(students, false);
            return outcome;
        }
        if (student_done) {
            flush();
            for (const StudentOutcome &record : students)
                student_done(record);
        }
    }
    outcome.case_count = results.cases;
    outcome.complete = true;
    const std::string written = results.write_all(students, true);
    if (!written.empty())
        outcome.error = written;
    return outcome;
}
