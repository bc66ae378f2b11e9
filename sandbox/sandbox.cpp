#include "sandbox/sandbox.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where the launcher appears inside the sandbox: nothing of the grader's own folders is shown.
const char *const launcher_inside = "/run/orvimet/launch";

std::string number(unsigned long long value)
{
    return std::to_string(value);
}

bool read_number(const std::string &text, unsigned long long &value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

bool set_limit(int resource, rlim_t soft, rlim_t hard)
{
    const rlimit limit{soft, hard};
    return ::setrlimit(resource, &limit) == 0;
}

} // namespace

const std::vector<SystemPath> &system_view()
{
    static const std::vector<SystemPath> view = [] {
        std::vector<SystemPath> found;
        // The dynamic loader's cache and the name-service files, so that ordinary programs start
        // as fast as outside and can look up a user name, and the alternatives that commands of
        // /usr/bin (awk) lead to, so that a shell script runs; nothing else of /etc.
        for (const char *path :
             {"/usr", "/lib", "/lib32", "/lib64", "/libx32", "/bin", "/sbin", "/etc/ld.so.cache",
              "/etc/ld.so.conf", "/etc/ld.so.conf.d", "/etc/localtime", "/etc/passwd", "/etc/group",
              "/etc/nsswitch.conf", "/etc/alternatives"}) {
            struct stat info
            {
            };
            if (::lstat(path, &info) != 0)
                continue;
            SystemPath entry{path, {}};
            if (S_ISLNK(info.st_mode)) {
                char target[PATH_MAX];
                const ssize_t n = ::readlink(path, target, sizeof target);
                if (n <= 0 || n == static_cast<ssize_t>(sizeof target))
                    continue;
                entry.symlink.assign(target, static_cast<std::size_t>(n));
            }
            found.push_back(entry);
        }
        return found;
    }();
    return view;
}

