// POSIX: fork and exec with the child in a process group of its own, so that a time-out can end
// the whole group the program may have grown. Being a background group, it gets no signals from
// the grader's terminal either.
#include "cli/childprocess.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

// The file to execute: the grader's working directory anchors relative paths, since the child
// changes into its own before exec; a bare name is looked up on the search path now, because the
// forked child may call nothing that allocates.
QString executable_path(const QString &program)
{
    if (program.isEmpty())
        return program;
    if (program.contains(QLatin1Char('/')))
        return QFileInfo(program).absoluteFilePath();
    return QStandardPaths::findExecutable(program);
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
        const int lifted = ::fcntl(fds[i], F_DUPFD_CLOEXEC, 3);
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

// A descriptor that becomes readable when the process ends; -1 where the system has none.
int exit_notifier(pid_t pid)
{
#if defined(__linux__) && defined(SYS_pidfd_open)
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Between fork and exec only async-signal-safe calls are allowed. Signals arrive blocked.
[[noreturn]] void exec_child(const char *path, char *const argv[], const char *workdir, int out_fd,
                             int error_fd)
{
    ::setpgid(0, 0);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        ::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0 && ::chdir(workdir) == 0 && ::dup2(null_fd, 0) == 0 && ::dup2(null_fd, 2) == 2
        && ::dup2(out_fd, 1) == 1) {
        if (null_fd > 2)
            ::close(null_fd);
        ::execv(path, argv);
    }
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(error_fd, &error, sizeof error);
    ::_exit(127);
}

// The process groups running now, for the termination handler; a free slot holds 0. More
// programs at once than slots only means that the extra ones outlive an interrupted grader.
std::array<std::atomic<pid_t>, 1024> running_groups{};

std::atomic<pid_t> *enter_group(pid_t pid)
{
    for (std::atomic<pid_t> &slot : running_groups) {
        pid_t free = 0;
        if (slot.compare_exchange_strong(free, pid))
            return &slot;
    }
    return nullptr;
}

void leave_group(std::atomic<pid_t> *slot)
{
    if (slot)
        slot->store(0);
}

extern "C" void kill_running_groups(int signal)
{
    for (std::atomic<pid_t> &slot : running_groups) {
        const pid_t group = slot.load();
        if (group > 0)
            ::killpg(group, SIGKILL);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Reads what the pipe holds now; false once it is closed.
bool drain(int fd, std::string &output)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
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

} // namespace

ChildRun run_child(const QStringList &command, const std::string &workdir,
                   std::chrono::milliseconds timeout)
{
    ChildRun run;
    const Clock::time_point start = Clock::now();
    const QString program = command.isEmpty() ? QString() : executable_path(command.first());
    if (program.isEmpty())
        return run;

    std::vector<QByteArray> storage;
    storage.push_back(program.toUtf8());
    for (int i = 1; i < command.size(); ++i)
        storage.push_back(command.at(i).toUtf8());
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int out[2] = {-1, -1};
    int error[2] = {-1, -1};
    if (!make_pipe(out) || !make_pipe(error)) {
        close_fd(out[0]), close_fd(out[1]), close_fd(error[0]), close_fd(error[1]);
        return run;
    }
    // Signals stay blocked until the child is in its own group and known to the termination
    // handler: an interrupt in between would otherwise miss it, or run the handler in the child.
    sigset_t all, previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::fork();
    if (pid == 0)
        exec_child(argv[0], argv.data(), workdir.c_str(), out[1], error[1]);
    std::atomic<pid_t> *slot = nullptr;
    if (pid > 0) {
        // Both sides set the group, so it exists whichever runs first.
        ::setpgid(pid, pid);
        slot = enter_group(pid);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    close_fd(out[1]);
    close_fd(error[1]);
    if (pid < 0) {
        close_fd(out[0]), close_fd(error[0]);
        return run;
    }

    // The error pipe closes on a successful exec and carries errno on a failed one.
    int exec_error = 0;
    ssize_t n;
    while ((n = ::read(error[0], &exec_error, sizeof exec_error)) < 0 && errno == EINTR) {
    }
    close_fd(error[0]);
    if (n > 0) {
        leave_group(slot);
        reap(pid);
        close_fd(out[0]);
        run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        return run;
    }

    ::fcntl(out[0], F_SETFL, ::fcntl(out[0], F_GETFL) | O_NONBLOCK);
    int notifier = exit_notifier(pid);
    const Clock::time_point deadline = start + timeout;
    bool ended = false;
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
        pollfd fds[2];
        nfds_t count = 0;
        if (out[0] >= 0)
            fds[count++] = {out[0], POLLIN, 0};
        if (notifier >= 0)
            fds[count++] = {notifier, POLLIN, 0};
        const int wait_ms = notifier >= 0 ? static_cast<int>(std::min<long long>(left, 60000))
                                          : static_cast<int>(std::min<long long>(left, slice_ms));
        const int ready = ::poll(fds, count, wait_ms);
        slice_ms = ready > 0 ? 1 : std::min(slice_ms * 2, 50);
        if (out[0] >= 0 && ready > 0 && fds[0].revents != 0 && !drain(out[0], run.output))
            close_fd(out[0]);
    }
    run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    // Whatever the program started goes with it, whether it ended or ran out of time.
    ::killpg(pid, SIGKILL);
    if (out[0] >= 0)
        drain(out[0], run.output);
    close_fd(out[0]);
    close_fd(notifier);
    leave_group(slot);
    const int status = reap(pid);
    if (!ended) {
        run.end = ChildRun::End::TimedOut;
    } else if (WIFSIGNALED(status)) {
        run.end = ChildRun::End::Crashed;
        run.signal = WTERMSIG(status);
    } else {
        run.end = ChildRun::End::Exited;
        run.exit_code = WEXITSTATUS(status);
    }
    return run;
}

void kill_children_on_termination()
{
    struct sigaction action
    {
    };
    action.sa_handler = kill_running_groups;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}
