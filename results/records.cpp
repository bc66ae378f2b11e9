#include "results/records.h"

#include "judge/utf8.h"
#include "sandbox/fileio.h"

#include <set>
#include <utility>

namespace {

template<typename Enum>
using Words = std::vector<std::pair<Enum, std::string>>;

const Words<Verdict> verdict_words = {
    {Verdict::Correct, "correct"}, {Verdict::Wrong, "wrong"},    {Verdict::Timeout, "timeout"},
    {Verdict::Crash, "crash"},     {Verdict::NotRun, "not run"}, {Verdict::NotGraded, "not graded"},
};

const Words<Status> status_words = {
    {Status::Graded, "graded"},
    {Status::DoesNotCompile, "does not compile"},
    {Status::SeveralPrograms, "several programs"},
    {Status::NothingHandedIn, "nothing handed in"},
    {Status::WindowsProgram, "a Windows program"},
    {Status::CouldNotStart, "could not start"},
    {Status::Refused, "refused"},
    {Status::Missing, "missing"},
    {Status::NotGraded, "not graded"},
};

const Words<Status> totals_keys = {
    {Status::Graded, "graded"},
    {Status::DoesNotCompile, "does_not_compile"},
    {Status::SeveralPrograms, "several_programs"},
    {Status::NothingHandedIn, "nothing_handed_in"},
    {Status::WindowsProgram, "windows_program"},
    {Status::CouldNotStart, "could_not_start"},
    {Status::Refused, "refused"},
    {Status::Missing, "missing"},
    {Status::NotGraded, "not_graded"},
};

const Words<Ending> ending_words = {
    {Ending::Exit, "exit"},       {Ending::Crash, "crash"},
    {Ending::Timeout, "timeout"}, {Ending::FailedToStart, "failed-to-start"},
    {Ending::NotRun, "not-run"},  {Ending::NotGraded, "not-graded"},
};

const Words<Reason> reason_words = {
    {Reason::None, ""},
    {Reason::CompilerError, "compiler error"},
    {Reason::NoSource, "no source"},
    {Reason::Unreadable, "unreadable"},
    {Reason::BuildTimeout, "build time-out"},
    {Reason::CompilerCpu, "compiler cpu"},
    {Reason::CompilerMemory, "compiler memory"},
    {Reason::CompilerFile, "compiler file"},
    {Reason::ProgramTooLarge, "program too large"},
    {Reason::CompilerKilled, "compiler killed"},
    {Reason::CompilerSignal, "compiler signal"},
    {Reason::CompilerSilent, "compiler silent"},
    {Reason::Empty, "empty"},
    {Reason::SeveralMains, "several mains"},
    {Reason::CouldNotStart, "could not start"},
    {Reason::GraderBuild, "grader build"},
    {Reason::GraderProgram, "grader program"},
    {Reason::Interrupted, "interrupted"},
    {Reason::NotHandedInSource, "source not handed in"},
    {Reason::WindowsProgram, "windows program"},
    {Reason::NothingHandedIn, "nothing handed in"},
    {Reason::NestedArchive, "nested archive"},
    {Reason::OneArchive, "one archive"},
    {Reason::ShareTooLarge, "share too large"},
    {Reason::ShareRatio, "share ratio"},
    {Reason::RefusedUnreadable, "refused unreadable"},
    {Reason::RefusedTooManyEntries, "refused too many entries"},
    {Reason::RefusedNameUnreadable, "refused name unreadable"},
    {Reason::RefusedAbsolutePath, "refused absolute path"},
    {Reason::RefusedLeavesFolder, "refused leaves folder"},
    {Reason::RefusedTooDeep, "refused too deep"},
    {Reason::RefusedLink, "refused link"},
    {Reason::RefusedDevice, "refused device"},
    {Reason::RefusedSameName, "refused same name"},
    {Reason::RefusedNameTooLong, "refused name too long"},
    {Reason::RefusedFileTooLarge, "refused file too large"},
    {Reason::RefusedTooLarge, "refused too large"},
    {Reason::RefusedRatio, "refused ratio"},
};

template<typename Enum>
const std::string &word_of(const Words<Enum> &words, Enum value)
{
    for (const auto &entry : words)
        if (entry.first == value)
            return entry.second;
    return words.back().second; // every value is in its table
}

template<typename Enum>
std::optional<Enum> named(const Words<Enum> &words, const std::string &word)
{
    for (const auto &entry : words)
        if (entry.second == word)
            return entry.first;
    return std::nullopt;
}

} // namespace

