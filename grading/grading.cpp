#include "grading/grading.h"

#include "judge/commandline.h"
#include "judge/cutting.h"
#include "judge/judgecore.h"
#include "judge/outputfiles.h"
#include "judge/platform.h"
#include "judge/utf8.h"
#include "sandbox/fileio.h"

#include <QProcess>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the window's runner hands back: the output read as a C string.
std::string answer_of(const ChildRun &run)
{
    return until_nul(run.output.data(), run.output.size());
}

// The white space that splits a command line, among ASCII characters: QChar::isSpace's.
bool ascii_space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Appends the words of `options` to `words`, split as QProcess::splitCommand splits them. A line
// of ASCII without quotes (every generated one) is split here, bytes into words, for the same
// words: the detour through UTF-16 and a QString for every word made a string of thousands of
// words cost milliseconds a run. Quotes and any other characters go through Qt.
void append_option_words(const std::string &options, std::vector<std::string> &words)
{
    const bool plain = std::all_of(options.begin(), options.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80 && c != '"';
    });
    if (!plain) {
        for (const QString &word : QProcess::splitCommand(from_utf8(options)))
            words.push_back(to_utf8(word));
        return;
    }
    const auto end = options.end();
    const auto next_word
        = [&](std::string::const_iterator at) { return std::find_if_not(at, end, ascii_space); };
    std::size_t count = 0;
    for (auto at = next_word(options.begin()); at != end; at = next_word(at)) {
        ++count;
        at = std::find_if(at, end, ascii_space);
    }
    words.reserve(words.size() + count);
    for (auto at = next_word(options.begin()); at != end; at = next_word(at)) {
        const auto word_end = std::find_if(at, end, ascii_space);
        words.emplace_back(at, word_end);
        at = word_end;
    }
}

} // namespace

std::string absolute_path(const std::string &path)
{
    std::string full = path;
    if (full.empty() || full.front() != '/') {
        char here[PATH_MAX];
        full = std::string(::getcwd(here, sizeof here) ? here : ".") + "/" + path;
    }
    return lexically_normal(full);
}

namespace {

std::string without_slash(const std::string &folder)
{
    return folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
}

std::string folder_of(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The program starts from its argument vector, never from a command line: a path holding blanks
// or quotes (a folder named after a student) starts as any other. Only the options are split.
std::vector<std::string> program_argv(const std::string &path, const std::string &options)
{
    std::vector<std::string> argv{resolve_program_path(path)};
    append_option_words(options, argv);
    return argv;
}

// Every run hides the reference programs in use, where the system shown would show them; the
// reference's own run shows its folder again.
ChildRun run_program(const Grading &grading, std::vector<std::string> argv,
                     const std::string &workdir, const std::string &visible,
                     std::vector<std::string> answer_files = {})
{
    Sandbox sandbox = grading.sandbox;
    sandbox.hidden.push_back(folder_of(grading.reference_path));
    return run_child({std::move(argv),
                      without_slash(workdir),
                      {without_slash(visible)},
                      std::move(answer_files)},
                     grading.limits, sandbox);
}

// Whether `folder` looks like a submission: a few files, no folder, nothing hidden. `error` says
// why when the grader could not look for want of its own: the program's data files must not
// vanish from its sandbox for that.
bool submission_folder(const std::string &folder, std::string &error)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) {
        const int why = errno;
        if (grader_error(why))
            error = "cannot read the program's folder " + folder + ": " + std::strerror(why);
        return false;
    }
    bool submission = true;
    int entries = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info
        {
        };
        submission = submission && name[0] != '.' && ++entries <= 64
                     && ::fstatat(::dirfd(dir), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0
                     && !S_ISDIR(info.st_mode);
    }
    ::closedir(dir);
    return submission;
}

// The first `limit` bytes of `text`, cut before a character's continuation bytes.
void cut_answer(std::string &text, std::size_t limit)
{
    if (text.size() <= limit)
        return;
    text.resize(utf8_cut(text, limit));
    text.shrink_to_fit();
}

} // namespace

std::vector<std::string> option_words(const std::string &options)
{
    std::vector<std::string> words;
    append_option_words(options, words);
    return words;
}

StudentProgram student_program(const std::string &given)
{
    const std::string path = absolute_path(given);
    return {given, program_directory(path), suite_program_name(path)};
}

