// POSIX: fork and exec, with the program (or bwrap) in a process group of its own, so that the
// grader's terminal signals miss it and a time-out can end the whole group.
#include "sandbox/process.h"

#include "sandbox/fileio.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
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
bool lift(int fds[2])
{
    for (int i = 0; i < 2; ++i) {
        if (fds[i] > 2)
            continue;
        const int lifted = ::fcntl(fds[i], F_DUPFD_CLOEXEC, 5);
        ::close(fds[i]);
        fds[i] = lifted;
    }
    return fds[0] >= 0 && fds[1] >= 0;
}

bool make_pipe(int fds[2])
{
    return ::pipe2(fds, O_CLOEXEC) == 0 && lift(fds);
}

// The launcher's control channel: requests one way, reports the other.
bool make_socket_pair(int fds[2])
{
    return ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0 && lift(fds);
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

    Pipes() = default;
    Pipes(const Pipes &) = delete;
    Pipes &operator=(const Pipes &) = delete;
    ~Pipes() { close_all(); }
    void close_all()
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

void kill_running()
{
    for (Running &slot : running) {
        const pid_t init = slot.sandbox_init.load();
        if (init > 0)
            ::kill(init, SIGKILL);
        const pid_t group = slot.group.load();
        if (group > 0)
            ::killpg(group, SIGKILL);
    }
}

extern "C" void on_termination(int signal)
{
    interrupting_signal.store(signal);
    kill_running();
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
    const int error_fd = sandboxed || pipes.error[1] >= 0 ? pipes.error[1] : null_fd;
    if (null_fd < 0 || (!sandboxed && ::chdir(workdir) != 0) || ::dup2(null_fd, 0) != 0
        || ::dup2(pipes.out[1], 1) != 1 || ::dup2(error_fd, 2) != 2
        || ::dup2(pipes.status[1], status_fd_in_child) != status_fd_in_child
        || (sandboxed && ::dup2(pipes.info[1], info_fd_in_child) != info_fd_in_child)) {
        error = errno;
    } else {
        // dup2 clears close-on-exec: bwrap hands both descriptors on; without the sandbox the
        // status descriptor closes at exec and so tells a successful start. Whatever else the
        // grader was started with (a log, a jobserver, a terminal) stays with the grader.
        close_descriptors_from(sandboxed ? info_fd_in_child + 1 : status_fd_in_child + 1);
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

void end_by_status(ChildRun &run, int status)
{
    if (WIFSIGNALED(status)) {
        run.end = ChildRun::End::Crashed;
        run.signal = WTERMSIG(status);
    } else {
        run.end = ChildRun::End::Exited;
        run.exit_code = WEXITSTATUS(status);
    }
}

void set_nonblocking(int fd)
{
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// A pipe read while the child runs, up to `limit` bytes kept; closed once at end of file.
struct Stream
{
    int *fd;
    std::string *kept;
    std::size_t limit;
    bool *truncated;
};

enum class Waited { Enough, Ended, Deadline };

// The one wait of a run: reads `streams` as data comes, until `enough()` holds (asked after
// every read), the process `pid` has ended or `deadline` has come. Without an exit notifier
// (-1) the child's end is polled, in slices that grow while nothing happens.
Waited wait_for_child(pid_t pid, int notifier, const std::vector<Stream> &streams,
                      Clock::time_point deadline, const std::function<bool()> &enough)
{
    int slice_ms = 1;
    for (;;) {
        for (const Stream &stream : streams) {
            if (*stream.fd >= 0
                && !drain(*stream.fd, *stream.kept, stream.limit, *stream.truncated))
                close_fd(*stream.fd);
        }
        if (enough())
            return Waited::Enough;
        if (has_ended(pid))
            return Waited::Ended;
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            return Waited::Deadline;
        std::vector<pollfd> fds;
        for (const Stream &stream : streams) {
            if (*stream.fd >= 0)
                fds.push_back({*stream.fd, POLLIN, 0});
        }
        if (notifier >= 0)
            fds.push_back({notifier, POLLIN, 0});
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        const int ready
            = ::poll(fds.data(), fds.size(),
                     static_cast<int>(std::min<long long>(left, notifier >= 0 ? 60000 : slice_ms)));
        slice_ms = ready > 0 ? 1 : std::min(slice_ms * 2, 50);
    }
}

// Forks and execs `argv` as the grader's child in a process group of its own, known to the
// termination handler by `slot`; -1 with errno set when it cannot.
pid_t start_process(std::vector<std::string> &arguments, const char *workdir, const Pipes &pipes,
                    bool sandboxed, const Limits &limits, Running *&slot)
{
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
        exec_child(argv[0], argv.data(), workdir, pipes, sandboxed, limits);
    if (pid > 0) {
        // Both sides set the group, so it exists whichever runs first.
        if (sandboxed)
            ::setpgid(pid, pid);
        slot = enter(pid);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = fork_error;
    return pid;
}

ChildRun run_bare(const Command &command, std::chrono::milliseconds timeout, const Limits &limits)
{
    const Clock::time_point start = Clock::now();
    ChildRun run;
    Pipes pipes;
    if (!make_pipe(pipes.out) || !make_pipe(pipes.status)
        || (command.error_bytes > 0 && !make_pipe(pipes.error)))
        return not_graded(failure("cannot make a pipe", errno), start);
    std::vector<std::string> arguments = command.argv;
    Running *slot = nullptr;
    const pid_t pid = start_process(arguments, command.workdir.c_str(), pipes, false, limits, slot);
    const int fork_error = errno;
    pipes.close_child_ends();
    if (pid < 0) {
        return not_graded(interrupted() ? "the grader was interrupted"
                                        : failure("cannot start a process", fork_error),
                          start);
    }
    set_nonblocking(pipes.out[0]);
    set_nonblocking(pipes.error[0]);
    bool error_truncated = false;
    int notifier = exit_notifier(pid);
    const bool ended
        = wait_for_child(pid, notifier,
                         {{&pipes.out[0], &run.output, limits.output_bytes, &run.truncated},
                          {&pipes.error[0], &run.error, command.error_bytes, &error_truncated}},
                         start + timeout, [] { return false; })
          == Waited::Ended;
    run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    // Whatever the program started goes with it, whether it ended or ran out of time; the
    // program itself too, in case it left its own group.
    ::killpg(pid, SIGKILL);
    ::kill(pid, SIGKILL);
    if (pipes.out[0] >= 0)
        drain(pipes.out[0], run.output, limits.output_bytes, run.truncated);
    if (pipes.error[0] >= 0)
        drain(pipes.error[0], run.error, command.error_bytes, error_truncated);
    const int status = reap(pid);
    leave(slot);
    close_fd(notifier);
    std::string status_bytes;
    bool status_truncated = false;
    drain(pipes.status[0], status_bytes, 64, status_truncated);
    LaunchReport report;
    if (status_bytes.size() >= sizeof report)
        std::memcpy(&report, status_bytes.data(), sizeof report);
    if (report.kind == LaunchReport::ExecFailed) {
        run.end = ChildRun::End::FailedToStart;
        run.failure = std::strerror(report.value);
    } else if (!ended)
        run.end = ChildRun::End::TimedOut;
    else
        end_by_status(run, status);
    return run;
}

bool same_limits(const Limits &a, const Limits &b)
{
    return a.cpu_seconds == b.cpu_seconds && a.memory_bytes == b.memory_bytes
           && a.file_bytes == b.file_bytes && a.processes == b.processes
           && a.output_bytes == b.output_bytes;
}

// A sandbox kept for the runs of one program folder in one working folder: bwrap, and inside it
// the launcher, which runs each program asked for and ends everything it left before it
// answers. Making a sandbox costs far more than a run; a time-out, or anything unexpected, ends
// it, and the next run makes a new one.
class KeptSandbox
{
public:
    KeptSandbox(const Command &command, const Limits &limits, const Sandbox &sandbox)
        : workdir(command.workdir)
        , visible(command.visible)
        , error_bytes(command.error_bytes)
        , on_disk(command.workdir_on_disk)
        , limits(limits)
        , sandbox(sandbox)
    {}
    KeptSandbox(const KeptSandbox &) = delete;
    KeptSandbox &operator=(const KeptSandbox &) = delete;
    ~KeptSandbox() { end(); }

    bool serves(const Command &command, const Limits &other, const Sandbox &settings) const
    {
        return command.workdir == workdir && command.visible == visible
               && (command.error_bytes > 0) == (error_bytes > 0)
               && command.workdir_on_disk == on_disk && same_limits(other, limits)
               && settings.bwrap == sandbox.bwrap && settings.launcher == sandbox.launcher
               && settings.first_uid == sandbox.first_uid && settings.hidden == sandbox.hidden;
    }

    ChildRun run(const Command &command, std::chrono::milliseconds timeout);

private:
    std::string start();
    void drain_info();
    void end();
    std::string keep_answer_files(const Command &command, const AnswerFiles &files) const;

    const std::string workdir;
    const std::vector<std::string> visible;
    // Where the programs' standard error is kept, it shares bwrap's pipe: read into each run's
    // ChildRun::error, up to this many bytes.
    const std::size_t error_bytes;
    const bool on_disk; // the host's working folder, not one in memory
    const Limits limits;
    const Sandbox sandbox;

    pid_t pid = -1; // bwrap
    Pipes pipes;    // the grader's ends
    int notifier = -1;
    Running *slot = nullptr;
    int user = -1;
    std::string info, error_text;
};

// Starts bwrap with the launcher; the reason when it cannot.
std::string KeptSandbox::start()
{
    pipes.close_all();
    info.clear();
    error_text.clear();
    if (!make_pipe(pipes.out) || !make_pipe(pipes.error) || !make_pipe(pipes.info)
        || !make_socket_pair(pipes.status))
        return failure("cannot make a pipe", errno);
    // Root's programs run as a user of their own; the user is free again once its sandbox, and
    // so every process of it, is gone.
    const bool as_root = ::geteuid() == 0;
    if (as_root && (user = take_user()) < 0)
        return "too many programs at once for the sandbox users";
    const unsigned uid = sandbox.first_uid + static_cast<unsigned>(std::max(user, 0));
    // A working folder on disk becomes the program's user's, so that it alone may write there.
    if (on_disk && as_root && ::chown(workdir.c_str(), uid, uid) != 0)
        return failure("cannot hand the working folder to the program's user", errno);

    SandboxPlan plan;
    plan.bwrap = executable_path(sandbox.bwrap);
    plan.launcher = sandbox.launcher.empty() ? default_launcher() : sandbox.launcher;
    plan.system = system_view();
    plan.workdir = workdir;
    plan.visible = visible;
    // An installation's libexec/orvimet holds the launcher and the reference programs: nothing a
    // program should see. Only a folder of that name: a launcher put beside the system's own
    // commands must not hide them. Hidden by real paths, the ones the system shown holds.
    std::vector<std::string> hidden = sandbox.hidden;
    const std::string launcher_folder = plan.launcher.substr(0, plan.launcher.rfind('/'));
    if (launcher_folder.size() > 8
        && launcher_folder.compare(launcher_folder.size() - 8, 8, "/orvimet") == 0)
        hidden.push_back(launcher_folder);
    for (const std::string &folder : hidden) {
        char real[PATH_MAX];
        if (!folder.empty() && ::realpath(folder.c_str(), real))
            plan.hidden.emplace_back(real);
    }
    plan.as_root = as_root;
    plan.uid = uid;
    plan.control_fd = status_fd_in_child;
    plan.info_fd = info_fd_in_child;
    plan.limits = limits;
    plan.keep_errors = error_bytes > 0;
    plan.workdir_on_disk = on_disk;
    std::vector<std::string> arguments = sandbox_arguments(plan);
    pid = start_process(arguments, workdir.c_str(), pipes, true, limits, slot);
    const int fork_error = errno;
    pipes.close_child_ends();
    if (pid < 0) {
        return interrupted() ? "the grader was interrupted"
                             : failure("cannot start a process", fork_error);
    }
    for (const int fd : {pipes.out[0], pipes.error[0], pipes.info[0], pipes.status[0]})
        set_nonblocking(fd);
    notifier = exit_notifier(pid);
    return {};
}

// Known as soon as bwrap tells it, the sandbox's first process is what an interrupt or a
// time-out kills to end the whole sandbox at once.
void KeptSandbox::drain_info()
{
    bool truncated = false;
    if (pipes.info[0] >= 0 && !drain(pipes.info[0], info, 4096, truncated))
        close_fd(pipes.info[0]);
    if (slot)
        slot->sandbox_init.store(sandbox_init_pid(info));
}

void KeptSandbox::end()
{
    if (pid > 0) {
        // The sandbox's first process takes the whole PID namespace with it; bwrap then ends on
        // its own, and only then is every process of the program gone.
        drain_info();
        const pid_t init = sandbox_init_pid(info);
        if (init > 0 && !has_ended(pid))
            ::kill(init, SIGKILL);
        pollfd end{notifier, POLLIN, 0};
        if (init <= 0 || notifier < 0 || ::poll(&end, 1, 5000) <= 0)
            ::killpg(pid, SIGKILL);
        reap(pid);
        pid = -1;
    }
    leave(slot);
    slot = nullptr;
    close_fd(notifier);
    pipes.close_all();
    if (user >= 0)
        users_taken[static_cast<std::size_t>(user)].store(false);
    user = -1;
}

// Puts the answer files the launcher handed back in the grader's working folder, which the
// program never sees; the reason when one cannot be kept there.
std::string KeptSandbox::keep_answer_files(const Command &command, const AnswerFiles &files) const
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string path = workdir + "/" + command.answer_files[i];
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return failure(answer_not_kept, errno);
        if (!files[i])
            continue;
        const Descriptor fd(
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (fd.get() < 0 || !write_all(fd.get(), files[i]->data(), files[i]->size())) {
            const int error = errno;
            ::unlink(path.c_str());
            return failure(answer_not_kept, error);
        }
    }
    return {};
}

ChildRun KeptSandbox::run(const Command &command, std::chrono::milliseconds timeout)
{
    const Clock::time_point start = Clock::now();
    const std::string request = encode_request({command.argv, command.answer_files});
    if (request.size() > sizeof(std::uint32_t) + max_request_bytes)
        return not_graded("the command line is too long", start);
    ChildRun run;
    if (pid < 0) {
        const std::string problem = this->start();
        if (!problem.empty()) {
            end();
            return not_graded(problem, start);
        }
    }
    // Whatever a request the launcher cannot take, it ends; so does a sandbox that did not
    // start. Both show below as a sandbox ended without an answer.
    for (std::size_t sent = 0; sent < request.size();) {
        const ssize_t n
            = ::send(pipes.status[0], request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        pollfd writable{pipes.status[0], POLLOUT, 0};
        if (n < 0 && errno == EAGAIN && ::poll(&writable, 1, 1000) >= 0 && !has_ended(pid))
            continue;
        break;
    }

    const std::size_t answer_bytes
        = sizeof(LaunchReport)
          + command.answer_files.size() * (sizeof(std::uint32_t) + max_answer_line);
    std::string answer;
    bool truncated = false;
    bool error_truncated = false;
    std::string &errors = error_bytes > 0 ? run.error : error_text;
    LaunchReport report;
    AnswerFiles files;
    int answered = 0;
    const Waited waited = wait_for_child(
        pid, notifier,
        {{&pipes.info[0], &info, 4096, &truncated},
         {&pipes.out[0], &run.output, limits.output_bytes, &run.truncated},
         {&pipes.error[0], &errors, error_bytes > 0 ? error_bytes : 4096, &error_truncated},
         {&pipes.status[0], &answer, answer_bytes, &truncated}},
        start + timeout, [&] {
            if (slot)
                slot->sandbox_init.store(sandbox_init_pid(info));
            answered = decode_answer(answer, command.answer_files.size(), report, files);
            return answered != 0;
        });
    run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    if (waited == Waited::Deadline) {
        end();
        run.end = ChildRun::End::TimedOut;
        return run;
    }
    if (answered < 0)
        report = {};
    switch (report.kind) {
    case LaunchReport::Ended: {
        // Everything that wrote on the output has ended by now: what the pipe holds is this
        // run's, to its end.
        if (pipes.out[0] >= 0)
            drain(pipes.out[0], run.output, limits.output_bytes, run.truncated);
        if (pipes.error[0] >= 0 && error_bytes > 0)
            drain(pipes.error[0], run.error, error_bytes, error_truncated);
        const std::string problem = keep_answer_files(command, files);
        if (!problem.empty())
            return not_graded(problem, start);
        end_by_status(run, report.value);
        return run;
    }
    case LaunchReport::ExecFailed:
        run.end = ChildRun::End::FailedToStart;
        run.failure = std::strerror(report.value);
        return run;
    case LaunchReport::LaunchFailed:
        return not_graded(std::string("the sandbox could not start the program: ")
                              + std::strerror(report.value),
                          start);
    case LaunchReport::SandboxFailed:
        end();
        return not_graded(std::string(sandbox_failure) + ": cannot run " + sandbox.bwrap + ": "
                              + std::strerror(report.value),
                          start);
    default:
        break;
    }
    if (pipes.error[0] >= 0)
        drain(pipes.error[0], errors, error_bytes > 0 ? error_bytes : 4096, error_truncated);
    if (error_text.empty())
        error_text = run.error;
    const std::string said = error_text.substr(0, error_text.find('\n'));
    end();
    return not_graded(sandbox_failure + (said.empty() ? std::string() : ": " + said), start);
}

// The sandboxes this thread keeps for its next runs: two, so that a student's program and the
// reference, taking turns, each keep theirs.
thread_local std::vector<std::unique_ptr<KeptSandbox>> kept_sandboxes;

KeptSandbox &kept_sandbox(const Command &command, const Limits &limits, const Sandbox &sandbox)
{
    auto &kept = kept_sandboxes;
    const auto found = std::find_if(kept.begin(), kept.end(), [&](const auto &candidate) {
        return candidate->serves(command, limits, sandbox);
    });
    if (found != kept.end()) {
        std::rotate(found, found + 1, kept.end());
        return *kept.back();
    }
    if (kept.size() >= 2)
        kept.erase(kept.begin());
    kept.push_back(std::make_unique<KeptSandbox>(command, limits, sandbox));
    return *kept.back();
}

} // namespace

ChildRun run_child(const Command &command, const Limits &limits, const Sandbox &sandbox)
{
    const std::chrono::milliseconds timeout = limits.wall;
    if (command.argv.empty() || command.argv.front().empty())
        return ChildRun{};
    if (!sandbox.enabled)
        return run_bare(command, timeout, limits);
    return kept_sandbox(command, limits, sandbox).run(command, timeout);
}

void end_kept_sandboxes()
{
    kept_sandboxes.clear();
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

void stop_grading()
{
    interrupting_signal.store(SIGTERM);
    kill_running();
}