const std::string &word(Verdict verdict)
{
    return word_of(verdict_words, verdict);
}

const std::string &word(Status status)
{
    return word_of(status_words, status);
}

const std::string &word(Ending ending)
{
    return word_of(ending_words, ending);
}

std::string folder_name_part(const std::string &name)
{
    std::string out;
    for (unsigned char c : name)
        out += (c == '_' || c == '/' || c == '\\' || c < 0x20 || c == 0x7F) ? '-' : char(c);
    while (!out.empty() && (out[0] == '.' || out[0] == '~' || out[0] == ' ' || out[0] == '-'))
        out.erase(0, 1);
    out.resize(utf8_cut(out, 120));
    return out.empty() ? "Participant" : out;
}

std::string program_folder(const std::string &program)
{
    const std::string top = "programs/";
    const std::size_t slash = program.find('/', top.size());
    if (program.compare(0, top.size(), top) != 0 || slash == std::string::npos
        || program.find('/', slash + 1) != std::string::npos || slash + 1 == program.size())
        return {};
    const std::string name = program.substr(top.size(), slash - top.size());
    return name.empty() || name == "." || name == ".." ? std::string() : program.substr(0, slash);
}

bool keep_program(const std::string &from, const std::string &results, const std::string &kept,
                  std::uint64_t max_bytes)
{
    const std::string folder = program_folder(kept);
    return !folder.empty() && make_folder(results + "/programs")
           && make_folder(results + "/" + folder)
           && copy_file_bounded(from, results + "/" + kept, max_bytes, 0755) == CopyResult::Copied;
}

std::vector<std::string> file_names(const std::vector<StudentRecord> &students)
{
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const StudentRecord &s : students) {
        // An id is what the course website's folder carried: digits. Anything else goes the way
        // of a name.
        const std::string id = folder_name_part(s.id);
        std::string name = folder_name_part(s.name) + (s.id.empty() ? "" : "_" + id);
        for (int n = 2; !taken.insert(name).second; ++n)
            name = folder_name_part(s.name) + "-" + std::to_string(n);
        names.push_back(name);
    }
    return names;
}

const std::string &word(Reason reason)
{
    return word_of(reason_words, reason);
}

std::optional<Reason> reason_named(const std::string &word)
{
    return named(reason_words, word);
}

std::optional<Verdict> verdict_named(const std::string &word)
{
    return named(verdict_words, word);
}

std::optional<Status> status_named(const std::string &word)
{
    return named(status_words, word);
}

std::optional<Ending> ending_named(const std::string &word)
{
    return named(ending_words, word);
}

const std::vector<Status> &all_statuses()
{
    static const std::vector<Status> statuses = [] {
        std::vector<Status> all;
        for (const auto &entry : status_words)
            all.push_back(entry.first);
        return all;
    }();
    return statuses;
}

const std::string &totals_key(Status status)
{
    return word_of(totals_keys, status);
}

std::string kept_answer(const std::string &answer)
{
    return answer.substr(0, utf8_cut(answer, kept_answer_bytes));
}

void recount(StudentRecord &student)
{
    student.correct = student.wrong = student.timeouts = student.crashes = student.not_run
        = student.not_graded = 0;
    student.memcheck_findings = 0;
    student.memcheck_first.clear();
    for (const CaseRecord &c : student.cases) {
        switch (c.verdict) {
        case Verdict::Correct:
            ++student.correct;
            break;
        case Verdict::Wrong:
            ++student.wrong;
            break;
        case Verdict::Timeout:
            ++student.timeouts;
            break;
        case Verdict::Crash:
            ++student.crashes;
            break;
        case Verdict::NotRun:
            ++student.not_run;
            break;
        case Verdict::NotGraded:
            ++student.not_graded;
            break;
        }
        if (!c.memcheck.empty() && student.memcheck_findings++ == 0)
            student.memcheck_first = c.memcheck;
    }
    if (!student.memcheck_extended.empty() && student.memcheck_findings++ == 0)
        student.memcheck_first = student.memcheck_extended;
}
