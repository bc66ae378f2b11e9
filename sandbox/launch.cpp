// orvimet-launch: the first process inside a sandbox. It becomes the unprivileged user when the
// sandbox was made by root, sets the limits, starts the program and reports how the program
// ended on a descriptor the grader reads: bubblewrap's own exit status cannot tell a crash from
// an exit code, nor a program that failed to start from one that printed nothing.
//
// As the PID namespace's first process it also ends everything the program left behind: when it
// exits, the kernel kills the rest of the namespace.

#include "sandbox/sandbox.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void report(int fd, LaunchReport::Kind kind, int value)
{
    const LaunchReport message{kind, value};
    [[maybe_unused]] const ssize_t n = ::write(fd, &message, sizeof message);
}

bool become(unsigned uid)
{
    if (uid == 0)
        return true;
    const auto id = static_cast<uid_t>(uid);
    return ::setgroups(0, nullptr) == 0 && ::setresgid(id, id, id) == 0
           && ::setresuid(id, id, id) == 0 && ::getuid() == id;
}

} // namespace

int main(int argc, char **argv)
{
    LaunchPlan plan;
    if (!parse_launch(std::vector<std::string>(argv + 1, argv + argc), plan)) {
        std::fputs("orvimet-launch: started by the grader only\n", stderr);
        return 125;
    }
    // The program must not write on the grader's report descriptor.
    ::fcntl(plan.status_fd, F_SETFD, FD_CLOEXEC);
    // Changing the user clears the death signal bwrap asked for: ask again, so that the sandbox
    // still ends with bwrap, and bwrap with the grader.
    if (!become(plan.uid) || ::prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) != 0
        || ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::chdir(plan.workdir.c_str()) != 0
        || !apply_limits(plan.limits, true)) {
        std::perror("orvimet-launch: cannot drop privileges or set the limits");
        return 125;
    }

    std::vector<char *> program;
    for (std::string &argument : plan.argv)
        program.push_back(argument.data());
    program.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("orvimet-launch: cannot start the program");
        return 125;
    }
    if (pid == 0) {
        const int null_fd = ::open("/dev/null", O_WRONLY);
        if (null_fd < 0 || ::dup2(null_fd, STDERR_FILENO) < 0) {
            report(plan.status_fd, LaunchReport::ExecFailed, errno);
            ::_exit(127);
        }
        ::close(null_fd);
        ::execv(program[0], program.data());
        report(plan.status_fd, LaunchReport::ExecFailed, errno);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    report(plan.status_fd, LaunchReport::Ended, status);
    return 0;
}
