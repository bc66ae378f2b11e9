#include "judge/outputfiles.h"

#include "judge/platform.h"
#include "sandbox/fileio.h"

#include <cerrno>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens `path` for reading only when the opened file is a regular one. O_NONBLOCK: a name that
// turns into a named pipe between a check and the open must not hang the grader; the check is
// made on what was opened, so no swap can slip in between.
int open_regular(const std::string &path, bool follow_link, struct stat &info)
{
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (follow_link ? 0 : O_NOFOLLOW);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0)
        return -1;
    const bool stated = ::fstat(fd, &info) == 0;
    if (!stated || !S_ISREG(info.st_mode)) {
        const int error = stated ? 0 : errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// The folder and the last name of a path; "." for a bare name.
std::pair<std::string, std::string> split_path(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Makes `text` the whole content of `path`: written to a new file of a random name in the same
// folder, then renamed over the name, so that whatever stood there (a link included) is
// replaced and nothing outside the folder is created or written. True only when every byte is
// in place.
bool replace_file(const std::string &path, const std::string &text)
{
    const auto [folder, name] = split_path(path);
    if (name.empty())
        return false;
    const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return false;
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string temporary
            = "." + name + "." + std::to_string(random()) + std::to_string(random());
        const int fd = ::openat(dir.get(), temporary.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        const bool written = write_all(fd, text.data(), text.size());
        const bool closed = ::close(fd) == 0;
        if (written && closed
            && ::renameat(dir.get(), temporary.c_str(), dir.get(), name.c_str()) == 0)
            return true;
        ::unlinkat(dir.get(), temporary.c_str(), 0);
        return false;
    }
    return false;
}

// Whether `path` names the file `info` describes, the name itself and not a link's target.
bool names_file(const std::string &path, const struct stat &info)
{
    struct stat other
    {
    };
    return ::lstat(path.c_str(), &other) == 0 && other.st_dev == info.st_dev
           && other.st_ino == info.st_ino;
}

// False, with errno, when the file could not be read to its end or the limit.
bool read_line_from(int fd, std::string &line, std::size_t limit)
{
    std::string content;
    if (!read_through_line_feed(fd, content, limit))
        return false;
    line = first_line(content);
    return true;
}

// As read_first_line; `error` is the errno of an open or read that failed, 0 when the name is
// simply not a regular file.
bool read_first_line(const std::string &path, std::string &line, std::size_t limit,
                     struct stat &info, int &error)
{
    errno = 0;
    const Descriptor fd(open_regular(file_path(path), false, info));
    if (fd.get() >= 0 && read_line_from(fd.get(), line, limit))
        return true;
    error = errno;
    return false;
}

// Removes a stale answer file; true when nothing that could be read as one is left.
bool remove_stale(const std::string &path)
{
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0)
        return true;
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))
        return true; // never read as an answer
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

} // namespace

bool is_readable_file(const std::string &path)
{
    struct stat info
    {
    };
    const Descriptor fd(open_regular(file_path(path), true, info));
    return fd.get() >= 0;
}

bool read_first_line(const std::string &path, std::string &line, std::size_t limit)
{
    struct stat info
    {
    };
    int error = 0;
    return read_first_line(path, line, limit, info, error);
}

StaleOutputs remove_stale_outputs(const CaseFiles &files)
{
    StaleOutputs stale;
    stale.workdir_kept = !remove_stale(file_path(files.workdir_output));
    stale.dir_kept = !remove_stale(file_path(files.dir_output));
    return stale;
}

std::string take_student_answer(const CaseFiles &files, std::string student_output,
                                const StaleOutputs &stale, std::string *unread)
{
    std::string text;
    const std::string workdir_file = file_path(files.workdir_output);
    const std::string dir_file = file_path(files.dir_output);
    struct stat info
    {
    };
    int error = 0;
    auto unreadable = [&](const std::string &path) {
        if (!grader_error(error))
            return false;
        if (unread)
            *unread = "cannot read the answer file " + path + ": " + std::strerror(error);
        return true;
    };
    if (!stale.workdir_kept) {
        if (read_first_line(workdir_file, text, answer_file_limit, info, error)) {
            const bool one_file = names_file(dir_file, info);
            // Only a line that safely reached the directory file lets the original go.
            if (replace_file(dir_file, text) && !one_file)
                ::unlink(workdir_file.c_str());
        } else if (unreadable(workdir_file)) {
            return {};
        }
    }
    if (text.empty() && !stale.dir_kept) {
        error = 0;
        if (!read_first_line(dir_file, text, answer_file_limit, info, error)
            && unreadable(dir_file))
            return {};
    }
    if (text.empty())
        text = std::move(student_output);
    return text;
}
