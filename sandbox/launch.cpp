// orvimet-launch: the first process inside a sandbox. It becomes the unprivileged user when the
// sandbox was made by root, then runs the programs the grader asks for on its control
// descriptor, one at a time, each under the limits, and answers with how each ended: bubblewrap's
// own exit status could not tell a crash from an exit code, nor a program that failed to start
// from one that printed nothing.
//
// As the PID namespace's first process it ends everything a program left behind before it
// answers, so that nothing of one run is alive in the next; when it exits, the kernel kills the
// rest of the namespace. It exits as soon as the grader's end of the control descriptor closes,
// whatever the way the grader ended: its death signal does not survive the change of user. Signals
// from inside the namespace cannot kill it, and it is not dumpable, so that no program of the same
// user can trace it or open its descriptors.

#include "sandbox/fileio.h"
#include "sandbox/sandbox.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <linux/keyctl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Where the child reports a failure to start, in the program's descriptors: one above the
// standard three, closed at exec.
constexpr int started_fd_in_child = 3;

bool become(unsigned uid)
{
    if (uid == 0)
        return true;
    const auto id = static_cast<uid_t>(uid);
    return ::setgroups(0, nullptr) == 0 && ::setresgid(id, id, id) == 0
           && ::setresuid(id, id, id) == 0 && ::getuid() == id;
}

// The next request; false when the grader has closed the descriptor or sent nonsense.
bool next_request(int fd, Request &request)
{
    std::uint32_t length = 0;
    if (!read_all(fd, reinterpret_cast<char *>(&length), sizeof length)
        || length > max_request_bytes)
        return false;
    std::string body(length, '\0');
    return read_all(fd, body.data(), body.size()) && decode_request(body, request);
}

long keyctl(int operation, long argument)
{
    return ::syscall(SYS_keyctl, operation, argument, 0L, 0L, 0L);
}

// The keys of the grader's session, and any a program before left in this user's keyrings, are
// out of reach: a new session keyring of its own, the user's keyrings emptied. A kernel without
// keys has none to show.
bool fresh_keyrings()
{
    if (keyctl(KEYCTL_JOIN_SESSION_KEYRING, 0) < 0)
        return errno == ENOSYS;
    for (const long keyring : {long(KEY_SPEC_USER_KEYRING), long(KEY_SPEC_USER_SESSION_KEYRING)}) {
        if (keyctl(KEYCTL_CLEAR, keyring) < 0)
            return false;
    }
    return true;
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

// Removes what an earlier run left under an answer file's name; false when something that could
// be read as an answer is still there.
bool remove_answer_file(const std::string &name)
{
    struct stat info
    {
    };
    if (::unlink(name.c_str()) == 0 || errno == ENOENT || errno == EISDIR)
        return true;
    return ::lstat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode);
}

// The first line of an answer file, line feed included: a regular file, never a link, a pipe
// or a device.
std::optional<std::string> first_line(const std::string &name)
{
    const Descriptor fd(
        ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info
    {
    };
    std::string line;
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)
        || !read_through_line_feed(fd.get(), line, max_answer_line))
        return std::nullopt;
    return line;
}

// Waits for the program to end while watching the control descriptor: false, with the program
// not reaped, when the grader's end has closed (or it spoke out of turn).
bool wait_watching(pid_t pid, int control_fd, int &status)
{
    const Descriptor notifier(exit_notifier(pid));
    for (;;) {
        pollfd fds[2] = {{control_fd, POLLIN | POLLRDHUP, 0}, {notifier.get(), POLLIN, 0}};
        const int ready = ::poll(fds, notifier.get() >= 0 ? 2 : 1, notifier.get() >= 0 ? -1 : 10);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready > 0 && fds[0].revents != 0)
            return false;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            return true;
        if (ended < 0 && errno != EINTR)
            return false;
    }
}

struct Outcome
{
    LaunchReport report;
    AnswerFiles files;
    bool grader_gone = false;
};

Outcome run(const LaunchPlan &plan, Request &request, int null_fd)
{
    Outcome outcome;
    std::vector<bool> removed;
    for (const std::string &name : request.answer_files)
        removed.push_back(remove_answer_file(name));
    std::vector<char *> program;
    for (std::string &argument : request.argv)
        program.push_back(argument.data());
    program.push_back(nullptr);

    // The child tells here why it could not start the program; end of file means it did.
    int started[2];
    if (::pipe2(started, O_CLOEXEC) != 0) {
        outcome.report = {LaunchReport::LaunchFailed, errno};
        return outcome;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        outcome.report = {LaunchReport::LaunchFailed, errno};
        ::close(started[0]);
        ::close(started[1]);
        return outcome;
    }
    if (pid == 0) {
        LaunchReport failure{LaunchReport::LaunchFailed, 0};
        // Nothing but the three standard descriptors reaches the program, whatever bwrap was
        // handed.
        // Standard error is kept only where the grader reads it, bounded: a sanitizer's report.
        const int error_fd = plan.keep_errors ? STDERR_FILENO : null_fd;
        if (::dup2(error_fd, STDERR_FILENO) < 0
            || ::dup2(started[1], started_fd_in_child) != started_fd_in_child
            || ::fcntl(started_fd_in_child, F_SETFD, FD_CLOEXEC) != 0) {
            failure.value = errno;
        } else {
            close_descriptors_from(started_fd_in_child + 1);
            if (!fresh_keyrings() || !apply_limits(plan.limits, true)) {
                failure.value = errno;
            } else {
                ::execv(program[0], program.data());
                failure = {LaunchReport::ExecFailed, errno};
            }
        }
        [[maybe_unused]] const bool told = write_all(
            started_fd_in_child, reinterpret_cast<const char *>(&failure), sizeof failure);
        ::_exit(127);
    }
    ::close(started[1]);
    LaunchReport failure;
    const bool failed = read_all(started[0], reinterpret_cast<char *>(&failure), sizeof failure);
    ::close(started[0]);
    int status = 0;
    outcome.grader_gone = !wait_watching(pid, plan.control_fd, status);
    end_the_rest();
    if (failed) {
        outcome.report = failure;
        return outcome;
    }
    outcome.report = {LaunchReport::Ended, status};
    // Nothing of the program is alive to swap a file between the look and the read.
    for (std::size_t i = 0; i < request.answer_files.size(); ++i)
        outcome.files.push_back(removed[i] ? first_line(request.answer_files[i]) : std::nullopt);
    return outcome;
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
    Request request;
    while (next_request(plan.control_fd, request)) {
        Outcome outcome = run(plan, request, null_fd);
        if (outcome.grader_gone)
            break;
        // Every answer has a place for each file asked for, whether the program ran or not.
        outcome.files.resize(request.answer_files.size());
        const std::string answer = encode_answer(outcome.report, outcome.files);
        if (!write_all(plan.control_fd, answer.data(), answer.size()))
            break;
    }
    return 0;
}
