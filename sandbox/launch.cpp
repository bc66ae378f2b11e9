// orvimet-launch: the first process inside a sandbox. It becomes the unprivileged user when the
// sandbox was made by root, then runs the programs the grader asks for on its control
// descriptor, one at a time, each under the limits, and answers with how each ended: bubblewrap's
// own exit status could not tell a crash from an exit code, nor a program that failed to start
// from one that printed nothing.
//
// As the PID namespace's first process it ends everything a program left behind before it
// answers, so that nothing of one run is alive in the next; when it exits, the kernel kills the
// rest of the namespace. Signals from inside the namespace cannot kill it, and it is not
// dumpable, so that no program of the same user can trace it or open its descriptors.

#include "sandbox/sandbox.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool become(unsigned uid)
{
    if (uid == 0)
        return true;
    const auto id = static_cast<uid_t>(uid);
    return ::setgroups(0, nullptr) == 0 && ::setresgid(id, id, id) == 0
           && ::setresuid(id, id, id) == 0 && ::getuid() == id;
}

// Reads or writes (`transfer`) all of `size` bytes, in as many calls as it takes; false at end of
// file or on an error.
template<class Data, class Transfer>
bool whole(Transfer transfer, int fd, Data *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = transfer(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The next request; false when the grader has closed the descriptor or sent nonsense.
bool next_request(int fd, std::vector<std::string> &argv)
{
    std::uint32_t length = 0;
    if (!whole(::read, fd, reinterpret_cast<char *>(&length), sizeof length)
        || length > max_request_bytes)
        return false;
    std::string body(length, '\0');
    return whole(::read, fd, body.data(), body.size()) && decode_request(body, argv);
}

bool answer(int fd, LaunchReport report)
{
    return whole(::write, fd, reinterpret_cast<const char *>(&report), sizeof report);
}

// Kills every other process of the namespace and waits until they are gone: as they are
// orphaned, they all become this process's children. The kill is repeated for one that was
// still being made the first time.
void end_the_rest()
{
    do
        ::kill(-1, SIGKILL);
    while (::waitpid(-1, nullptr, 0) > 0 || errno == EINTR);
}

LaunchReport run(const LaunchPlan &plan, std::vector<std::string> &argv, int null_fd)
{
    std::vector<char *> program;
    for (std::string &argument : argv)
        program.push_back(argument.data());
    program.push_back(nullptr);

    // The child tells here why it could not start the program; end of file means it did.
    int started[2];
    if (::pipe2(started, O_CLOEXEC) != 0)
        return {LaunchReport::LaunchFailed, errno};
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(started[0]);
        ::close(started[1]);
        return {LaunchReport::LaunchFailed, error};
    }
    if (pid == 0) {
        ::close(started[0]);
        LaunchReport failure{LaunchReport::LaunchFailed, 0};
        // Standard error is kept only where the grader reads it, bounded: a sanitizer's report.
        const int error_fd = plan.keep_errors ? STDERR_FILENO : null_fd;
        if (::dup2(error_fd, STDERR_FILENO) < 0 || !apply_limits(plan.limits, true)) {
            failure.value = errno;
        } else {
            ::execv(program[0], program.data());
            failure = {LaunchReport::ExecFailed, errno};
        }
        [[maybe_unused]] const ssize_t n = ::write(started[1], &failure, sizeof failure);
        ::_exit(127);
    }
    ::close(started[1]);
    LaunchReport failure;
    ssize_t n;
    while ((n = ::read(started[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
    }
    ::close(started[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    end_the_rest();
    if (n == static_cast<ssize_t>(sizeof failure))
        return failure;
    return {LaunchReport::Ended, status};
}

} // namespace

int main(int argc, char **argv)
{
    LaunchPlan plan;
    if (!parse_launch(std::vector<std::string>(argv + 1, argv + argc), plan)) {
        std::fputs("orvimet-launch: started by the grader only\n", stderr);
        return 125;
    }
    // The programs must not reach the grader's control descriptor.
    ::fcntl(plan.control_fd, F_SETFD, FD_CLOEXEC);
    // Changing the user clears the death signal bwrap asked for: ask again, so that the sandbox
    // still ends with bwrap, and bwrap with the grader. The limits are each program's alone:
    // they are set in the child, so that CPU time does not add up over the runs.
    const int null_fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null_fd < 0 || !become(plan.uid) || ::prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) != 0
        || ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0
        || ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0 || ::chdir(plan.workdir.c_str()) != 0) {
        std::perror("orvimet-launch: cannot drop privileges");
        return 125;
    }
    std::vector<std::string> program;
    while (next_request(plan.control_fd, program)) {
        if (!answer(plan.control_fd, run(plan, program, null_fd)))
            break;
    }
    return 0;
}
