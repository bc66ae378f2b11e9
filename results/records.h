#pragma once

// The record of a graded class: what the grading makes of each student and each case, and what
// the grade sheets, pages and merging read, one type for both. Texts are bytes as results.json
// holds them: UTF-8, with bytes that were not UTF-8 written as \xHH (docs/results-format.md).
// All of it came from hostile programs and is escaped wherever it is shown.

#include "results/settings.h"
#include "sandbox/sandbox.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A case's verdict; each case counts once, by it.
enum class Verdict { Correct, Wrong, Timeout, Crash, NotRun, NotGraded };

// What became of a student. Only Graded has cases; NotGraded is the grader's failure (or an
// interrupted grading), never the student's.
enum class Status {
    Graded,
    DoesNotCompile,
    SeveralPrograms,
    NothingHandedIn,
    WindowsProgram,
    CouldNotStart,
    Refused,
    Missing,
    NotGraded
};

// How a case's run ended.
enum class Ending { Exit, Crash, Timeout, FailedToStart, NotRun, NotGraded };

// Why a hand-in gave no program or no grade: a kind and the values its sentence needs (file
// names, a number, the compiler's first error, the grader's own error), so that each page says
// it in its own language. The record's message keeps the English sentence. The first kinds are
// building's own; then the grader's failures and the intake's.
enum class Reason {
    None,
    CompilerError,
    NoSource,
    Unreadable,
    BuildTimeout,
    CompilerCpu,
    CompilerMemory,
    CompilerFile,
    ProgramTooLarge,
    CompilerKilled,
    CompilerSignal,
    CompilerSilent,
    Empty,
    SeveralMains,
    // The grader's: {its error}, or none.
    CouldNotStart,
    GraderBuild,
    GraderProgram,
    Interrupted,
    NotHandedInSource, // {the class file's line, the name it gives}
    // The intake's: none, or {a number} for the bounds of a student's share of the class archive.
    WindowsProgram,
    NothingHandedIn,
    NestedArchive,
    OneArchive,
    ShareTooLarge,
    ShareRatio,
    // An archive of the student's refused: {its name, or empty for a file copied in, then the
    // refusal's values}.
    RefusedUnreadable,
    RefusedTooManyEntries,
    RefusedNameUnreadable,
    RefusedAbsolutePath,
    RefusedLeavesFolder,
    RefusedTooDeep,
    RefusedLink,
    RefusedDevice,
    RefusedSameName,
    RefusedNameTooLong,
    RefusedFileTooLarge,
    RefusedTooLarge,
    RefusedRatio
};

// The words results.json spells them with ("not run", "a Windows program", "failed-to-start"),
// and back; none for a word the file does not use.
const std::string &word(Verdict verdict);
const std::string &word(Status status);
const std::string &word(Ending ending);
const std::string &word(Reason reason);
std::optional<Verdict> verdict_named(const std::string &word);
std::optional<Status> status_named(const std::string &word);
std::optional<Ending> ending_named(const std::string &word);
std::optional<Reason> reason_named(const std::string &word);

// Every status, in the order of the file's totals, and its key there ("windows_program").
const std::vector<Status> &all_statuses();
const std::string &totals_key(Status status);

// A record keeps this many bytes of each answer (cut at a character's start); its full size is
// kept beside it.
inline constexpr std::size_t kept_answer_bytes = 4096;

// `answer` cut to kept_answer_bytes, never inside a character.
std::string kept_answer(const std::string &answer);

struct CaseRecord
{
    std::string options;
    Verdict verdict = Verdict::NotGraded;
    Ending ending = Ending::NotGraded;
    std::optional<int> exit_code, signal; // for an exit and for a crash
    double seconds = 0;
    std::string student, reference;                      // at most kept_answer_bytes each
    std::int64_t student_bytes = 0, reference_bytes = 0; // their full sizes
    int difference = -1; // index of the first differing word; -1 when none is shown
    std::string student_word, reference_word;
    std::string note, memcheck; // memcheck: the first line of the sanitizer's report
};