std::vector<std::string> sandbox_arguments(const SandboxPlan &plan)
{
    std::vector<std::string> args{plan.bwrap,          "--unshare-pid", "--unshare-net",
                                  "--unshare-ipc",     "--unshare-uts", "--new-session",
                                  "--die-with-parent", "--as-pid-1",    "--clearenv"};
    args.insert(args.end(), {"--setenv", "PATH", "/usr/bin:/bin"});
    if (plan.as_root) {
        // Root's sandbox keeps only what the launcher needs to become the unprivileged user.
        args.insert(args.end(),
                    {"--cap-drop", "ALL", "--cap-add", "CAP_SETUID", "--cap-add", "CAP_SETGID"});
    }
    // bwrap would make /etc for root alone: the program's user must read what is bound there.
    args.insert(args.end(), {"--perms", "0755", "--dir", "/etc"});
    for (const SystemPath &entry : plan.system) {
        if (entry.symlink.empty())
            args.insert(args.end(), {"--ro-bind", entry.path, entry.path});
        else
            args.insert(args.end(), {"--symlink", entry.symlink, entry.path});
    }
    // The three folders in memory that a program may write (/tmp, /dev/shm and the working
    // folder) hold no more than one file may: they are the sandbox's, and last as long as it.
    std::vector<std::string> bound;
    if (plan.limits.file_bytes > 0)
        bound = {"--size", number(plan.limits.file_bytes)};
    args.insert(args.end(), {"--proc", "/proc", "--dev", "/dev"});
    for (const char *folder : {"/dev/shm", "/tmp"}) {
        args.insert(args.end(), bound.begin(), bound.end());
        args.insert(args.end(), {"--tmpfs", folder});
    }
    // bwrap makes missing parents of a bound folder for root alone; the program's user must
    // pass through them.
    std::vector<std::string> made{"/tmp"};
    const auto parents = [&](const std::string &path) {
        for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            const std::string parent = path.substr(0, slash);
            if (std::find(made.begin(), made.end(), parent) != made.end())
                continue;
            made.push_back(parent);
            args.insert(args.end(), {"--perms", "0755", "--dir", parent});
        }
    };
    // A hidden folder becomes an empty one in memory, made read-only once the visible folders
    // below it have their places in it.
    std::vector<std::string> emptied;
    for (const std::string &folder : plan.hidden) {
        // One below another is hidden with it; a second mount over it would bury its own.
        const bool covered
            = std::any_of(plan.hidden.begin(), plan.hidden.end(), [&](const std::string &other) {
                  return other.size() < folder.size() && folder.compare(0, other.size(), other) == 0
                         && folder[other.size()] == '/';
              });
        if (covered || std::find(emptied.begin(), emptied.end(), folder) != emptied.end())
            continue;
        if (!std::any_of(plan.system.begin(), plan.system.end(), [&](const SystemPath &entry) {
                return entry.symlink.empty() && folder.size() > entry.path.size()
                       && folder.compare(0, entry.path.size(), entry.path) == 0
                       && folder[entry.path.size()] == '/';
            }))
            continue;
        args.insert(args.end(), {"--size", "4096", "--perms", "0555", "--tmpfs", folder});
        emptied.push_back(folder);
    }
    for (const std::string &folder : plan.visible) {
        parents(folder);
        args.insert(args.end(), {"--ro-bind", folder, folder});
    }
    parents(plan.workdir);
    if (plan.workdir_on_disk) {
        args.insert(args.end(), {"--bind", plan.workdir, plan.workdir});
    } else {
        args.insert(args.end(), bound.begin(), bound.end());
        args.insert(args.end(), {"--perms", "0777", "--tmpfs", plan.workdir});
    }
    for (const std::string &folder : emptied)
        args.insert(args.end(), {"--remount-ro", folder});
    args.insert(args.end(), {"--ro-bind", plan.launcher, launcher_inside});
    // The sandbox's own root in memory, where the folders above came to be made, is read-only
    // once they are in place: as an ordinary user, whose namespace makes the program owner of
    // those folders, it would otherwise be writable without bound.
    args.insert(args.end(), {"--remount-ro", "/"});
    args.insert(args.end(),
                {"--info-fd", number(static_cast<unsigned>(plan.info_fd)), "--", launcher_inside});
    const std::vector<std::string> launch
        = launch_arguments({plan.control_fd, plan.as_root ? plan.uid : 0U, plan.workdir,
                            plan.limits, plan.keep_errors});
    args.insert(args.end(), launch.begin(), launch.end());
    return args;
}

std::vector<std::string> launch_arguments(const LaunchPlan &plan)
{
    std::vector<std::string> arguments{number(static_cast<unsigned>(plan.control_fd)),
                                       number(plan.uid),
                                       plan.workdir,
                                       number(static_cast<unsigned>(plan.limits.cpu_seconds)),
                                       number(plan.limits.memory_bytes),
                                       number(plan.limits.file_bytes),
                                       number(static_cast<unsigned>(plan.limits.processes))};
    if (plan.keep_errors)
        arguments.push_back("errors");
    return arguments;
}

bool parse_launch(const std::vector<std::string> &arguments, LaunchPlan &plan)
{
    unsigned long long values[6];
    if (arguments.size() < 7 || arguments.size() > 8 || arguments[2].empty()
        || (arguments.size() == 8 && arguments[7] != "errors"))
        return false;
    plan.keep_errors = arguments.size() == 8;
    for (int i = 0; i < 6; ++i) {
        if (!read_number(arguments[static_cast<std::size_t>(i < 2 ? i : i + 1)], values[i]))
            return false;
    }
    if (values[0] > INT_MAX || values[1] > UINT_MAX || values[2] > INT_MAX || values[5] > INT_MAX)
        return false;
    plan.control_fd = static_cast<int>(values[0]);
    plan.uid = static_cast<unsigned>(values[1]);
    plan.workdir = arguments[2];
    plan.limits.cpu_seconds = static_cast<int>(values[2]);
    plan.limits.memory_bytes = values[3];
    plan.limits.file_bytes = values[4];
    plan.limits.processes = static_cast<int>(values[5]);
    return true;
}

