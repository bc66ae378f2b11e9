#include "grading/memcheck.h"

#include "sandbox/fileio.h"
#include "sandbox/process.h"

#include <cstring>

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
                                     const std::string &check_dir)
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
    if (check.status == BuildResult::Status::Built)
        result.program = check.program;
    return result;
}

void memory_check(const ClassSettings &settings, const std::string &program,
                  std::vector<StudentCase> &cases, const std::string &)
{
    Limits limits = settings.grading.limits;
    limits.memory_bytes = 0;
    const std::string folder = program.substr(0, program.rfind('/'));
    // The runs' working folder is on disk and the grader's, so that the reports outlive them.
    const std::string dir = folder + "-run";
    make_folder(dir);
    const std::vector<std::string> environment
        = sanitizer_environment(dir, settings.grading.limits.memory_bytes >> 20);
    for (StudentCase &c : cases) {
        const ChildRun::End end = c.result.run.end;
        if (c.result.not_run || (end != ChildRun::End::Exited && end != ChildRun::End::Crashed))
            continue;
        if (interrupted())
            return;
        take_reports(dir, true);
        std::vector<std::string> argv{"/usr/bin/env"};
        argv.insert(argv.end(), environment.begin(), environment.end());
        argv.push_back(program);
        for (std::string &word : option_words(c.result.options))
            argv.push_back(std::move(word));
        Command command{std::move(argv), dir, {folder}, {}};
        command.error_bytes = memcheck_error_bytes;
        command.workdir_on_disk = true;
        const ChildRun run = run_child(command, limits, settings.grading.sandbox);
        c.memcheck = sanitizer_finding(take_reports(dir, false) + run.error);
        // The status the sanitizers end a program with is a finding even when their report was
        // kept from the grader.
        if (c.memcheck.empty() && run.end == ChildRun::End::Exited
            && run.exit_code == memcheck_exit_code)
            c.memcheck = "the sanitizers ended the program (exit status "
                         + std::to_string(memcheck_exit_code) + "), their report kept from them";
    }
}
