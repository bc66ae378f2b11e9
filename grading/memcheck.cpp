#include "grading/memcheck.h"

#include "explore/cases.h"
#include "explore/shrink.h"
#include "judge/outputfiles.h"
#include "sandbox/fileio.h"
#include "sandbox/process.h"

#include <cstring>
#include <map>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Standard error kept of one memory-checking run: the report's first lines are what count.
constexpr std::size_t memcheck_error_bytes = 64 * 1024;
// The sanitizers' reports go to files of this name (and the process number) in a folder of the
// grader's, not to a standard error the program may have closed.
const char report_name[] = "sanitizer";
// The memory a sanitized program takes beyond its own: the quarantine of freed blocks, the
// shadow and the red zones. Its own is bounded as an ordinary run's is.
constexpr std::uint64_t sanitizer_overhead_mib = 512;

// The sanitizers' options for one run. Set in the environment, they win over any a program
// compiles in (__asan_default_options): the reports go to the grader's files, a fault ends the
// program with an exit status of its own, leaks are looked for, and memory is bounded in the
// sanitizer's own terms, since the limit of address space cannot be used (the shadow maps
// terabytes it never touches): past `memory_mib` of resident memory an allocation fails as it
// would under the ordinary limit, and past that and the sanitizer's overhead the program ends.
std::vector<std::string> sanitizer_environment(const std::string &reports, std::uint64_t memory_mib)
{
    const std::string common = "log_path=\"" + reports + "/" + report_name
                               + "\":exitcode=" + std::to_string(memcheck_exit_code)
                               + ":halt_on_error=1:abort_on_error=0:log_to_syslog=0";
    std::string asan = common + ":detect_leaks=1:allocator_may_return_null=1";
    if (memory_mib > 0)
        asan += ":soft_rss_limit_mb=" + std::to_string(memory_mib)
                + ":max_allocation_size_mb=" + std::to_string(memory_mib)
                + ":hard_rss_limit_mb=" + std::to_string(memory_mib + sanitizer_overhead_mib);
    return {"ASAN_OPTIONS=" + asan, "LSAN_OPTIONS=" + common, "UBSAN_OPTIONS=" + common};
}

// The reports the sanitizers wrote in `folder`, each read through no link and bounded; with
// `remove`, the files go.
std::string take_reports(const std::string &folder, bool remove)
{
    std::string text;
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return text;
    const std::string prefix = std::string(report_name) + ".";
    while (const dirent *item = ::readdir(dir)) {
        if (std::strncmp(item->d_name, prefix.c_str(), prefix.size()) != 0)
            continue;
        const Descriptor fd(
            ::openat(::dirfd(dir), item->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info
        {
        };
        if (!remove && fd.get() >= 0 && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode)) {
            std::string report(memcheck_error_bytes, '\0');
            const ssize_t n = ::read(fd.get(), report.data(), report.size());
            report.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
            text += report + "\n";
        }
        if (remove)
            ::unlinkat(::dirfd(dir), item->d_name, 0);
    }
    ::closedir(dir);
    return text;
}

} // namespace

MemcheckBuild build_for_memory_check(const BuildSettings &settings, const Submission &submission,
                                     const std::string &check_dir, const std::string &name)
{
    MemcheckBuild result;
    std::vector<std::string> files = submission.sources;
    files.insert(files.end(), submission.headers.begin(), submission.headers.end());
    result.evasion = sanitizer_evasion(files);
    if (result.evasion.empty()) {
        const std::string preprocessed = check_dir + "-preprocessed";
        make_folder(preprocessed);
        result.evasion = preprocessed_evasion(settings, submission.path, submission.sources,
                                              submission.headers, preprocessed, memcheck_flags);
    }
    make_folder(check_dir);
    const BuildResult check = build_program(settings, submission.path, submission.sources,
                                            submission.headers, check_dir, memcheck_flags);
    // Under the ordinary program's name, a program that names its answer file after itself
    // leaves the same one.
    const std::string program = check_dir + "/" + name;
    if (check.status == BuildResult::Status::Built
        && (check.program == program || ::rename(check.program.c_str(), program.c_str()) == 0))
        result.program = program;
    return result;
}

namespace {

// Whether the memory-checking build's answer is the ordinary build's: both ended by themselves,
// whole, and the kept part of the ordinary answer (its first bytes, and the full size its run
// measured, not the size of a part already cut) is the memory check's. Anything else is no
// comparison: a crash or a time-out is judged on its own.
bool answers_differ(const StudentCase &plain, const ChildRun &checked, const std::string &answer)
{
    const CaseResult &result = plain.result;
    if (result.run.end != ChildRun::End::Exited || result.run.truncated || result.not_run
        || checked.end != ChildRun::End::Exited || checked.truncated
        || checked.exit_code == memcheck_exit_code)
        return false;
    return answer.size() != result.student_bytes
           || answer.compare(0, result.student_text.size(), result.student_text) != 0;
}

} // namespace

const char answers_differ_finding[]
    = "answers differ between builds: uninitialised memory or undefined behaviour";

