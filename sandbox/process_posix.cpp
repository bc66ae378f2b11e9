// POSIX: fork and exec, with the program (or bwrap) in a process group of its own, so that the
// grader's terminal signals miss it and a time-out can end the whole group.
#include "sandbox/process.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Descriptors the child keeps across exec, whatever numbers they had in the grader.
constexpr int status_fd_in_child = 3;
constexpr int info_fd_in_child = 4;

// The grader's own failure, in words for the report.
std::string failure(const char *what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// Pipe ends above the three standard descriptors, close-on-exec, so that the child's dup2 calls
// cannot clobber them and children started by other threads never inherit them (a stray write
// end would hold back end of file).
bool make_pipe(int fds[2])
{
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    for (int i = 0; i < 2; ++i) {
        if (fds[i] > 2)
            continue;
        const int lifted = ::fcntl(fds[i], F_DUPFD_CLOEXEC, 5);
        ::close(fds[i]);
        fds[i] = lifted;
    }
    return fds[0] >= 0 && fds[1] >= 0;
}

void close_fd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

struct Pipes
{
    int out[2] = {-1, -1};
    int status[2] = {-1, -1};
    int error[2] = {-1, -1};
    int info[2] = {-1, -1};

    ~Pipes()
    {
        for (int *pipe : {out, status, error, info})
            close_fd(pipe[0]), close_fd(pipe[1]);
    }
    void close_child_ends()
    {
        for (int *pipe : {out, status, error, info})
            close_fd(pipe[1]);
    }
};

// A descriptor that becomes readable when the process ends; -1 where the system has none.
int exit_notifier(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// The processes running now, for the termination handler: the group of each child, and the
// first process of its sandbox, which takes the whole PID namespace with it. A free slot holds 0.
struct Running
{
    std::atomic<pid_t> group{0};
    std::atomic<pid_t> sandbox_init{0};
};
std::array<Running, 1024> running{};
std::atomic<int> interrupting_signal{0};

Running *enter(pid_t group)
{
    for (Running &slot : running) {
        pid_t free = 0;
        if (slot.group.compare_exchange_strong(free, group))
            return &slot;
    }
    return nullptr;
}

void leave(Running *slot)
{
    if (slot) {
        slot->sandbox_init.store(0);
        slot->group.store(0);
    }
}

extern "C" void on_termination(int signal)
{
    interrupting_signal.store(signal);
    for (Running &slot : running) {
        const pid_t init = slot.sandbox_init.load();
        if (init > 0)
            ::kill(init, SIGKILL);
        const pid_t group = slot.group.load();
        if (group > 0)
            ::killpg(group, SIGKILL);
    }
}

// The unprivileged users of running programs when the grader is root, one each.
std::array<std::atomic<bool>, 1024> users_taken{};

int take_user()
{
    for (std::size_t i = 0; i < users_taken.size(); ++i) {
        bool free = false;
        if (users_taken[i].compare_exchange_strong(free, true))
            return static_cast<int>(i);
    }
    return -1;
}

// The file to execute: a bare name is looked up on the search path now, because the forked
// child may call nothing that allocates.
std::string executable_path(const std::string &program)
{
    if (program.empty() || program.find('/') != std::string::npos)
        return program;
    const char *path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate
            = (end > start ? folders.substr(start, end - start) : ".") + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return program;
}

// orvimet-launch beside the running executable (a build tree), else where an installation puts
// it, else where the build put it.
std::string default_launcher()
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        const std::string path(self, static_cast<std::size_t>(n));
        const std::string folder = path.substr(0, path.rfind('/') + 1);
        for (const std::string &candidate :
             {folder + "orvimet-launch", folder + ORVIMET_LAUNCHER_FROM_BIN}) {
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
    }
    return ORVIMET_LAUNCHER;
}

// Reads what the pipe holds now into `kept`, up to `limit` bytes in all; the rest is read and
// dropped so that the program never blocks on a full pipe. False once the pipe is closed.
bool drain(int fd, std::string &kept, std::size_t limit, bool &truncated)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            const std::size_t room = limit - std::min(limit, kept.size());
            const std::size_t take = std::min(room, static_cast<std::size_t>(n));
            kept.append(buffer, take);
            truncated = truncated || take < static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }
}

// Whether the child has ended, without reaping it: while it stays a zombie its process group id
// cannot be taken by a new process, so killing the group afterwards hits nobody else.
bool has_ended(pid_t pid)
{
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0
           && info.si_pid == pid;
}