// Another student whose sources are much like this one's, for the teacher only: a flagged pair of
// the class's similarity, or an exact copy (`copies`), which is similarity 1.0.
struct SimilarityRecord
{
    std::string student; // the other's folder; of an earlier class, the name it was kept under
    bool earlier = false;
    double similarity = 0, coverage = 0;
    int longest = 0; // tokens of the longest shared fragment; 0 against an earlier class
};

struct StudentRecord
{
    std::string folder, name, id;
    Status status = Status::NotGraded;
    std::string message;              // why, for a person, when not graded
    Reason reason = Reason::None;     // the message's kind, when the grading has one for it
    std::vector<std::string> reasons; // and its values
    // The notes after the intake's message of entries skipped in the student's share of the
    // class's archive: the first few, each a refusal's kind and values, and how many more.
    std::vector<std::pair<Reason, std::vector<std::string>>> skipped;
    int skipped_more = 0;
    bool build_from_cache = false;
    int build_warnings = 0;
    std::string build_log, build_hash;
    int memcheck_findings = 0;
    std::string memcheck_first, memcheck_evasion;
    // The sanitizers' first finding on an explored string, shrunk: a case for everybody.
    std::string memcheck_shrunk;
    // The sanitizers' first finding on the strings of the extended list they ran beside the
    // cases, and that string shrunk: a memory finding, never a case.
    std::string memcheck_extended, memcheck_extended_shrunk;
    std::vector<std::string> copies; // folders of students whose sources hash the same
    // Where its program, built or handed in, is kept for the teacher to try, relative to the
    // results folder ("programs/张三_101/queue"); empty when it has none.
    std::string program;
    // Only when the class's sources were compared (a shard's are not): most similar first.
    std::optional<std::vector<SimilarityRecord>> similar;
    int correct = 0, wrong = 0, timeouts = 0, crashes = 0, not_run = 0, not_graded = 0;
    std::vector<CaseRecord> cases;
    bool has_counterexample = false;
    std::string counterexample_options, counterexample_original;
    int counterexample_steps = 0;
};

// A name made fit for a folder of the feedback upload: underscores (which split the folder name),
// slashes, backslashes and control characters become '-', a leading '.' or '~' (which would hide
// the file from the upload) is dropped, at most 120 bytes are kept; "Participant" for nothing.
std::string folder_name_part(const std::string &name);

// The name each student's files go under in the results folder (feedback/<name>.html,
// programs/<name>/), in the order of `students`: folder_name_part of the name, then _<id>; two
// students of the same name and no id are <name> and <name>-2. Never "." or "..", never a path.
std::vector<std::string> file_names(const std::vector<StudentRecord> &students);

// The folder of a record's kept program ("programs/张三_101" of "programs/张三_101/queue"); empty
// unless the text is such a path, one name below programs/, neither "." nor "..".
std::string program_folder(const std::string &program);

// Copies the program `from` into the results folder `results` as `kept`, a path program_folder
// takes ("programs/张三_101/queue"), making its folders: at most `max_bytes`, read through no
// link, mode 0755. False, with nothing kept, when `kept` is no such path or the copy failed.
bool keep_program(const std::string &from, const std::string &results, const std::string &kept,
                  std::uint64_t max_bytes);

// The counts of a student's cases, each by its verdict, and of its memory findings (on the cases
// and on the extended list's strings beside them).
void recount(StudentRecord &student);

// What the file says of the grading as a whole: the settings it was graded by (all but how many
// jobs ran at once and the processor time of a build, which decide how soon, not what), and
// what the grading found.
struct ClassHeader : GradingSettings
{
    std::string orvimet; // the version that graded
    std::string date;    // ISO 8601, UTC
    bool complete = false;
    std::string exercise;
    std::string submissions;
    bool from_course_website = false;
    int case_count = 0;
    int found = 0;
    std::string compiler_identity;
};