bool program_exists(const StudentProgram &program)
{
    return is_readable_file(case_files(program.location_s, program.command_s, {}).program_path);
}

std::string program_answer_file(const StudentProgram &program)
{
    char real[PATH_MAX];
    const std::string folder = ::realpath(program.location_s.c_str(), real)
                                   ? std::string(real) + "/"
                                   : program.location_s;
    return case_files(folder, program.command_s, {}).dir_output;
}

ReferenceAnswer run_reference(const Grading &grading, const std::string &options,
                              const std::string &workdir)
{
    ReferenceAnswer answer;
    std::vector<std::string> argv{grading.reference_path};
    append_option_words(options, argv);
    answer.run = run_program(grading, std::move(argv), workdir, folder_of(grading.reference_path));
    answer.text = answer_of(answer.run);
    std::string().swap(answer.run.output); // its capacity too: up to the output limit
    return answer;
}

std::string reference_problem(const ReferenceAnswer &answer)
{
    const ChildRun &run = answer.run;
    switch (run.end) {
    case ChildRun::End::Exited:
        if (run.exit_code != 0)
            return "exited with code " + std::to_string(run.exit_code);
        return run.truncated ? "printed more than the output limit keeps" : std::string();
    case ChildRun::End::Crashed:
        return "crashed (signal " + std::to_string(run.signal) + ")";
    case ChildRun::End::TimedOut:
        return "did not finish in time";
    case ChildRun::End::FailedToStart:
        return "failed to start";
    case ChildRun::End::NotGraded:
        break;
    }
    return "could not be run: " + run.failure;
}

CaseResult run_student(const Grading &grading, const StudentProgram &program,
                       const std::string &options, const std::string &workdir)
{
    CaseResult result;
    result.options = options;
    const CaseFiles files = case_files(program.location_s, program.command_s, options, workdir);
    result.command_line = files.command_line;
    const std::string path = program.location_s + program.command_s;
    std::string unseen;
    const bool whole_folder = submission_folder(program.location_s, unseen);
    if (!unseen.empty()) {
        result.run.end = ChildRun::End::NotGraded;
        result.run.failure = result.note = unseen;
        return result;
    }
    const StudentAnswer answer = student_answer(files, [&] {
        result.run = run_program(
            grading, program_argv(path, options), workdir, whole_folder ? program.location_s : path,
            {files.workdir_output.substr(files.workdir_output.rfind('/') + 1)});
        return answer_of(result.run);
    });
    result.student_text = answer.text;
    const StaleOutputs &stale = answer.stale;
    std::string().swap(result.run.output); // its capacity too: up to the output limit
    if (result.graded() && !answer.unread.empty()) {
        result.run.end = ChildRun::End::NotGraded;
        result.run.failure = answer.unread;
    }
    if (!result.graded())
        result.note = result.run.failure;
    else if (result.run.end == ChildRun::End::FailedToStart)
        result.note = "could not start: " + result.run.failure;
    else if (result.run.truncated)
        result.note = "output truncated";
    else if (stale.any())
        result.note = "an earlier answer file could not be removed and was not judged";
    return result;
}

void compare_answers(CaseResult &result, const std::string &reference_text)
{
    result.reference_text = reference_text;
    const AnswerComparison comparison = compare_answers(result.student_text, reference_text);
    result.difference = comparison.index;
    result.student_token = comparison.student_word;
    result.reference_token = comparison.reference_word;
    result.correct = result.difference == std::string::npos
                     && result.run.end != ChildRun::End::TimedOut && !result.run.truncated
                     && result.run.end != ChildRun::End::FailedToStart && result.graded()
                     && !result.not_run;
}

CaseResult judge_case(const Grading &grading, const StudentProgram &program,
                      const std::string &options, const std::string &reference_text,
                      const std::string &workdir)
{
    CaseResult result = run_student(grading, program, options, workdir);
    compare_answers(result, reference_text);
    result.student_bytes = result.student_text.size();
    cut_answer(result.student_text, report_answer_bytes);
    // A word may be the whole answer.
    cut_answer(result.student_token, report_answer_bytes);
    return result;
}

std::string make_workdir(const std::string &root, std::string &error)
{
    std::string name = root + "XXXXXX";
    if (!::mkdtemp(name.data())) {
        error = "cannot make a working folder in " + root + ": " + std::strerror(errno);
        return {};
    }
    return name + "/";
}