namespace {

// One run of the memory-checking build, bounded as an ordinary run is but for memory, which the
// sanitizers' options bound instead.
class Checker
{
public:
    Checker(const ClassSettings &settings, const std::string &program)
        : settings(settings)
        , program(program)
        , folder(program.substr(0, program.rfind('/')))
        , name(program.substr(folder.size() + 1))
        // The runs' working folder is on disk and the grader's, so that the reports outlive them.
        , dir(folder + "-run")
        , environment(sanitizer_environment(dir, settings.grading.limits.memory_bytes >> 20))
    {
        make_folder(dir);
    }

    struct Checked
    {
        std::string finding; // the sanitizers' first line, or empty
        ChildRun run;
        StudentAnswer answer;
    };

    Checked run(const std::string &options) const
    {
        Limits limits = settings.grading.limits;
        limits.memory_bytes = 0;
        take_reports(dir, true);
        std::vector<std::string> argv{"/usr/bin/env"};
        argv.insert(argv.end(), environment.begin(), environment.end());
        argv.push_back(program);
        for (std::string &word : option_words(options))
            argv.push_back(std::move(word));
        Command command{std::move(argv), dir, {folder}, {}};
        command.error_bytes = memcheck_error_bytes;
        command.workdir_on_disk = true;
        Checked checked;
        // The answer is taken as the ordinary run's is, answer files included: the program
        // carries the same name, so it leaves them under the same names.
        checked.answer = student_answer(case_files(folder + "/", name, options, dir + "/"), [&] {
            checked.run = run_child(command, limits, settings.grading.sandbox);
            return until_nul(checked.run.output.data(), checked.run.output.size());
        });
        checked.finding = sanitizer_finding(take_reports(dir, false) + checked.run.error);
        // The status the sanitizers end a program with is a finding even when their report was
        // kept from the grader.
        if (checked.finding.empty() && checked.run.end == ChildRun::End::Exited
            && checked.run.exit_code == memcheck_exit_code)
            checked.finding = "the sanitizers ended the program (exit status "
                              + std::to_string(memcheck_exit_code)
                              + "), their report kept from them";
        return checked;
    }

private:
    const ClassSettings &settings;
    const std::string program, folder, name, dir;
    const std::vector<std::string> environment;
};

} // namespace

void memory_check(const ClassSettings &settings, const std::string &program,
                  std::vector<StudentCase> &cases, const std::function<bool(std::size_t)> &chosen)
{
    const Checker checker(settings, program);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        StudentCase &c = cases[i];
        const ChildRun::End end = c.result.run.end;
        if (c.result.not_run || (end != ChildRun::End::Exited && end != ChildRun::End::Crashed)
            || (chosen && !chosen(i)))
            continue;
        if (interrupted())
            return;
        const Checker::Checked checked = checker.run(c.result.options);
        c.memcheck = checked.finding;
        // A value read before it was written is filled with a pattern in this build (the
        // sanitizer's malloc fill, -ftrivial-auto-var-init=pattern) and is whatever the memory
        // held in the ordinary one: printed, it makes the two answers differ.
        if (c.memcheck.empty() && checked.answer.unread.empty()
            && answers_differ(c, checked.run, checked.answer.text))
            c.memcheck = answers_differ_finding;
    }
}

MemcheckShrinking shrink_memory_finding(const ClassSettings &settings, const std::string &program,
                                        const Words &words,
                                        std::chrono::steady_clock::time_point deadline)
{
    const Checker checker(settings, program);
    // The program is taken to do the same on the same string each time.
    std::map<std::string, bool> reported{{options_line(words), true}};
    const Shrinking shrunk = shrink(
        words, settings.grading.exercise,
        [&](const Words &candidate) {
            const std::string options = options_line(candidate);
            const auto known = reported.find(options);
            if (known != reported.end())
                return known->second;
            return reported[options] = !interrupted() && !checker.run(options).finding.empty();
        },
        [&] { return interrupted() || std::chrono::steady_clock::now() >= deadline; });
    return {options_line(shrunk.words), shrunk.steps, shrunk.complete};
}

std::string shrink_first_finding(const ClassSettings &settings, const std::string &program,
                                 const std::vector<StudentCase> &cases, std::size_t first_generated,
                                 const std::vector<Words> &generated)
{
    for (std::size_t c = first_generated;
         c < cases.size() && c - first_generated < generated.size(); ++c) {
        if (cases[c].memcheck.empty() || cases[c].memcheck == answers_differ_finding)
            continue;
        return shrink_memory_finding(settings, program, generated[c - first_generated],
                                     std::chrono::steady_clock::now() + memcheck_shrink_time)
            .options;
    }
    return {};
}

StringsFinding memory_check_strings(const ClassSettings &settings, const std::string &program,
                                    const std::vector<Words> &strings)
{
    const Checker checker(settings, program);
    for (const Words &words : strings) {
        if (interrupted())
            break;
        const std::string finding = checker.run(options_line(words)).finding;
        if (finding.empty())
            continue;
        return {finding,
                shrink_memory_finding(settings, program, words,
                                      std::chrono::steady_clock::now() + memcheck_shrink_time)
                    .options};
    }
    return {};
}