int reap(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// The sandbox's first process as bwrap tells it on its information descriptor:
// { "child-pid": 1234 }.
pid_t sandbox_init_pid(const std::string &info)
{
    const std::size_t key = info.find("\"child-pid\"");
    if (key == std::string::npos)
        return 0;
    const std::size_t digits = info.find_first_of("0123456789", key + 11);
    return digits == std::string::npos ? 0 : static_cast<pid_t>(std::atol(info.c_str() + digits));
}

// Between fork and exec only async-signal-safe calls are allowed. Signals arrive blocked.
[[noreturn]] void exec_child(const char *path, char *const argv[], const char *workdir,
                             const Pipes &pipes, bool sandboxed, const Limits &limits)
{
    // The sandbox makes a session of its own for the program; bwrap stays in a group of its own.
    if (sandboxed)
        ::setpgid(0, 0);
    else
        ::setsid();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        ::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    int error = 0;
    const int null_fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const int error_fd = sandboxed ? pipes.error[1] : null_fd;
    if (null_fd < 0 || (!sandboxed && ::chdir(workdir) != 0) || ::dup2(null_fd, 0) != 0
        || ::dup2(pipes.out[1], 1) != 1 || ::dup2(error_fd, 2) != 2
        || ::dup2(pipes.status[1], status_fd_in_child) != status_fd_in_child
        || (sandboxed && ::dup2(pipes.info[1], info_fd_in_child) != info_fd_in_child)) {
        error = errno;
    } else {
        // dup2 clears close-on-exec: bwrap hands both descriptors on; without the sandbox the
        // status descriptor closes at exec and so tells a successful start.
        if (!sandboxed)
            ::fcntl(status_fd_in_child, F_SETFD, FD_CLOEXEC);
        if (sandboxed || apply_limits(limits, false))
            ::execv(path, argv);
        error = errno;
    }
    const LaunchReport report{sandboxed ? LaunchReport::SandboxFailed : LaunchReport::ExecFailed,
                              error};
    [[maybe_unused]] const ssize_t written = ::write(status_fd_in_child, &report, sizeof report);
    ::_exit(127);
}

ChildRun not_graded(std::string reason, Clock::time_point start)
{
    ChildRun run;
    run.end = ChildRun::End::NotGraded;
    run.failure = std::move(reason);
    run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return run;
}

} // namespace