namespace {

bool plain_name(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

void put_length(std::string &out, std::uint32_t length)
{
    out.append(reinterpret_cast<const char *>(&length), sizeof length);
}

} // namespace

std::string encode_request(const Request &request)
{
    std::string body = number(request.answer_files.size());
    body.push_back('\0');
    for (const std::vector<std::string> *part : {&request.answer_files, &request.argv}) {
        for (const std::string &field : *part)
            body.append(field).push_back('\0');
    }
    std::string message;
    put_length(message, static_cast<std::uint32_t>(body.size()));
    return message + body;
}

bool decode_request(const std::string &body, Request &request)
{
    request = {};
    if (body.empty() || body.back() != '\0')
        return false;
    // Each field is taken once, straight into its place: a request of thousands of arguments
    // was split into a list first and copied again from there.
    const auto fields = static_cast<std::size_t>(std::count(body.begin(), body.end(), '\0'));
    const std::size_t count_end = body.find('\0');
    unsigned long long files = 0;
    if (!read_number(body.substr(0, count_end), files) || files >= fields - 1)
        return false;
    const auto answer_files = static_cast<std::size_t>(files);
    request.answer_files.reserve(answer_files);
    request.argv.reserve(fields - 1 - answer_files);
    for (std::size_t start = count_end + 1; start < body.size();) {
        const std::size_t end = body.find('\0', start);
        std::vector<std::string> &part
            = request.answer_files.size() < answer_files ? request.answer_files : request.argv;
        part.emplace_back(body, start, end - start);
        start = end + 1;
    }
    return std::all_of(request.answer_files.begin(), request.answer_files.end(), plain_name)
           && !request.argv.front().empty();
}

std::string encode_answer(const LaunchReport &report, const AnswerFiles &files)
{
    std::string out(reinterpret_cast<const char *>(&report), sizeof report);
    for (const std::optional<std::string> &file : files) {
        put_length(out, file ? static_cast<std::uint32_t>(file->size()) : no_answer_file);
        if (file)
            out += *file;
    }
    return out;
}

int decode_answer(const std::string &bytes, std::size_t count, LaunchReport &report,
                  AnswerFiles &files)
{
    files.clear();
    if (bytes.size() < sizeof report)
        return 0;
    std::memcpy(&report, bytes.data(), sizeof report);
    std::size_t at = sizeof report;
    while (files.size() < count) {
        std::uint32_t length = 0;
        if (bytes.size() < at + sizeof length)
            return 0;
        std::memcpy(&length, bytes.data() + at, sizeof length);
        at += sizeof length;
        if (length == no_answer_file) {
            files.emplace_back();
            continue;
        }
        if (length > max_answer_line)
            return -1;
        if (bytes.size() < at + length)
            return 0;
        files.emplace_back(bytes.substr(at, length));
        at += length;
    }
    return bytes.size() == at ? 1 : -1;
}

bool apply_limits(const Limits &limits, bool count_processes)
{
    bool ok = set_limit(RLIMIT_CORE, 0, 0);
    // A second more before the hard limit: SIGXCPU first, which a program may see, then SIGKILL.
    if (limits.cpu_seconds > 0) {
        const auto cpu = static_cast<rlim_t>(limits.cpu_seconds);
        ok = set_limit(RLIMIT_CPU, cpu, cpu + 1) && ok;
    }
    if (limits.memory_bytes > 0)
        ok = set_limit(RLIMIT_AS, limits.memory_bytes, limits.memory_bytes) && ok;
    if (limits.file_bytes > 0)
        ok = set_limit(RLIMIT_FSIZE, limits.file_bytes, limits.file_bytes) && ok;
    if (count_processes && limits.processes > 0) {
        const auto processes = static_cast<rlim_t>(limits.processes);
        ok = set_limit(RLIMIT_NPROC, processes, processes) && ok;
    }
    return ok;
}
