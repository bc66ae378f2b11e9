#include "grading/memcheck.h"

#include "sandbox/process.h"

#include <sys/stat.h>

namespace {

// Standard error kept of one memory-checking run: the report's first lines are what count.
constexpr std::size_t memcheck_error_bytes = 64 * 1024;

} // namespace

MemcheckBuild build_for_memory_check(const BuildSettings &settings, const Submission &submission,
                                     const std::string &check_dir)
{
    MemcheckBuild result;
    std::vector<std::string> files = submission.sources;
    files.insert(files.end(), submission.headers.begin(), submission.headers.end());
    result.evasion = sanitizer_evasion(files);
    // Readable by all: the program runs as the sandbox's unprivileged user when the grader is
    // root.
    ::mkdir(check_dir.c_str(), 0755);
    const BuildResult check = build_program(settings, submission.path, submission.sources,
                                            submission.headers, check_dir, memcheck_flags);
    if (check.status == BuildResult::Status::Built)
        result.program = check.program;
    return result;
}

void memory_check(const ClassSettings &settings, const std::string &program,
                  std::vector<StudentCase> &cases, const std::string &workdir)
{
    Limits limits = settings.grading.limits;
    limits.memory_bytes = 0;
    const std::string folder = program.substr(0, program.rfind('/'));
    std::string dir = workdir;
    if (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    for (StudentCase &c : cases) {
        const ChildRun::End end = c.result.run.end;
        if (c.result.not_run || (end != ChildRun::End::Exited && end != ChildRun::End::Crashed))
            continue;
        if (interrupted())
            return;
        std::vector<std::string> argv{program};
        for (std::string &word : option_words(c.result.options))
            argv.push_back(std::move(word));
        Command command{std::move(argv), dir, {folder}, {}};
        command.error_bytes = memcheck_error_bytes;
        const ChildRun run = run_child(command, limits, settings.grading.sandbox);
        c.memcheck = sanitizer_finding(run.error);
    }
}
