#include "sandbox/fileio.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

void Descriptor::reset(int other)
{
    if (fd >= 0)
        ::close(fd);
    fd = other;
}

namespace {

template<class Data, class Transfer>
bool whole(Transfer transfer, int fd, Data *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = transfer(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EPIPE;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool remove_below(int parent, const char *name)
{
    if (::unlinkat(parent, name, 0) == 0 || errno == ENOENT)
        return true;
    if (errno != EISDIR && errno != EPERM)
        return false;
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    bool all = true;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string child = entry->d_name;
        if (child != "." && child != "..")
            all = remove_below(::dirfd(dir), child.c_str()) && all;
    }
    ::closedir(dir);
    return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 && all;
}

} // namespace

bool write_all(int fd, const char *data, std::size_t size)
{
    return whole(::write, fd, data, size);
}

bool read_all(int fd, char *data, std::size_t size)
{
    return whole(::read, fd, data, size);
}

std::string lexically_normal(const std::string &path)
{
    std::vector<std::string> parts;
    for (std::size_t start = 1; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string normal;
    for (const std::string &part : parts)
        normal += "/" + part;
    return normal.empty() ? "/" : normal;
}

bool read_through_line_feed(int fd, std::string &line, std::size_t limit)
{
    line.clear();
    char buffer[65536];
    while (line.size() < limit) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - line.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        const std::size_t before = line.size();
        line.append(buffer, static_cast<std::size_t>(n));
        const std::size_t end = line.find('\n', before);
        if (end != std::string::npos) {
            line.resize(end + 1);
            break;
        }
    }
    return true;
}

int exit_notifier(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

bool remove_tree(const std::string &path)
{
    return remove_below(AT_FDCWD, path.c_str());
}

void close_descriptors_from(int first)
{
    const auto from = static_cast<unsigned>(first);
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, from, UINT_MAX, 0) == 0)
        return;
#endif
    // Without close_range: every number up to the limit of open files, bounded so that a huge
    // limit costs no more than a moment.
    rlimit limit{};
    const rlim_t most = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : 1024;
    const auto last = static_cast<unsigned>(std::min<rlim_t>(most, 65536));
    for (unsigned fd = from; fd < last; ++fd)
        ::close(static_cast<int>(fd));
}

bool replace_file(const std::string &path, const char *data, std::size_t size, std::string &error)
{
    const std::string temporary = path + ".new";
    const int fd
        = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    bool good = fd >= 0 && write_all(fd, data, size);
    // Closed by hand, not by a Descriptor: a file whose closing failed may not hold its bytes.
    if (fd >= 0 && ::close(fd) != 0)
        good = false;
    if (!good || ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool make_folder(const std::string &path)
{
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

CopyResult copy_file_bounded(const std::string &from, const std::string &to, std::uint64_t limit,
                             unsigned mode)
{
    const Descriptor in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status
    {
    };
    if (in.get() < 0)
        return CopyResult::Unreadable;
    if (::fstat(in.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return CopyResult::NotARegularFile;
    if (static_cast<std::uint64_t>(status.st_size) > limit)
        return CopyResult::TooLarge;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    bool good = out >= 0;
    char buffer[65536];
    // The file may grow while it is copied: no more than `limit` bytes are taken.
    for (std::uint64_t copied = 0; good && copied <= limit;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            break;
        good = n > 0 && write_all(out, buffer, static_cast<std::size_t>(n));
        copied += static_cast<std::uint64_t>(std::max<ssize_t>(n, 0));
        if (copied > limit) {
            errno = EFBIG;
            good = false;
        }
    }
    // Closed by hand: a file whose closing failed may not hold its bytes.
    if (out >= 0 && ::close(out) != 0)
        good = false;
    return good ? CopyResult::Copied : CopyResult::Failed;
}