ChildRun run_child(const Command &command, std::chrono::milliseconds timeout, const Limits &limits,
                   const Sandbox &sandbox)
{
    const Clock::time_point start = Clock::now();
    ChildRun run;
    if (command.argv.empty() || command.argv.front().empty())
        return run;

    Pipes pipes;
    if (!make_pipe(pipes.out) || !make_pipe(pipes.status)
        || (sandbox.enabled && (!make_pipe(pipes.error) || !make_pipe(pipes.info))))
        return not_graded(failure("cannot make a pipe", errno), start);

    // Root's programs run as a user of their own; the user is free again once its sandbox, and
    // so every process of it, is gone.
    const bool as_root = sandbox.enabled && ::geteuid() == 0;
    int user = -1;
    if (as_root && (user = take_user()) < 0)
        return not_graded("too many programs at once for the sandbox users", start);
    struct UserRelease
    {
        int user;
        ~UserRelease()
        {
            if (user >= 0)
                users_taken[static_cast<std::size_t>(user)].store(false);
        }
    } release{user};

    std::vector<std::string> arguments = command.argv;
    const unsigned uid = sandbox.first_uid + static_cast<unsigned>(std::max(user, 0));
    // The working folder becomes the program's user's, so that it alone may write there.
    if (as_root && ::chown(command.workdir.c_str(), uid, uid) != 0)
        return not_graded(failure("cannot hand the working folder to the program's user", errno),
                          start);
    if (sandbox.enabled) {
        SandboxPlan plan;
        plan.bwrap = executable_path(sandbox.bwrap);
        plan.launcher = sandbox.launcher.empty() ? default_launcher() : sandbox.launcher;
        plan.system = system_view();
        plan.workdir = command.workdir;
        plan.visible = command.visible;
        plan.as_root = as_root;
        plan.uid = uid;
        plan.status_fd = status_fd_in_child;
        plan.info_fd = info_fd_in_child;
        plan.limits = limits;
        plan.argv = command.argv;
        arguments = sandbox_arguments(plan);
    }
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    // Signals stay blocked until the child is in its own group and known to the termination
    // handler: an interrupt in between would otherwise miss it, or run the handler in the child.
    sigset_t all, previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = interrupted() ? -1 : ::fork();
    const int fork_error = errno;
    if (pid == 0)
        exec_child(argv[0], argv.data(), command.workdir.c_str(), pipes, sandbox.enabled, limits);
    Running *slot = nullptr;
    if (pid > 0) {
        // Both sides set the group, so it exists whichever runs first.
        if (sandbox.enabled)
            ::setpgid(pid, pid);
        slot = enter(pid);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    pipes.close_child_ends();
    if (pid < 0) {
        return not_graded(interrupted() ? "the grader was interrupted"
                                        : failure("cannot start a process", fork_error),
                          start);
    }

    for (int *pipe : {pipes.out, pipes.status, pipes.error, pipes.info}) {
        if (pipe[0] >= 0)
            ::fcntl(pipe[0], F_SETFL, ::fcntl(pipe[0], F_GETFL) | O_NONBLOCK);
    }
    int notifier = exit_notifier(pid);
    const Clock::time_point deadline = start + timeout;
    std::string status_bytes, error_text, info;
    bool ended = false;
    bool status_truncated = false;
    // Without an exit notifier the child's end is polled, in slices that grow while nothing
    // happens.
    int slice_ms = 1;
    for (;;) {
        if (has_ended(pid)) {
            ended = true;
            break;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            break;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        pollfd fds[4];
        nfds_t count = 0;
        if (pipes.info[0] >= 0)
            fds[count++] = {pipes.info[0], POLLIN, 0};
        if (pipes.out[0] >= 0)
            fds[count++] = {pipes.out[0], POLLIN, 0};
        if (pipes.error[0] >= 0)
            fds[count++] = {pipes.error[0], POLLIN, 0};
        if (notifier >= 0)
            fds[count++] = {notifier, POLLIN, 0};
        const int wait_ms = notifier >= 0 ? static_cast<int>(std::min<long long>(left, 60000))
                                          : static_cast<int>(std::min<long long>(left, slice_ms));
        const int ready = ::poll(fds, count, wait_ms);
        slice_ms = ready > 0 ? 1 : std::min(slice_ms * 2, 50);
        if (ready <= 0)
            continue;
        // Known as soon as bwrap tells it, the sandbox's first process is what an interrupt
        // kills to end the whole sandbox at once.
        if (pipes.info[0] >= 0) {
            if (!drain(pipes.info[0], info, 4096, status_truncated))
                close_fd(pipes.info[0]);
            if (slot)
                slot->sandbox_init.store(sandbox_init_pid(info));
        }
        if (pipes.out[0] >= 0
            && !drain(pipes.out[0], run.output, limits.output_bytes, run.truncated))
            close_fd(pipes.out[0]);
        if (pipes.error[0] >= 0 && !drain(pipes.error[0], error_text, 4096, status_truncated))
            close_fd(pipes.error[0]);
    }
    run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    if (sandbox.enabled && !ended) {
        // The sandbox's first process takes the whole PID namespace with it; bwrap then ends on
        // its own, and only then is every process of the program gone.
        if (pipes.info[0] >= 0)
            drain(pipes.info[0], info, 4096, status_truncated);
        const pid_t init = sandbox_init_pid(info);
        if (init > 0 && !has_ended(pid))
            ::kill(init, SIGKILL);
        pollfd end{notifier, POLLIN, 0};
        if (init <= 0 || notifier < 0 || ::poll(&end, 1, 5000) <= 0)
            ::killpg(pid, SIGKILL);
    } else if (!sandbox.enabled) {
        // Whatever the program started goes with it, whether it ended or ran out of time; the
        // program itself too, in case it left its own group.
        ::killpg(pid, SIGKILL);
        ::kill(pid, SIGKILL);
    }
    if (pipes.out[0] >= 0)
        drain(pipes.out[0], run.output, limits.output_bytes, run.truncated);
    if (pipes.error[0] >= 0)
        drain(pipes.error[0], error_text, 4096, status_truncated);
    const int status = reap(pid);
    leave(slot);
    close_fd(notifier);
    drain(pipes.status[0], status_bytes, 64, status_truncated);

    LaunchReport report;
    if (status_bytes.size() >= sizeof report)
        std::memcpy(&report, status_bytes.data(), sizeof report);
    int program_status = status;
    if (report.kind == LaunchReport::SandboxFailed) {
        return not_graded(std::string(sandbox_failure) + ": cannot run " + sandbox.bwrap + ": "
                              + std::strerror(report.value),
                          start);
    }
    if (report.kind == LaunchReport::ExecFailed) {
        run.end = ChildRun::End::FailedToStart;
        return run;
    }
    if (sandbox.enabled) {
        if (report.kind != LaunchReport::Ended && ended) {
            const std::string said = error_text.substr(0, error_text.find('\n'));
            return not_graded(sandbox_failure + (said.empty() ? std::string() : ": " + said),
                              start);
        }
        program_status = report.value;
    }
    if (!ended || (sandbox.enabled && report.kind != LaunchReport::Ended)) {
        run.end = ChildRun::End::TimedOut;
    } else if (WIFSIGNALED(program_status)) {
        run.end = ChildRun::End::Crashed;
        run.signal = WTERMSIG(program_status);
    } else {
        run.end = ChildRun::End::Exited;
        run.exit_code = WEXITSTATUS(program_status);
    }
    return run;
}

void handle_termination_signals()
{
    struct sigaction action
    {
    };
    action.sa_handler = on_termination;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

int interrupted()
{
    return interrupting_signal.load();
}
