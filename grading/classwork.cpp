#include "grading/classwork.h"

#include "explore/cases.h"
#include "explore/literals.h"
#include "explore/sample.h"
#include "grading/caseplan.h"
#include "grading/explorer.h"
#include "grading/memcheck.h"
#include "grading/reports.h"
#include "judge/exercise.h"
#include "judge/utf8.h"
#include "results/resultsjson.h"
#include "sandbox/fileio.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QString>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Building's kinds of problem as the record keeps them; the two tables name the same kinds.
Reason reason_of(BuildResult::Problem problem)
{
    using P = BuildResult::Problem;
    switch (problem) {
    case P::None:
        return Reason::None;
    case P::CompilerError:
        return Reason::CompilerError;
    case P::NoSource:
        return Reason::NoSource;
    case P::Unreadable:
        return Reason::Unreadable;
    case P::BuildTimeout:
        return Reason::BuildTimeout;
    case P::CompilerCpu:
        return Reason::CompilerCpu;
    case P::CompilerMemory:
        return Reason::CompilerMemory;
    case P::CompilerFile:
        return Reason::CompilerFile;
    case P::ProgramTooLarge:
        return Reason::ProgramTooLarge;
    case P::CompilerKilled:
        return Reason::CompilerKilled;
    case P::CompilerSignal:
        return Reason::CompilerSignal;
    case P::CompilerSilent:
        return Reason::CompilerSilent;
    case P::Empty:
        return Reason::Empty;
    case P::SeveralMains:
        return Reason::SeveralMains;
    }
    return Reason::None;
}

// The intake's kinds of refusal as the record keeps them.
Reason reason_of(Refusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        return Reason::None;
    case Refusal::Unreadable:
        return Reason::RefusedUnreadable;
    case Refusal::TooManyEntries:
        return Reason::RefusedTooManyEntries;
    case Refusal::NameUnreadable:
        return Reason::RefusedNameUnreadable;
    case Refusal::AbsolutePath:
        return Reason::RefusedAbsolutePath;
    case Refusal::LeavesFolder:
        return Reason::RefusedLeavesFolder;
    case Refusal::TooDeep:
        return Reason::RefusedTooDeep;
    case Refusal::Link:
        return Reason::RefusedLink;
    case Refusal::Device:
        return Reason::RefusedDevice;
    case Refusal::SameName:
        return Reason::RefusedSameName;
    case Refusal::NameTooLong:
        return Reason::RefusedNameTooLong;
    case Refusal::FileTooLarge:
        return Reason::RefusedFileTooLarge;
    case Refusal::TooLarge:
        return Reason::RefusedTooLarge;
    case Refusal::Ratio:
        return Reason::RefusedRatio;
    }
    return Reason::None;
}

// The intake's kinds of sentence as the record keeps them.
Reason reason_of(const Submission &submission)
{
    using P = SubmissionProblem;
    switch (submission.problem) {
    case P::None:
        return Reason::None;
    case P::WindowsProgram:
        return Reason::WindowsProgram;
    case P::Nothing:
        return Reason::NothingHandedIn;
    case P::NestedArchive:
        return Reason::NestedArchive;
    case P::OneArchive:
        return Reason::OneArchive;
    case P::ShareTooLarge:
        return Reason::ShareTooLarge;
    case P::ShareRatio:
        return Reason::ShareRatio;
    case P::Refused:
        return reason_of(submission.refusal);
    }
    return Reason::None;
}

// A source file's text, at most `limit` bytes; empty for anything but a regular file (a link
// planted in a folder handed in is not followed).
std::string source_text(const std::string &path, std::size_t limit = std::size_t(1) << 20)
{
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const int fd = file.get();
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
    return text;
}

