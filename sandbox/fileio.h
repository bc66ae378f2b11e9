#pragma once

// Small descriptor helpers that the grader, the launcher and the judge share: plain POSIX,
// nothing that allocates in a forked child.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include <sys/types.h>

// Owns an open descriptor: closed when it goes.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : fd(fd)
    {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    Descriptor(Descriptor &&other) noexcept
        : fd(other.fd)
    {
        other.fd = -1;
    }
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        std::swap(fd, other.fd);
        return *this;
    }
    int get() const { return fd; }
    void reset(int other = -1);
    // Gives the descriptor up to what closes it instead (fdopendir's DIR, say).
    int release() { return std::exchange(fd, -1); }

private:
    int fd;
};

// Whether a failed call's errno tells of the grader's own want (descriptors, memory) or a disk
// error rather than of the file it was given: what it was looking for may well be there.
inline bool grader_error(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOMEM || error == EIO;
}

// Writes, or reads, all of `size` bytes, in as many calls as it takes; false on an error or, for
// reading, at end of file first. errno tells why.
bool write_all(int fd, const char *data, std::size_t size);
bool read_all(int fd, char *data, std::size_t size);

// Puts `size` bytes of `data` in the place of the file at `path` in one step, through a new file
// beside it renamed into place: a reader sees the old file or the new one, never a part, and a
// link planted under the new file's name is not followed. False, with `error` ("cannot write
// PATH: why"), when it cannot; the new file is then gone.
bool replace_file(const std::string &path, const char *data, std::size_t size, std::string &error);

// Makes the folder `path`, readable by all, unless it is there already. False, with errno, when it
// cannot be made.
bool make_folder(const std::string &path);

// Copies the regular file `from`, read through no link, to the new file `to` (never one that is
// there already, nor through a link under its name) with the permissions `mode`. Refused for
// anything but a regular file of at most `limit` bytes.
enum class CopyResult { Copied, Unreadable, NotARegularFile, TooLarge, Failed };
CopyResult copy_file_bounded(const std::string &from, const std::string &to, std::uint64_t limit,
                             unsigned mode);

// An absolute path cleaned of ".", ".." and doubled slashes on its bytes alone, without asking
// the file system (a name that is not UTF-8 survives; links are not resolved).
std::string lexically_normal(const std::string &path);

// Removes `path` with everything below it, never following a link: what a program left in a
// folder may point anywhere. False when something is left.
bool remove_tree(const std::string &path);

// What `fd` gives up to and including its first line feed, at most `limit` bytes: an answer
// file's first line, however long the rest of the file. False, with errno, when a read failed.
bool read_through_line_feed(int fd, std::string &line, std::size_t limit);

// A descriptor that becomes readable when the process `pid` ends; -1 where the system has none.
int exit_notifier(pid_t pid);

// Closes every descriptor from `first` up: what a program must not inherit, whatever the grader
// was started with. Async-signal-safe, for a forked child.
void close_descriptors_from(int first);