// The numbers written in the sources of every student who handed sources in, at most a few
// hundred of them, so that the explorer's other strings keep their share.
Dictionary class_source_numbers(const std::vector<Submission> &submissions)
{
    std::vector<std::string> texts;
    for (const Submission &submission : submissions) {
        if (submission.kind != SubmissionKind::Sources)
            continue;
        for (const auto *files : {&submission.sources, &submission.headers}) {
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
// is root, and hold nothing of the teacher's. The reason, for a person, when it cannot be made.
std::string folder_for_runs(const std::string &path)
{
    return make_folder(path) ? std::string() : "cannot make " + path + ": " + std::strerror(errno);
}

// The program a student's case runs: a copy of the built or handed-in one, named for the
// exercise so that its answer file has the name the handout gives, in a folder of the grader's.
// Runnable whatever modes an archive kept; read through no link.
std::string place_program(const std::string &from, const std::string &folder,
                          const std::string &name, std::uint64_t max_bytes, std::string &error)
{
    error = folder_for_runs(folder);
    if (!error.empty())
        return {};
    const std::string to = folder + "/" + name;
    switch (copy_file_bounded(from, to, max_bytes, 0755)) {
    case CopyResult::Copied:
        return to;
    case CopyResult::NotARegularFile:
    case CopyResult::TooLarge:
        error = "not a regular file of bounded size";
        return {};
    case CopyResult::Unreadable:
        error = std::strerror(errno);
        return {};
    case CopyResult::Failed:
        break;
    }
    error = std::string("cannot copy the program: ") + std::strerror(errno);
    return {};
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
    if (!folder_for_runs(folder).empty() || ::lstat(from.c_str(), &status) != 0
        || !S_ISREG(status.st_mode) || ::rename(from.c_str(), to.c_str()) != 0)
        return {};
    return to;
}

Verdict verdict_of(const CaseResult &c)
{
    if (c.not_run || c.run.end == ChildRun::End::FailedToStart)
        return Verdict::NotRun;
    if (!c.graded())
        return Verdict::NotGraded;
    if (c.correct)
        return Verdict::Correct;
    if (c.run.end == ChildRun::End::TimedOut)
        return Verdict::Timeout;
    return c.run.end == ChildRun::End::Crashed ? Verdict::Crash : Verdict::Wrong;
}

Ending ending_of(const CaseResult &c)
{
    return c.not_run ? Ending::NotRun : ending_of(c.run.end);
}

// results.json, kept as each student's record in text so that a rewrite after every student
// costs a copy of bytes, not a new serialisation of the class.
class ResultsFile
{
public:
    ResultsFile(const ClassSettings &settings, std::string identity)
        : path(settings.results + "/results.json")
        , memcheck(settings.memcheck)
    {
        static_cast<GradingSettings &>(header) = settings;
        header.orvimet = settings.version;
        header.date = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
        header.exercise = settings.exercise;
        header.submissions = settings.submissions;
        header.compiler_identity = std::move(identity);
    }

    void set_class(bool from_course_website, std::size_t students)
    {
        header.from_course_website = from_course_website;
        texts.assign(students, QByteArray());
        statuses.assign(students, std::nullopt);
    }

    void set_cases(int case_count, int found)
    {
        header.case_count = case_count;
        header.found = found;
    }

    void set(std::size_t index, const StudentRecord &record)
    {
        texts[index] = student_text(record, memcheck);
        statuses[index] = record.status;
    }

    // The file as it stands, unless it was written a short while ago: then the change waits for
    // a later call, for flush() or for write(). The pause grows with the time a writing takes,
    // so that rewriting the growing file costs a class a small share of its time, not a share
    // that grows with the class.
    std::string write_soon()
    {
        pending = true;
        if (std::chrono::steady_clock::now() < next_write)
            return {};
        return write(false);
    }

    // What write_soon() left unwritten.
    std::string flush() { return pending ? write(false) : std::string(); }

    std::string write(bool complete)
    {
        const auto start = std::chrono::steady_clock::now();
        pending = false;
        header.complete = complete;
        Totals totals;
        totals.students = static_cast<int>(statuses.size());
        for (const std::optional<Status> &status : statuses)
            if (status)
                totals.by_status[*status] += 1;
        std::string error;
        if (!write_results(path, results_text(header, totals, texts), error))
            return error;
        const auto end = std::chrono::steady_clock::now();
        next_write
            = end + std::max<std::chrono::steady_clock::duration>(least_pause, 20 * (end - start));
        return {};
    }

    int case_count() const { return header.case_count; }

private:
    const std::string path;
    const bool memcheck;
    ClassHeader header;
    std::vector<QByteArray> texts;               // empty for a student not yet done
    std::vector<std::optional<Status>> statuses; // likewise
    static constexpr std::chrono::milliseconds least_pause{1000};
    std::chrono::steady_clock::time_point next_write;
    bool pending = false;
};

// Adds the time of its scope to a total that several threads add to.
class Timed
{
public:
    explicit Timed(std::atomic<std::int64_t> &total)
        : total(total)
    {}
    ~Timed()
    {
        total += std::chrono::duration_cast<std::chrono::nanoseconds>(
                     std::chrono::steady_clock::now() - start)
                     .count();
    }
    Timed(const Timed &) = delete;
    Timed &operator=(const Timed &) = delete;

private:
    std::atomic<std::int64_t> &total;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
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

// A student in the grading's hands: what was handed in, what became of it so far, and the
// programs it runs.
struct Student
{
    Submission submission;
    StudentRecord record;
    bool settled = false; // the record's status is decided
    std::string program, memcheck_program;
    // The cases graded and recorded on the thread that graded them, kept apart from the record
    // until the program is handed on in order.
    std::vector<CaseRecord> graded;
    bool has_counterexample = false;
    Counterexample counterexample;
    std::string memcheck_shrunk;
    StringsFinding memcheck_extended;
};

// The grading of a class, phase by phase: run() lists them. Each phase leaves results.json as
// complete as it can be, so that one that cannot start loses nothing finished.
class ClassGrading
{
public:
    ClassGrading(const ClassSettings &settings,
                 const std::function<void(const ClassProgress &)> &progress,
                 const std::function<void(const StudentRecord &)> &student_done)
        : settings(settings)
        , progress(progress)
        , student_done(student_done)
        , results(settings,
                  compiler_identity(settings.build.compiler, build_cache_folder(settings.build)))
    {}

    ClassOutcome run()
    {
        if (!take_in())
            return std::move(outcome);
        plan_cases();
        if (!make_folders())
            return give_up();
        {
            // The reference answers depend on nothing of the students', so they run while the
            // programs are built: a regrade, whose builds come from the cache, then waits for
            // neither alone.
            Joined references{std::thread([this] {
                reference = reference_answers(settings.grading, options, settings.jobs, workroot);
            })};
            build();
        }
        if (interrupted())
            return stop();
        if (!check_references())
            return give_up();
        grade();
        if (interrupted())
            return stop();
        grade_found();
        if (interrupted())
            return stop();
        return finish();
    }

private:
    void tell(const char *phase, std::size_t done, std::size_t total,
              const std::string &student) const
    {
        if (!progress)
            return;
        ClassProgress told{phase,   static_cast<int>(done), static_cast<int>(total),
                           student, settings.jobs,          {}};
        {
            const std::lock_guard<std::mutex> lock(jobs_mutex);
            told.jobs = jobs;
        }
        progress(told);
    }

    // What the progress shows of each student's build or grading, from any thread: the time
    // left is judged from the students done and the ones in hand, not from a count alone.
    void job_started(std::size_t student)
    {
        const std::lock_guard<std::mutex> lock(jobs_mutex);
        job_of[student] = jobs.size();
        jobs.push_back({students[student].record.name, progress_clock()});
    }
    void job_finished(std::size_t student)
    {
        const std::lock_guard<std::mutex> lock(jobs_mutex);
        const auto at = job_of.find(student);
        if (at != job_of.end())
            jobs[at->second].finished = progress_clock();
    }
    void jobs_of_a_new_phase()
    {
        const std::lock_guard<std::mutex> lock(jobs_mutex);
        jobs.clear();
        job_of.clear();
    }

    // The first error is the one told; the grading goes on as far as it can.
    void keep(const std::string &error)
    {
        if (!error.empty() && outcome.error.empty())
            outcome.error = error;
    }

    static void decide(Student &student, Status status, std::string message)
    {
        // The notes of skipped entries belong to the intake's message: a message of its own
        // drops them.
        if (message != student.record.message) {
            student.record.skipped.clear();
            student.record.skipped_more = 0;
        }
        student.record.status = status;
        student.record.message = std::move(message);
        student.record.reason = Reason::None;
        student.record.reasons.clear();
        student.settled = true;
    }

    // A sentence of ours decides with its kind and values kept, for the pages to say in their
    // language.
    static void decide(Student &student, Status status, std::string message, Reason reason,
                       std::vector<std::string> values = {})
    {
        decide(student, status, std::move(message));
        student.record.reason = reason;
        student.record.reasons = std::move(values);
    }
    static void decide(Student &student, Status status, std::string message,
                       const BuildResult &built)
    {
        decide(student, status, std::move(message), reason_of(built.problem), built.values);
    }

    void publish(Student &student)
    {
        results.set(static_cast<std::size_t>(&student - students.data()), student.record);
        keep(results.write_soon());
    }

    bool take_in()
    {
        tell("unpacking", 0, 0, "");
        const std::string unpack_root = settings.results + "/unpacked";
        if (!(outcome.error = folder_for_runs(unpack_root)).empty())
            return false;
        Intake intake
            = ::take_in(settings.submissions, unpack_root, settings.program_name, settings.intake);
        if (!intake.error.empty()) {
            outcome.error = intake.error;
            return false;
        }
        for (Submission &submission : intake.students) {
            if (shard_of(submission.folder, settings.shards) != settings.shard
                || (!settings.only.empty() && submission.folder != settings.only))
                continue;
            Student student;
            student.record.folder = submission.folder;
            student.record.name = submission.full_name;
            student.record.id = submission.id;
            student.record.message = submission.message;
            for (const auto &[refusal, values] : submission.skipped)
                student.record.skipped.emplace_back(reason_of(refusal), values);
            student.record.skipped_more = static_cast<int>(submission.skipped_more);
            student.submission = std::move(submission);
            students.push_back(std::move(student));
        }
        results.set_class(intake.from_course_website, students.size());
        // What was handed in decides some students at once.
        for (Student &student : students) {
            const SubmissionKind kind = student.submission.kind;
            const std::string message = student.record.message;
            const Reason reason = reason_of(student.submission);
            const std::vector<std::string> &values = student.submission.values;
            if (kind == SubmissionKind::WindowsProgram)
                decide(student, Status::WindowsProgram, message, reason, values);
            else if (kind == SubmissionKind::Nothing)
                decide(student, Status::NothingHandedIn, message, reason, values);
            else if (kind == SubmissionKind::Refused)
                decide(student, Status::Refused, message, reason, values);
        }
        return true;
    }

    // The cases: the given ones, then the generated ones, the same for everybody. The generated
    // ones also try the numbers the class's sources are written with (array sizes, buffer
    // lengths): every student is judged on the strings aimed at anyone's.
    void plan_cases()
    {
        options = settings.options;
        first_generated = options.size();
        std::vector<Submission> submissions;
        if (settings.explore > 0)
            for (const Student &student : students)
                submissions.push_back(student.submission);
        generated = generate_cases(settings.grading.exercise, settings.seed, settings.explore,
                                   class_source_numbers(submissions));
        for (const Words &words : generated)
            options.push_back(options_line(words));
        // The sanitizers run the given cases and the explored strings of memcheck_sample().
        sampled.assign(options.size(), true);
        if (settings.memcheck) {
            std::fill(sampled.begin() + static_cast<std::ptrdiff_t>(first_generated), sampled.end(),
                      false);
            for (const std::size_t c : memcheck_sample(generated))
                sampled[first_generated + c] = true;
            plan_extended_sample();
        }
        results.set_cases(static_cast<int>(options.size()), 0);
        for (Student &student : students)
            if (student.settled)
                publish(student);
        keep(results.flush());
    }

    // Beside the cases, the sanitizers run the strings of the extended list that bring an
    // operation in a state, or a kind of number, that no case brought (chosen as memcheck_sample()
    // chooses): a value only the extended list holds, such as INT_MIN written into a char[11],
    // is checked without making the list a part of the grade.
    void plan_extended_sample()
    {
        std::vector<Words> strings;
        std::set<std::string> known;
        for (const std::string &o : options) {
            strings.push_back(option_words(o));
            known.insert(options_line(strings.back()));
        }
        const std::size_t cases = strings.size();
        for (const std::string &o : extended_cases(settings.grading.exercise)) {
            Words words = option_words(o);
            if (known.insert(options_line(words)).second)
                strings.push_back(std::move(words));
        }
        for (const std::size_t c : memcheck_sample(strings))
            if (c >= cases)
                extended_sample.push_back(strings[c]);
    }

    bool make_folders()
    {
        programs_root = settings.scratch + "programs";
        workroot = settings.scratch + "runs/";
        outcome.error = folder_for_runs(programs_root);
        if (outcome.error.empty())
            outcome.error = folder_for_runs(settings.scratch + "runs");
        return outcome.error.empty();
    }

    // Builds, in parallel; the students already settled need none.
    void build()
    {
        jobs_of_a_new_phase();
        std::atomic<int> built{0};
        std::mutex mutex;
        std::string in_hand;
        run_parallel(
            static_cast<int>(students.size()), settings.jobs,
            [&](int i, int, const Wake &wake) {
                Student &student = students[static_cast<std::size_t>(i)];
                {
                    const std::lock_guard<std::mutex> lock(mutex);
                    in_hand = student.record.name;
                }
                wake();
                if (!student.settled) {
                    job_started(static_cast<std::size_t>(i));
                    build_one(student, programs_root + "/" + std::to_string(i));
                    job_finished(static_cast<std::size_t>(i));
                }
                built += 1;
            },
            [&] {
                std::string name;
                {
                    const std::lock_guard<std::mutex> lock(mutex);
                    name = in_hand;
                }
                tell("building", built.load(), students.size(), name);
            });
        mark_copies();
        for (Student &student : students)
            if (student.settled && student.submission.kind == SubmissionKind::Sources)
                publish(student);
        keep(results.flush());
    }

    // One student's program, built or handed in, placed where its cases run; a student it fails
    // for is given the status that says why.
    void build_one(Student &student, const std::string &folder)
    {
        const Submission &s = student.submission;
        StudentRecord &record = student.record;
        std::string error;
        if (s.kind == SubmissionKind::LinuxProgram) {
            student.program = place_program(s.program, folder, settings.program_name,
                                            settings.grading.limits.file_bytes, error);
            if (student.program.empty())
                decide(student, Status::CouldNotStart, "could not start: " + error,
                       Reason::CouldNotStart, {error});
            return;
        }
        if (s.kind != SubmissionKind::Sources || interrupted())
            return;
        if (std::vector<std::string> named = choose_sources(student.submission); !named.empty())
            return decide(student, Status::NotGraded,
                          named[0] + " names " + named[1]
                              + " to build, which is not one of the sources handed in",
                          Reason::NotHandedInSource, named);
        const std::string build_dir = folder + "-build";
        folder_for_runs(build_dir);
        const BuildResult built
            = build_program(settings.build, s.path, s.sources, s.headers, build_dir);
        record.build_from_cache = built.from_cache;
        record.build_warnings = built.warnings;
        record.build_log = built.log;
        record.build_hash = built.hash;
        if (built.status == BuildResult::Status::Failed)
            return decide(student, Status::DoesNotCompile, built.reason, built);
        if (built.status == BuildResult::Status::Empty)
            return decide(student, Status::NothingHandedIn, "nothing handed in: " + built.reason,
                          built);
        if (built.status == BuildResult::Status::SeveralPrograms)
            return decide(student, Status::SeveralPrograms, built.reason, built);
        if (built.status == BuildResult::Status::NotBuilt)
            return decide(student, Status::NotGraded,
                          "the grader could not build it: " + built.reason, Reason::GraderBuild,
                          {built.reason});
        if (built.from_cache)
            student.program = move_program(built.program, folder, settings.program_name);
        if (student.program.empty())
            student.program = place_program(built.program, folder, settings.program_name,
                                            std::uint64_t(1) << 30, error);
        if (student.program.empty())
            return decide(student, Status::NotGraded,
                          "the grader could not take the built program: " + error,
                          Reason::GraderProgram, {error});
        if (settings.memcheck)
            build_memcheck(student, folder);
    }

    // The sources the class file names for this student (by folder or id) in place of all of
    // them; a name that is not among the hand-in's sources, as {the class file's line, the
    // name}, else nothing. Such a name is the class file's mistake, never the student's.
    std::vector<std::string> choose_sources(Submission &s) const
    {
        for (const ChosenSources &chosen : settings.sources) {
            if (chosen.student != s.folder && (s.id.empty() || chosen.student != s.id))
                continue;
            std::vector<std::string> files;
            for (const std::string &name : chosen.files) {
                const std::string path = s.path + "/" + name;
                if (std::find(s.sources.begin(), s.sources.end(), path) == s.sources.end())
                    return {chosen.where, name};
                files.push_back(path);
            }
            s.sources = files;
        }
        return {};
    }

    void build_memcheck(Student &student, const std::string &folder)
    {
        const Timed timed(memcheck_time);
        const MemcheckBuild check = build_for_memory_check(
            settings.build, student.submission, folder + "-memcheck", settings.program_name);
        student.record.memcheck_evasion = check.evasion;
        student.memcheck_program = check.program;
    }

    // Exact copies: the same sources, byte for byte, under other names.
    void mark_copies()
    {
        std::map<std::string, std::vector<std::size_t>> by_hash;
        for (std::size_t i = 0; i < students.size(); ++i)
            if (students[i].submission.kind == SubmissionKind::Sources
                && !students[i].record.build_hash.empty())
                by_hash[students[i].record.build_hash].push_back(i);
        for (const auto &group : by_hash)
            for (const std::size_t i : group.second)
                for (const std::size_t j : group.second)
                    if (i != j)
                        students[i].record.copies.push_back(students[j].record.folder);
    }

    // A reference answer that cannot be trusted stops the grading before any student's run:
    // judged against it, a program that prints nothing could score full marks.
    bool check_references()
    {
        if (!reference.error.empty() || reference.failed) {
            outcome.error = !reference.error.empty()
                                ? reference.error
                                : "the reference program " + settings.grading.reference_path + " "
                                      + reference.problem + " on the options"
                                      + options[*reference.failed];
            return false;
        }
        std::string error;
        const std::string reference_dir = make_workdir(workroot, error);
        if (reference_dir.empty()) {
            outcome.error = error;
            return false;
        }
        shrinker = std::make_unique<ReferenceAnswers>(settings.grading, reference_dir);
        for (std::size_t i = first_generated; i < options.size(); ++i)
            shrinker->add(options[i], reference.answers[i]);
        return true;
    }

    // The cases of a program, memory-checked and recorded on the thread that graded it. Of the
    // class's own cases (`sample`) the sanitizers run the sampled ones, and their first finding on
    // an explored string is shrunk to become a found case; found cases are all checked.
    void record_cases(Student &student, const ProgramReport &report, bool sample)
    {
        std::vector<StudentCase> cases;
        for (const CaseResult &result : report.cases)
            cases.push_back({result, std::string()});
        if (!student.memcheck_program.empty()) {
            const Timed timed(memcheck_time);
            memory_check(settings, student.memcheck_program, cases, [&](std::size_t c) {
                return !sample || (c < sampled.size() && sampled[c]);
            });
            if (sample)
                student.memcheck_shrunk = shrink_first_finding(settings, student.memcheck_program,
                                                               cases, first_generated, generated);
            // A program already found at fault on a case has its finding to rerun.
            const bool found = std::any_of(cases.begin(), cases.end(), [](const StudentCase &c) {
                return !c.memcheck.empty() && c.memcheck != answers_differ_finding;
            });
            if (sample && !found)
                student.memcheck_extended
                    = memory_check_strings(settings, student.memcheck_program, extended_sample);
        }
        for (const StudentCase &c : cases)
            student.graded.push_back(case_record(c));
    }

    // Every program that can run, on every case; a program's first failing generated string is
    // shrunk on the thread that graded it.
    void grade()
    {
        ClassRun run = class_run(options);
        // A slow program must not hold the class: its generated strings get a share of the time.
        run.time_share = settings.explore > 0 ? exploring_share(settings.explore)
                                              : std::chrono::milliseconds(0);
        run.bounded_from = first_generated;
        for (const ReferenceAnswer &answer : reference.answers)
            run.reference_texts.push_back(answer.text);
        jobs_of_a_new_phase();
        run.start_program = [this](const StudentProgram &program) {
            job_started(index_of.at(program.location_s + program.command_s));
        };
        run.finish_program = [this](const StudentProgram &program, ProgramReport &report,
                                    const std::string &workdir) {
            const std::size_t index = index_of.at(program.location_s + program.command_s);
            Student &student = students[index];
            record_cases(student, report, true);
            if (const std::optional<std::size_t> c
                = failure_to_shrink(report.cases, first_generated)) {
                student.counterexample
                    = shrink_failure(settings.grading, program, generated[*c - first_generated],
                                     report.cases[*c], *shrinker, workdir);
                student.has_counterexample = true;
            }
            job_finished(index);
        };
        std::vector<StudentProgram> programs;
        std::vector<std::size_t> graded;
        for (std::size_t i = 0; i < students.size(); ++i) {
            Student &student = students[i];
            if (student.settled)
                continue;
            if (student.program.empty()) {
                decide(student, Status::NotGraded, student.record.message, student.record.reason,
                       student.record.reasons);
                continue;
            }
            programs.push_back(student_program(student.program));
            programs.back().name = student.record.folder;
            index_of[student.program] = i;
            graded.push_back(i);
        }
        const std::size_t already = students.size() - programs.size();
        std::size_t finished = 0;
        grade_class(
            run, programs,
            [&](int) {
                tell("grading", already + finished, students.size(),
                     finished < graded.size() ? students[graded[finished]].record.name : "");
            },
            [&](const ProgramReport &report) {
                Student &student = students[graded[static_cast<std::size_t>(report.index)]];
                ++finished;
                settle_graded(student, report);
                publish(student);
                if (!settings.explore && student_done) {
                    keep(results.flush());
                    student_done(student.record);
                }
                tell("grading", already + finished, students.size(), student.record.name);
            });
    }

    void settle_graded(Student &student, const ProgramReport &report)
    {
        StudentRecord &record = student.record;
        record.cases = std::move(student.graded);
        student.graded.clear();
        if (student.has_counterexample) {
            record.has_counterexample = true;
            record.counterexample_options = student.counterexample.shrunk.options;
            record.counterexample_original = student.counterexample.original;
            record.counterexample_steps = student.counterexample.steps;
        }
        record.memcheck_shrunk = student.memcheck_shrunk;
        record.memcheck_extended = student.memcheck_extended.finding;
        record.memcheck_extended_shrunk = student.memcheck_extended.options;
        recount(record);
        if (!report.start_failure.empty())
            decide(student, Status::CouldNotStart, "could not start: " + report.start_failure,
                   Reason::CouldNotStart, {report.start_failure});
        else if (!report.finished)
            interrupted_one(student);
        else if (!record.cases.empty()
                 && record.not_graded == static_cast<int>(record.cases.size()))
            decide(student, Status::NotGraded, record.cases.front().note);
        else
            decide(student, Status::Graded, record.message);
    }

    // Fair exploration: a counterexample found for one student is a case for everybody.
    void grade_found()
    {
        jobs_of_a_new_phase();
        std::set<std::string> known(options.begin(), options.end());
        for (const Student &student : students)
            if (student.record.has_counterexample
                && known.insert(student.record.counterexample_options).second)
                outcome.found.push_back(student.record.counterexample_options);
        for (const Student &student : students)
            if (!student.record.memcheck_shrunk.empty()
                && known.insert(student.record.memcheck_shrunk).second)
                outcome.found.push_back(student.record.memcheck_shrunk);
        if (!outcome.found.empty()) {
            ClassRun more = class_run(outcome.found);
            for (const std::string &found : outcome.found)
                more.reference_texts.push_back(shrinker->answer(found).text);
            more.start_program = [this](const StudentProgram &program) {
                job_started(index_of.at(program.location_s + program.command_s));
            };
            more.finish_program = [this](const StudentProgram &program, ProgramReport &report,
                                         const std::string &) {
                const std::size_t index = index_of.at(program.location_s + program.command_s);
                record_cases(students[index], report, false);
                job_finished(index);
            };
            // Programs that never started are not tried again.
            std::vector<StudentProgram> again;
            std::vector<std::size_t> again_of;
            for (std::size_t i = 0; i < students.size(); ++i) {
                if (students[i].record.status == Status::Graded) {
                    again.push_back(student_program(students[i].program));
                    again.back().name = students[i].record.folder;
                    again_of.push_back(i);
                }
            }
            results.set_cases(static_cast<int>(options.size() + outcome.found.size()),
                              static_cast<int>(outcome.found.size()));
            std::size_t told = 0;
            grade_class(
                more, again,
                [&](int) {
                    tell("grading found cases", told, again.size(),
                         told < again.size() ? students[again_of[told]].record.name : "");
                },
                [&](const ProgramReport &report) {
                    Student &student = students[again_of[static_cast<std::size_t>(report.index)]];
                    ++told;
                    for (CaseRecord &c : student.graded)
                        student.record.cases.push_back(std::move(c));
                    student.graded.clear();
                    recount(student.record);
                    if (!report.finished)
                        interrupted_one(student);
                    publish(student);
                });
        }
        if (interrupted() || settings.explore == 0 || !student_done)
            return;
        keep(results.flush());
        for (const Student &student : students)
            student_done(student.record);
    }

    ClassRun class_run(const std::vector<std::string> &strings) const
    {
        ClassRun run;
        run.grading = settings.grading;
        run.jobs = settings.jobs;
        run.give_up_after = settings.give_up_after;
        // Each program is handed on as soon as it is done: a slow one holds nobody else's record.
        run.in_order = false;
        run.options = strings;
        run.workroot = workroot;
        return run;
    }

    // A student whose grading an interruption cut short: none of its cases stand.
    static void interrupted_one(Student &student)
    {
        student.record.cases.clear();
        student.record.has_counterexample = false;
        student.record.memcheck_shrunk.clear();
        student.record.memcheck_extended.clear();
        student.record.memcheck_extended_shrunk.clear();
        recount(student.record);
        decide(student, Status::NotGraded, "the grading was interrupted", Reason::Interrupted);
    }

    ClassOutcome stop()
    {
        for (Student &student : students)
            if (!student.settled)
                interrupted_one(student);
        return end(false);
    }

    // Each student's program, built or handed in, kept for the teacher to try in the window or
    // with explore: programs/<name>/<program>, named as the feedback pages are. A copy of the
    // grader's own, bounded and read through no link, never anything of the student's folder;
    // those of an earlier grading into the same folder go first, for they may be nobody's now.
    // Only a program that was graded is kept: one that did not build or start has none.
    void keep_programs()
    {
        const std::string root = settings.results + "/programs";
        QDir(from_utf8(root)).removeRecursively();
        std::vector<StudentRecord> records;
        for (const Student &student : students)
            records.push_back(student.record);
        const std::vector<std::string> names = file_names(records);
        for (std::size_t i = 0; i < students.size(); ++i) {
            Student &student = students[i];
            student.record.program.clear();
            if (student.program.empty() || student.record.status != Status::Graded)
                continue;
            const std::string kept = "programs/" + names[i] + "/" + settings.program_name;
            if (!keep_program(
                    student.program, settings.results, kept,
                    std::max(settings.build.program_bytes, settings.grading.limits.file_bytes)))
                continue; // the record names no program: the teacher builds it by hand
            student.record.program = kept;
        }
    }

    ClassOutcome finish()
    {
        keep_programs();
        outcome.case_count = results.case_count();
        outcome.memcheck_seconds = static_cast<double>(memcheck_time.load()) / 1e9;
        outcome.complete = true;
        return end(true);
    }

    // A grading that cannot go on: the file keeps what was published.
    ClassOutcome give_up()
    {
        for (Student &student : students) {
            outcome.students.push_back(std::move(student.record));
            outcome.submissions.push_back(std::move(student.submission));
        }
        return std::move(outcome);
    }

    // Every record as it stands, then the file.
    ClassOutcome end(bool complete)
    {
        for (std::size_t i = 0; i < students.size(); ++i)
            results.set(i, students[i].record);
        const std::string written = results.write(complete);
        if (complete)
            keep(written);
        return give_up();
    }

    const ClassSettings &settings;
    const std::function<void(const ClassProgress &)> &progress;
    const std::function<void(const StudentRecord &)> &student_done;
    ResultsFile results;
    ClassOutcome outcome;
    std::vector<Student> students;
    std::vector<std::string> options; // the cases, generated ones last
    std::size_t first_generated = 0;
    std::vector<Words> generated;
    std::vector<bool> sampled;          // by case: whether the sanitizers run it
    std::vector<Words> extended_sample; // run by the sanitizers beside the cases
    std::string programs_root, workroot;
    ReferenceRun reference;
    std::unique_ptr<ReferenceAnswers> shrinker;  // the reference's answers for shrinking
    std::map<std::string, std::size_t> index_of; // program path -> student
    mutable std::mutex jobs_mutex;
    std::vector<ProgressJob> jobs;              // of the phase in hand
    std::map<std::size_t, std::size_t> job_of;  // student -> job
    std::atomic<std::int64_t> memcheck_time{0}; // nanoseconds, on all the jobs
};

} // namespace

double progress_clock()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

CaseRecord case_record(const StudentCase &c)
{
    const CaseResult &r = c.result;
    CaseRecord record;
    record.options = r.options;
    record.verdict = verdict_of(r);
    record.ending = ending_of(r);
    if (!r.not_run && r.run.end == ChildRun::End::Exited)
        record.exit_code = r.run.exit_code;
    if (!r.not_run && r.run.end == ChildRun::End::Crashed)
        record.signal = r.run.signal;
    record.seconds = static_cast<double>(r.run.elapsed.count()) / 1000;
    record.student = kept_answer(r.student_text);
    // The answer was cut once already, at the run; its full size is the run's.
    record.student_bytes
        = static_cast<std::int64_t>(std::max(r.student_bytes, r.student_text.size()));
    record.reference = kept_answer(r.reference_text);
    record.reference_bytes = static_cast<std::int64_t>(r.reference_text.size());
    const bool differs = r.difference != std::string::npos
                         && (record.verdict == Verdict::Wrong || record.verdict == Verdict::Crash
                             || record.verdict == Verdict::Timeout);
    if (differs) {
        record.difference = static_cast<int>(r.difference);
        record.student_word = kept_answer(r.student_token);
        record.reference_word = kept_answer(r.reference_token);
    }
    record.note = r.note;
    record.memcheck = c.memcheck;
    return record;
}

int shard_of(const std::string &folder, int shards)
{
    // FNV-1a: the same on every machine, unlike std::hash.
    std::uint64_t hash = 1469598103934665603ULL;
    for (const unsigned char c : folder)
        hash = (hash ^ c) * 1099511628211ULL;
    return shards <= 1 ? 1 : static_cast<int>(hash % static_cast<std::uint64_t>(shards)) + 1;
}

Grading run_grading(Grading base, const GradingSettings &settings)
{
    base.limits = settings.limits;
    base.sandbox.enabled = settings.sandbox;
    return base;
}

BuildSettings class_build(BuildSettings base, const GradingSettings &settings)
{
    base.compiler = settings.compiler;
    base.flags = settings.flags;
    base.limits.cpu_seconds = settings.build_cpu;
    // Wall time only catches a compiler that waits without working; on a machine busy with
    // other builds a compiler gets half a core or less, and a build that ran out of wall time
    // well inside its processor time would be the machine's fault, called the student's.
    base.wall = std::chrono::seconds(std::max(30, 2 * settings.build_cpu));
    return base;
}

int jobs_at_once(const GradingSettings &settings)
{
    return settings.jobs > 0 ? settings.jobs
                             : static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
}

ClassOutcome grade_submissions(const ClassSettings &settings,
                               const std::function<void(const ClassProgress &)> &progress,
                               const std::function<void(const StudentRecord &)> &student_done)
{
    // The parts of the lower libraries that the settings decide, made from them once.
    ClassSettings prepared = settings;
    prepared.grading = run_grading(settings.grading, settings);
    prepared.build = class_build(settings.build, settings);
    prepared.build.sandbox = prepared.grading.sandbox; // builds run in the runs' sandbox
    prepared.jobs = jobs_at_once(settings);
    return ClassGrading(prepared, progress, student_done).run();
}
