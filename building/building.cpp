#include "building/building.h"

#include "sandbox/fileio.h"
#include "sandbox/process.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// No source of a lab exercise comes near this; a larger one is refused before it is read.
constexpr std::uint64_t max_source_bytes = std::uint64_t(16) << 20;
// What a reason or a flagged line may take in a table.
constexpr std::size_t max_line_bytes = 300;
// What the key of a build reads of a student's folder at most; a folder beyond it is built
// without the cache (and is nobody's exact copy) rather than read whole.
constexpr std::uint64_t max_hashed_bytes = std::uint64_t(1) << 30;
constexpr std::size_t max_hashed_entries = 100000;
constexpr int max_hashed_depth = 64;
const char program_name[] = "program";
const char meta_version[] = "orvimet build 2";
const char identity_version[] = "orvimet compiler 1";
// The compilers' identities are kept beside the cache of builds, in a folder of the same name
// with this ending: the cache's own folder holds its entries alone.
const char identities_suffix[] = ".compilers";

std::string error_text(int error)
{
    return std::strerror(error);
}

// Opens a regular file for reading without following a link in its last name and without
// blocking on a FIFO; -1 with `problem` set otherwise, and errno that of a call that failed (0
// when the file is not what it must be).
int open_regular(const std::string &path, std::uint64_t limit, struct stat &info,
                 std::string &problem)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        problem = path + ": " + (error == ELOOP ? "a link" : error_text(error));
        errno = error;
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = path + ": not an ordinary file";
    } else if (static_cast<std::uint64_t>(info.st_size) > limit) {
        problem = path + ": larger than " + std::to_string(limit >> 20) + " MiB";
    } else {
        return fd;
    }
    ::close(fd);
    errno = 0;
    return -1;
}

// Reads all of a regular file, at most `limit` bytes; false with `problem` set otherwise, and
// errno as open_regular leaves it. What the file was when it was opened goes to `opened`, when
// given.
bool read_regular(const std::string &path, std::uint64_t limit, std::string &content,
                  std::string &problem, struct stat *opened = nullptr)
{
    struct stat info
    {
    };
    const Descriptor fd(open_regular(path, limit, info, problem));
    if (opened)
        *opened = info;
    if (fd.get() < 0)
        return false;
    content.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            problem = path + ": " + error_text(error);
            errno = error;
            return false;
        }
        if (n == 0)
            return true;
        if (content.size() + static_cast<std::size_t>(n) > limit) {
            problem = path + ": grew while it was read";
            errno = 0;
            return false;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

bool write_file(const std::string &path, const std::string &content, mode_t mode)
{
    const Descriptor fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode));
    return fd.get() >= 0 && write_all(fd.get(), content.data(), content.size())
           && ::fchmod(fd.get(), mode) == 0;
}

std::string sha256_hex(const std::string &bytes)
{
    return QCryptographicHash::hash(QByteArray::fromRawData(bytes.data(), int(bytes.size())),
                                    QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

// A name and a content that cannot run into the next ones: their lengths come first.
void add_field(QCryptographicHash &hash, const std::string &field)
{
    const std::string length = std::to_string(field.size()) + ":";
    hash.addData(QByteArray::fromRawData(length.data(), int(length.size())));
    hash.addData(QByteArray::fromRawData(field.data(), int(field.size())));
}

std::string without_trailing_slash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// `path` relative to `root`, or empty when it is not below it.
std::string relative_to(const std::string &root, const std::string &path)
{
    const std::string prefix = without_trailing_slash(root) + "/";
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
        return {};
    const std::string rest = path.substr(prefix.size());
    if (rest.find("/../") != std::string::npos || rest.compare(0, 3, "../") == 0)
        return {};
    return rest;
}

// The file to execute, as the sandbox would find it: a bare name is looked up on the search path.
std::string resolve_program(const std::string &program)
{
    if (program.empty() || program.find('/') != std::string::npos)
        return program;
    const char *path = std::getenv("PATH");
    const std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        if (end > start) {
            const std::string candidate = folders.substr(start, end - start) + "/" + program;
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return program;
}

// Whether the sandbox shows `path`: it shows the system's folders and nothing of anyone's home.
bool in_system_view(const std::string &path)
{
    for (const SystemPath &entry : system_view()) {
        if (path.compare(0, entry.path.size() + 1, entry.path + "/") == 0)
            return true;
    }
    return false;
}

void replace_all(std::string &text, const std::string &from, const std::string &to)
{
    if (from.empty())
        return;
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string first_line(const std::string &text, std::size_t from = 0)
{
    std::string line = text.substr(from, text.find('\n', from) - from);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    if (line.size() > max_line_bytes)
        line = line.substr(0, max_line_bytes) + "...";
    return line;
}

int count_warnings(const std::string &log)
{
    // "file:line:column: warning: ...", "cc1plus: warning: ..."; notes and the lines that show
    // the code do not count.
    int count = 0;
    for (std::size_t start = 0; start < log.size();) {
        const std::size_t end = std::min(log.find('\n', start), log.size());
        const std::size_t at = log.find(": warning: ", start);
        if (at < end || log.compare(start, 9, "warning: ") == 0)
            ++count;
        start = end + 1;
    }
    return count;
}

// The compiler's messages cut to `limit` bytes at a line's end, with a note of what was left.
std::string bounded_log(const std::string &log, std::size_t limit, bool dropped)
{
    if (log.size() <= limit && !dropped)
        return log;
    std::string kept = log.substr(0, std::min(limit, log.size()));
    const std::size_t last = kept.rfind('\n');
    if (kept.size() < log.size() && last != std::string::npos)
        kept.resize(last + 1);
    return kept + "[messages cut here: " + std::to_string(log.size() - kept.size())
           + (dropped ? " bytes and more" : " bytes") + " not kept]\n";
}

std::string seconds(std::chrono::milliseconds time)
{
    return std::to_string((time.count() + 999) / 1000);
}

std::string in_mib(std::uint64_t bytes)
{
    return std::to_string(bytes >> 20);
}

using Problem = BuildResult::Problem;
constexpr int max_problem = static_cast<int>(Problem::SeveralMains);

struct Failure
{
    Problem problem;
    std::vector<std::string> values;
};

// Why a build that the compiler ended with an error failed, in the words of a table: a limit
// the compiler ran into, else its first error.
Failure failure_reason(const std::string &log, const Limits &limits, bool &limited,
                       bool program_bound = false)
{
    limited = true;
    const auto says = [&](const char *words) { return log.find(words) != std::string::npos; };
    if (says("CPU time limit exceeded"))
        return {Problem::CompilerCpu, {std::to_string(limits.cpu_seconds)}};
    if (says("out of memory") || says("memory exhausted") || says("Cannot allocate memory"))
        return {Problem::CompilerMemory, {in_mib(limits.memory_bytes)}};
    if (says("File size limit exceeded") || says("File too large"))
        return {program_bound ? Problem::ProgramTooLarge : Problem::CompilerFile,
                {in_mib(limits.file_bytes)}};
    if (says("Killed signal terminated"))
        return {Problem::CompilerKilled, {}};
    limited = false;
    // The linker's own lines come before its driver's summary ("collect2: error: ld returned 1
    // exit status"), which says nothing of why.
    for (const char *marker : {"undefined reference to", "multiple definition of"}) {
        const std::size_t at = log.find(marker);
        if (at != std::string::npos) {
            const std::size_t start = log.rfind('\n', at);
            return {Problem::CompilerError,
                    {first_line(log, start == std::string::npos ? 0 : start + 1)}};
        }
    }
    for (const char *marker : {" error: ", " fatal error: ", "error: "}) {
        const std::size_t at = log.find(marker);
        if (at != std::string::npos) {
            const std::size_t start = log.rfind('\n', at);
            return {Problem::CompilerError,
                    {first_line(log, start == std::string::npos ? 0 : start + 1)}};
        }
    }
    if (log.empty())
        return {Problem::CompilerSilent, {}};
    return {Problem::CompilerError, {first_line(log)}};
}

// The cache keeps a problem's values on one line each way a student's file name may be spelled.
std::string hex(const std::string &bytes)
{
    return QByteArray::fromStdString(bytes).toHex().toStdString();
}

std::string unhex(const std::string &text)
{
    return QByteArray::fromHex(QByteArray::fromStdString(text)).toStdString();
}

// What tells a file's content from another's without reading it: its device, inode, size and
// times. A file written, cut or replaced in place changes its time of change, which no one can
// set back; one replaced under its name, or a link turned to another file, changes the inode.
std::string file_key(const struct stat &info)
{
    const auto time = [](const timespec &t) {
        return std::to_string(t.tv_sec) + "." + std::to_string(t.tv_nsec);
    };
    return std::to_string(info.st_dev) + " " + std::to_string(info.st_ino) + " "
           + std::to_string(info.st_size) + " " + time(info.st_mtim) + " " + time(info.st_ctim);
}

// The compiler file's path and key; empty when `path` names no regular file.
std::string compiler_file_key(const std::string &path)
{
    struct stat info
    {
    };
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return path + "\n" + file_key(info);
}

// --- The cache: one folder per hash, holding "meta", "log" and, for a built program, "program".

std::atomic<unsigned> temporary_counter{0};
std::mutex trim_mutex;

std::string temporary_name(const std::string &folder, const char *kind)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    return folder + "/." + kind + "-" + std::to_string(::getpid()) + "-"
           + std::to_string(temporary_counter.fetch_add(1)) + "-" + std::to_string(random());
}

bool make_folders(const std::string &path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A cache entry holds files only: removed by renaming it out of the way first, so that nobody
// ever finds half of one under its name.
void remove_entry(const std::string &folder, const std::string &cache)
{
    const std::string trash = temporary_name(cache, "trash");
    const std::string gone = ::rename(folder.c_str(), trash.c_str()) == 0 ? trash : folder;
    if (DIR *dir = ::opendir(gone.c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
        ::closedir(dir);
    }
    ::rmdir(gone.c_str());
}

// Copies `from` to `to` (executable), the bytes hashed on the way, unless `from` is still the
// file whose key is `known` (the key it had when it was hashed): then `sha256` is left empty.
// False when `from` is not a regular file of at most `limit` bytes or the copy fails.
bool copy_program(const std::string &from, const std::string &to, std::uint64_t limit,
                  const std::string &known, std::string &sha256, std::uint64_t &size)
{
    std::string content, problem;
    struct stat info
    {
    };
    if (!read_regular(from, limit, content, problem, &info))
        return false;
    sha256 = !known.empty() && file_key(info) == known ? std::string() : sha256_hex(content);
    size = content.size();
    return write_file(to, content, 0755);
}

struct CacheMeta
{
    std::map<std::string, std::string> fields;
    std::string get(const std::string &key) const
    {
        const auto found = fields.find(key);
        return found == fields.end() ? std::string() : found->second;
    }
};

std::string limits_text(const Limits &limits)
{
    return std::to_string(limits.cpu_seconds) + " " + std::to_string(limits.memory_bytes) + " "
           + std::to_string(limits.file_bytes) + " " + std::to_string(limits.processes);
}

bool read_meta(const std::string &path, CacheMeta &meta)
{
    std::string text, problem;
    if (!read_regular(path, 64 * 1024, text, problem))
        return false;
    std::size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (first) {
            if (line != meta_version)
                return false;
            first = false;
            continue;
        }
        const std::size_t space = line.find(' ');
        if (space != std::string::npos)
            meta.fields[line.substr(0, space)] = line.substr(space + 1);
    }
    return !first;
}

// The cached result of `hash`, its program copied to the build folder and checked against what
// was stored; false when there is none or it does not hold what it should (then it goes).
bool from_cache(const std::string &cache, const std::string &hash, const BuildSettings &settings,
                const std::string &build_dir, BuildResult &result)
{
    const std::string entry = cache + "/" + hash;
    CacheMeta meta;
    if (!read_meta(entry + "/meta", meta))
        return false;
    const std::string status = meta.get("status");
    // A build that ran into a limit is known to fail under the same limits only.
    if (status == "failed" && meta.get("limited") != "0"
        && meta.get("limits") != limits_text(settings.limits))
        return false;
    std::string log, problem;
    // An entry of an older grader holds the sentence of a failure, not its kind: built again.
    const int kind = std::atoi(meta.get("problem").c_str());
    bool good = (status == "built" || (status == "failed" && kind > 0 && kind <= max_problem))
                && read_regular(entry + "/log", settings.log_bytes + 4096, log, problem);
    if (good && status == "built") {
        std::string sha256;
        std::uint64_t size = 0;
        const std::string program = build_dir + "/" + program_name;
        // The stored program is hashed again unless its file is untouched since it was stored.
        good = copy_program(entry + "/" + program_name, program, settings.limits.file_bytes,
                            meta.get("file"), sha256, size)
               && (sha256.empty() || sha256 == meta.get("sha256"))
               && std::to_string(size) == meta.get("size");
        if (good)
            result.program = program;
        else
            ::unlink(program.c_str());
    }
    if (!good) {
        remove_entry(entry, cache);
        return false;
    }
    result.status = status == "built" ? BuildResult::Status::Built : BuildResult::Status::Failed;
    result.problem = static_cast<Problem>(std::atoi(meta.get("problem").c_str()));
    result.values.clear();
    for (std::size_t at = 0; at < meta.get("values").size();) {
        const std::string values = meta.get("values");
        const std::size_t end = std::min(values.find(' ', at), values.size());
        if (end > at)
            result.values.push_back(unhex(values.substr(at, end - at)));
        at = end + 1;
    }
    result.reason = problem_text(result.problem, result.values);
    result.warnings = std::atoi(meta.get("warnings").c_str());
    result.log = log;
    result.from_cache = true;
    // The oldest entries are trimmed first: an entry used now is young again.
    ::utimensat(AT_FDCWD, entry.c_str(), nullptr, 0);
    return true;
}

// Removes the oldest entries until the cache holds at most `bound` bytes, and what a grader
// that was killed while it wrote left behind.
void trim_cache(const std::string &cache, std::uint64_t bound)
{
    const std::lock_guard<std::mutex> lock(trim_mutex);
    struct Entry
    {
        std::string path;
        std::uint64_t bytes;
        std::int64_t time;
    };
    std::vector<Entry> entries;
    std::uint64_t total = 0;
    DIR *dir = ::opendir(cache.c_str());
    if (!dir)
        return;
    const std::int64_t now = ::time(nullptr);
    while (const dirent *item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = cache + "/" + name;
        struct stat info
        {
        };
        if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            continue;
        if (name[0] == '.') {
            if (now - info.st_mtime > 3600)
                remove_entry(path, cache);
            continue;
        }
        Entry entry{path, 0, info.st_mtime};
        for (const char *file : {"meta", "log", program_name}) {
            struct stat part
            {
            };
            if (::lstat((path + "/" + file).c_str(), &part) == 0)
                entry.bytes += static_cast<std::uint64_t>(part.st_size);
        }
        total += entry.bytes;
        entries.push_back(entry);
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.time < b.time; });
    for (const Entry &entry : entries) {
        if (total <= bound)
            break;
        remove_entry(entry.path, cache);
        total -= entry.bytes;
    }
}

// Stores a result under its hash: written in a temporary folder, then renamed into place, so
// that a reader finds a whole entry or none. Another grader that stored the same hash first wins.
void store(const std::string &cache, const BuildResult &result, const BuildSettings &settings,
           bool limited)
{
    if (!make_folders(cache))
        return;
    const std::string temporary = temporary_name(cache, "tmp");
    if (::mkdir(temporary.c_str(), 0700) != 0)
        return;
    std::string meta = std::string(meta_version) + "\nstatus "
                       + (result.status == BuildResult::Status::Built ? "built" : "failed")
                       + "\nwarnings " + std::to_string(result.warnings) + "\nlimited "
                       + (limited ? "1" : "0") + "\nlimits " + limits_text(settings.limits)
                       + "\nproblem " + std::to_string(static_cast<int>(result.problem))
                       + "\nvalues";
    for (const std::string &value : result.values)
        meta += " " + hex(value);
    meta += "\n";
    bool good = true;
    if (result.status == BuildResult::Status::Built) {
        std::string sha256;
        std::uint64_t size = 0;
        const std::string stored = temporary + "/" + program_name;
        struct stat info
        {
        };
        good = copy_program(result.program, stored, settings.limits.file_bytes, {}, sha256, size)
               && ::lstat(stored.c_str(), &info) == 0;
        meta += "sha256 " + sha256 + "\nsize " + std::to_string(size) + "\nfile " + file_key(info)
                + "\n";
    }
    good = good && write_file(temporary + "/log", result.log, 0600)
           && write_file(temporary + "/meta", meta, 0600);
    const std::string entry = cache + "/" + result.hash;
    if (!good || ::rename(temporary.c_str(), entry.c_str()) != 0) {
        remove_entry(temporary, cache);
        return;
    }
    trim_cache(cache, settings.cache_bytes);
}

// When the grader is root the compiler runs as an unprivileged user, who must be able to read
// the sources where they are; a folder unpacked for root alone is the grader's fault, not the
// student's.
std::string unreadable_for_sandbox(const std::string &root, const std::vector<std::string> &files)
{
    const std::string top = without_trailing_slash(root);
    for (const std::string &file : files) {
        struct stat info
        {
        };
        if (::stat(file.c_str(), &info) == 0 && !(info.st_mode & S_IROTH))
            return file;
        for (std::string folder = file.substr(0, file.rfind('/'));
             folder.size() >= top.size() && folder.size() > 1;
             folder = folder.substr(0, folder.rfind('/'))) {
            if (::stat(folder.c_str(), &info) == 0 && !(info.st_mode & S_IXOTH))
                return folder;
        }
    }
    return {};
}

// `path` with "." and ".." folded away, as far as the names alone tell.

// The sources to put on the compiler's command line: all but those another source includes
// (#include "stack.cpp", common with class templates), which would otherwise be defined twice.
// Empty, with `problem` set, when the grader could not read a source for want of its own.
std::vector<std::string> sources_to_compile(const std::vector<std::string> &sources,
                                            std::string &problem)
{
    std::vector<std::string> included;
    for (const std::string &source : sources) {
        std::string content;
        if (!read_regular(source, max_source_bytes, content, problem)) {
            if (grader_error(errno))
                return {};
            continue;
        }
        const std::string folder = source.substr(0, source.rfind('/') + 1);
        for (std::size_t at = content.find("include"); at != std::string::npos;
             at = content.find("include", at + 1)) {
            const std::size_t line = content.rfind('\n', at) + 1; // npos + 1 is 0
            const std::size_t hash = content.find_first_not_of(" \t", line);
            const std::size_t quote = content.find_first_not_of(" \t", at + 7);
            if (hash == std::string::npos || content[hash] != '#'
                || content.find_first_not_of(" \t", hash + 1) != at || quote == std::string::npos
                || content[quote] != '"')
                continue;
            const std::size_t close = content.find_first_of("\"\n", quote + 1);
            if (close != std::string::npos && content[close] == '"')
                included.push_back(
                    lexically_normal(folder + content.substr(quote + 1, close - quote - 1)));
        }
    }
    std::vector<std::string> compiled;
    for (const std::string &source : sources) {
        if (std::find(included.begin(), included.end(), lexically_normal(source)) == included.end())
            compiled.push_back(source);
    }
    // A source that includes itself, or two that include each other: the compiler says so.
    return compiled.empty() ? sources : compiled;
}

// Every entry below the folder open as `dir`, as "<kind> <relative name> <what it holds>" lines
// added to `entries`: a file by its mode and the hash of its bytes, a link by its target (never
// followed), a folder by its mode, anything else by its kind. False, with errno that of the call
// that failed (0 for a bound), when the folder cannot be read whole within the bounds.
bool walk_folder(int dir, const std::string &prefix, int depth, std::uint64_t &bytes,
                 std::vector<std::string> &entries)
{
    DIR *listing = ::fdopendir(dir);
    if (!listing) {
        const int error = errno;
        ::close(dir);
        errno = error;
        return false;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent *item = ::readdir(listing)) {
        if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0)
            names.emplace_back(item->d_name);
        errno = 0;
    }
    bool good = errno == 0;
    const int fd = ::dirfd(listing);
    for (const std::string &name : names) {
        if (!good)
            break;
        const std::string relative = prefix + name;
        struct stat info
        {
        };
        if (entries.size() >= max_hashed_entries
            || ::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            good = false;
            break;
        }
        const std::string mode = std::to_string(info.st_mode & 07777);
        if (S_ISLNK(info.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlinkat(fd, name.c_str(), target, sizeof target);
            good = n >= 0;
            if (good)
                entries.push_back("link " + std::to_string(relative.size()) + ":" + relative + " "
                                  + std::string(target, static_cast<std::size_t>(n)));
        } else if (S_ISDIR(info.st_mode)) {
            entries.push_back("folder " + std::to_string(relative.size()) + ":" + relative + " "
                              + mode);
            const int sub
                = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            good = sub >= 0 && depth < max_hashed_depth;
            if (sub >= 0 && !good)
                ::close(sub);
            good = good && walk_folder(sub, relative + "/", depth + 1, bytes, entries);
        } else if (S_ISREG(info.st_mode)) {
            const Descriptor file(
                ::openat(fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
            QCryptographicHash content(QCryptographicHash::Sha256);
            good = file.get() >= 0;
            char buffer[65536];
            for (ssize_t n = 1; good && n != 0;) {
                n = ::read(file.get(), buffer, sizeof buffer);
                if (n < 0 && errno == EINTR)
                    continue;
                bytes += static_cast<std::uint64_t>(std::max<ssize_t>(n, 0));
                good = n >= 0 && bytes <= max_hashed_bytes;
                if (good)
                    content.addData(QByteArray::fromRawData(buffer, int(n)));
            }
            if (good)
                entries.push_back("file " + std::to_string(relative.size()) + ":" + relative + " "
                                  + mode + " " + content.result().toHex().toStdString());
        } else {
            entries.push_back("other " + std::to_string(relative.size()) + ":" + relative + " "
                              + std::to_string(info.st_mode));
        }
    }
    const int error = good ? 0 : errno;
    ::closedir(listing);
    errno = error;
    return good;
}

// Whether the disk of the build folder still has the room a build's limits allow one file: less
// than that, and a build that failed may have failed for want of it.
bool room_for_build(const std::string &folder, const Limits &limits)
{
    struct statvfs disk
    {
    };
    if (::statvfs(folder.c_str(), &disk) != 0)
        return false;
    const std::uint64_t free = std::uint64_t(disk.f_bavail) * disk.f_frsize;
    const std::uint64_t needed = limits.file_bytes ? limits.file_bytes : std::uint64_t(1) << 30;
    return free >= needed && disk.f_favail > 16;
}

// Ways a source keeps the sanitizers from seeing its faults, or tells whether they watch.
const char *const evasion_markers[] = {"no_sanitize",
                                       "no_address_safety_analysis",
                                       "no-sanitize",
                                       "__asan_",
                                       "__lsan_",
                                       "__ubsan_",
                                       "__sanitizer_",
                                       "address_sanitizer",
                                       "undefined_behavior_sanitizer",
                                       "__SANITIZE_ADDRESS__",
                                       "ASAN_OPTIONS",
                                       "LSAN_OPTIONS",
                                       "UBSAN_OPTIONS"};

bool evasive(const std::string &code)
{
    for (const char *marker : evasion_markers) {
        if (code.find(marker) != std::string::npos)
            return true;
    }
    return false;
}

// A source without its comments and the contents of its string and character literals: what
// is left is the code, where a definition of main or nothing at all can be seen.
std::string code_of(const std::string &text)
{
    std::string code;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "//") == 0) {
            i = std::min(text.find('\n', i), text.size()) - 1;
            code += ' ';
        } else if (text.compare(i, 2, "/*") == 0) {
            const std::size_t end = text.find("*/", i + 2);
            i = end == std::string::npos ? text.size() : end + 1;
            code += ' ';
        } else if (text[i] == '"' || text[i] == '\'') {
            const char quote = text[i];
            code += quote;
            for (++i; i < text.size() && text[i] != quote && text[i] != '\n'; ++i)
                if (text[i] == '\\')
                    ++i;
            code += quote;
        } else {
            code += text[i];
        }
    }
    return code;
}

bool defines_main(const std::string &code)
{
    for (std::size_t at = code.find("main"); at != std::string::npos;
         at = code.find("main", at + 4)) {
        const auto word = [&](std::size_t i) {
            return std::isalnum(static_cast<unsigned char>(code[i])) || code[i] == '_';
        };
        if ((at > 0 && word(at - 1)) || (at + 4 < code.size() && word(at + 4)))
            continue;
        const std::size_t paren = code.find_first_not_of(" \t\r\n", at + 4);
        std::size_t type_end = at;
        while (type_end > 0 && std::isspace(static_cast<unsigned char>(code[type_end - 1])))
            --type_end;
        std::size_t type_begin = type_end;
        while (type_begin > 0 && word(type_begin - 1))
            --type_begin;
        const std::string type = code.substr(type_begin, type_end - type_begin);
        if (paren == std::string::npos || code[paren] != '(' || type_end == at
            || (type != "int" && type != "auto" && type != "void" && type != "signed"))
            continue;
        // A definition, not a declaration: its body follows the parameters (a trailing return
        // type may stand between).
        const std::size_t close = code.find(')', paren);
        const std::size_t next
            = code.find_first_of("{;", close == std::string::npos ? paren : close);
        if (next != std::string::npos && code[next] == '{')
            return true;
    }
    return false;
}

// How the compiler is started in the build folder, with `flags` and every folder of a header
// searched for quoted includes; the files and what to make of them follow.
std::vector<std::string> compiler_arguments(const BuildSettings &settings,
                                            const std::string &folder,
                                            const std::vector<std::string> &flags,
                                            const std::vector<std::string> &headers)
{
    // The compiler keeps its temporary files in the build folder, which is the program's user's
    // whether or not the sandbox's /tmp is, and bounded by the same limits.
    std::vector<std::string> argv{"/usr/bin/env", "TMPDIR=" + folder,
                                  resolve_program(settings.compiler)};
    argv.insert(argv.end(), flags.begin(), flags.end());
    std::vector<std::string> include_folders;
    for (const std::string &header : headers) {
        const std::string header_folder = header.substr(0, header.rfind('/'));
        if (std::find(include_folders.begin(), include_folders.end(), header_folder)
            == include_folders.end()) {
            include_folders.push_back(header_folder);
            argv.insert(argv.end(), {"-iquote", header_folder});
        }
    }
    return argv;
}

// What the files to compile say before any compiler sees them: nothing but blanks and comments
// in every one (Empty), or main defined in more than one (SeveralPrograms: typically a late
// resubmission beside the first), each of which the compiler would report as a linker's riddle.
// Built otherwise; NotBuilt when the grader could not read a file.
BuildResult::Status hand_in_problem(const std::string &root, const std::vector<std::string> &files,
                                    std::string &reason, std::vector<std::string> &names)
{
    std::vector<std::string> empty, mains;
    for (const std::string &file : files) {
        std::string content;
        if (!read_regular(file, max_source_bytes, content, reason))
            return grader_error(errno) ? BuildResult::Status::NotBuilt : BuildResult::Status::Built;
        const std::string code = code_of(content);
        const std::string name = relative_to(root, file);
        if (code.find_first_not_of(" \t\r\n\f\v") == std::string::npos)
            empty.push_back(name);
        else if (defines_main(code))
            mains.push_back(name);
    }
    if (empty.size() == files.size()) {
        names = empty;
        return BuildResult::Status::Empty;
    }
    if (mains.size() > 1) {
        names = mains;
        return BuildResult::Status::SeveralPrograms;
    }
    return BuildResult::Status::Built;
}

BuildResult not_built(BuildResult result, std::string reason)
{
    result.status = BuildResult::Status::NotBuilt;
    result.reason = std::move(reason);
    return result;
}

BuildResult failed(BuildResult result, Failure failure)
{
    result.status = BuildResult::Status::Failed;
    result.problem = failure.problem;
    result.values = std::move(failure.values);
    result.reason = problem_text(result.problem, result.values);
    return result;
}

} // namespace

std::string problem_text(BuildResult::Problem problem, const std::vector<std::string> &values)
{
    const std::string first = values.empty() ? std::string() : values.front();
    std::string names;
    for (const std::string &name : values)
        names += (names.empty() ? "" : ", ") + name;
    switch (problem) {
    case Problem::None:
        return {};
    case Problem::CompilerError:
    case Problem::Unreadable:
        return "does not compile: " + first;
    case Problem::NoSource:
        return "does not compile: no C++ source";
    case Problem::BuildTimeout:
        return "does not compile: the build took longer than " + first + " s";
    case Problem::CompilerCpu:
        return "does not compile: the compiler used more than " + first + " s of CPU time";
    case Problem::CompilerMemory:
        return "does not compile: the compiler needed more than " + first + " MiB of memory";
    case Problem::CompilerFile:
        return "does not compile: the compiler wrote a file larger than " + first + " MiB";
    case Problem::ProgramTooLarge:
        return "does not compile: the program is larger than " + first + " MiB";
    case Problem::CompilerKilled:
        return "does not compile: the compiler was killed at a limit of CPU time or memory";
    case Problem::CompilerSignal:
        return "does not compile: the compiler ended by signal " + first;
    case Problem::CompilerSilent:
        return "does not compile: the compiler failed without a message";
    case Problem::Empty:
        return names + (values.size() == 1 ? " is empty" : " are empty");
    case Problem::SeveralMains:
        return std::to_string(values.size()) + " files define main: " + names;
    }
    return {};
}

std::string source_hash(const std::string &root, const std::vector<std::string> &sources,
                        const std::vector<std::string> &headers,
                        const std::string &compiler_identity, const std::vector<std::string> &flags,
                        std::string *problem, bool *grader_failure)
{
    std::string why;
    // Each file by its relative name and the hash of its content, sources apart from headers,
    // in the order of the names: the order the caller found them in does not count.
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto *group : {&sources, &headers}) {
        const std::string kind = group == &sources ? "source " : "header ";
        for (const std::string &path : *group) {
            const std::string relative = relative_to(root, path);
            std::string content;
            errno = 0;
            if (relative.empty()) {
                why = path + ": not below " + root;
            } else if (read_regular(path, max_source_bytes, content, why)) {
                files.emplace_back(kind + relative, sha256_hex(content));
                continue;
            }
            if (grader_failure)
                *grader_failure = grader_error(errno);
            if (problem)
                *problem = why;
            return {};
        }
    }
    // Then everything else the build can see of the folder, which the sandbox shows whole.
    std::vector<std::string> entries;
    std::uint64_t bytes = 0;
    errno = 0;
    const int top = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (top < 0 || !walk_folder(top, "", 0, bytes, entries)) {
        if (grader_failure)
            *grader_failure = grader_error(errno);
        if (problem)
            *problem = grader_error(errno) ? root + ": " + error_text(errno) : std::string();
        return {};
    }
    std::sort(files.begin(), files.end());
    std::sort(entries.begin(), entries.end());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    add_field(hash, meta_version);
    add_field(hash, std::to_string(files.size()));
    for (const auto &file : files) {
        add_field(hash, file.first);
        add_field(hash, file.second);
    }
    add_field(hash, std::to_string(entries.size()));
    for (const std::string &entry : entries)
        add_field(hash, entry);
    add_field(hash, compiler_identity);
    add_field(hash, std::to_string(flags.size()));
    for (const std::string &flag : flags)
        add_field(hash, flag);
    return hash.result().toHex().toStdString();
}

std::string compiler_identity(const std::string &compiler, const std::string &cache)
{
    // Without a cache the identity is kept for the life of the process, under the same key.
    static std::mutex mutex;
    static std::map<std::string, std::string> known;
    const std::string program = resolve_program(compiler);
    const std::string key = compiler_file_key(program);
    const std::string kept_as = key.empty() ? compiler : key;
    const std::string saved = cache.empty() || key.empty()
                                  ? std::string()
                                  : without_trailing_slash(cache) + identities_suffix + "/"
                                        + sha256_hex(std::string(identity_version) + "\n" + key);
    if (saved.empty()) {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto found = known.find(kept_as);
        if (found != known.end())
            return found->second;
    } else {
        std::string text, problem;
        if (read_regular(saved, 4096, text, problem) && !first_line(text).empty())
            return first_line(text);
    }
    // The teacher's own compiler: run as it is, outside the sandbox.
    Sandbox bare;
    bare.enabled = false;
    Limits limits;
    limits.output_bytes = 64 * 1024;
    limits.wall = std::chrono::seconds(30);
    const ChildRun run = run_child({{program, "--version"}, "/", {}, {}}, limits, bare);
    if (run.end != ChildRun::End::Exited || run.exit_code != 0 || run.output.empty())
        return {};
    const std::string identity = first_line(run.output);
    if (!saved.empty()) {
        // Written whole and renamed into place: a reader finds the identity or nothing.
        const std::string folder = saved.substr(0, saved.rfind('/'));
        const std::string temporary = temporary_name(folder, "tmp");
        if (!make_folders(folder) || !write_file(temporary, identity + "\n", 0600)
            || ::rename(temporary.c_str(), saved.c_str()) != 0)
            ::unlink(temporary.c_str());
        return identity;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    known[kept_as] = identity;
    return identity;
}

std::string build_cache_folder(const BuildSettings &settings)
{
    if (!settings.use_cache)
        return {};
    return settings.cache.empty() ? default_cache_folder() : without_trailing_slash(settings.cache);
}

std::string default_cache_folder()
{
    const char *cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return without_trailing_slash(cache) + "/orvimet/builds";
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/')
        return without_trailing_slash(home) + "/.cache/orvimet/builds";
    return {};
}

std::vector<std::string> with_error_output(const std::vector<std::string> &argv)
{
    // The arguments reach the program as the shell's positional parameters, never parsed.
    std::vector<std::string> command{"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1"};
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

BuildResult build_program(const BuildSettings &settings, const std::string &root,
                          const std::vector<std::string> &sources,
                          const std::vector<std::string> &headers, const std::string &build_dir,
                          const std::vector<std::string> &extra_flags)
{
    BuildResult result;
    const std::string folder = without_trailing_slash(build_dir);
    if (root.empty() || root[0] != '/' || folder.empty() || folder[0] != '/')
        return not_built(result, "the student's and the build's folders must be absolute");
    if (sources.empty())
        return failed(result, {Problem::NoSource, {}});
    const std::string compiler = resolve_program(settings.compiler);
    if (settings.sandbox.enabled && !in_system_view(compiler))
        return not_built(result, "the compiler " + compiler
                                     + " is not in the system folders the sandbox shows");
    const std::string cache = build_cache_folder(settings);
    const std::string identity = compiler_identity(settings.compiler, cache);
    if (identity.empty())
        return not_built(result, "cannot run the compiler " + settings.compiler);

    std::vector<std::string> flags = settings.flags;
    flags.insert(flags.end(), extra_flags.begin(), extra_flags.end());
    std::string problem;
    for (const auto *group : {&sources, &headers}) {
        for (const std::string &path : *group) {
            if (relative_to(root, path).empty())
                return not_built(result, path + " is not in the student's folder " + root);
        }
    }
    bool grader_failure = false;
    // The limits a build ran under decide whether it failed: they are part of its inputs.
    std::vector<std::string> keyed = flags;
    keyed.push_back("limits " + limits_text(settings.limits) + " " + seconds(settings.wall) + " s "
                    + std::to_string(settings.program_bytes));
    result.hash = source_hash(root, sources, headers, identity, keyed, &problem, &grader_failure);
    // A folder too large to be read whole for its key is built without the cache.
    const bool cached = !result.hash.empty() && !cache.empty();
    if (result.hash.empty() && !problem.empty()) {
        // A source the grader could not read for want of descriptors or memory is no fault of
        // the student's.
        if (grader_failure)
            return not_built(result, "cannot read " + problem);
        std::string shown = problem;
        replace_all(shown, without_trailing_slash(root) + "/", "");
        return failed(result, {Problem::Unreadable, {shown}});
    }

    {
        std::string reason;
        std::vector<std::string> names;
        const std::vector<std::string> compiled = sources_to_compile(sources, problem);
        if (compiled.empty())
            return not_built(result, "cannot read " + problem);
        const BuildResult::Status status = hand_in_problem(root, compiled, reason, names);
        if (status == BuildResult::Status::NotBuilt)
            return not_built(result, "cannot read " + reason);
        if (status != BuildResult::Status::Built) {
            result.status = status;
            result.problem
                = status == BuildResult::Status::Empty ? Problem::Empty : Problem::SeveralMains;
            result.values = std::move(names);
            result.reason = problem_text(result.problem, result.values);
            return result;
        }
    }

    if (cached && from_cache(cache, result.hash, settings, folder, result))
        return result;

    if (settings.sandbox.enabled && ::geteuid() == 0) {
        std::vector<std::string> files = sources;
        files.insert(files.end(), headers.begin(), headers.end());
        const std::string unreadable = unreadable_for_sandbox(root, files);
        if (!unreadable.empty())
            return not_built(result, unreadable + " cannot be read by the sandbox's user");
    }

    std::vector<std::string> argv = compiler_arguments(settings, folder, flags, headers);
    const std::vector<std::string> compiled = sources_to_compile(sources, problem);
    if (compiled.empty())
        return not_built(result, "cannot read " + problem);
    argv.insert(argv.end(), compiled.begin(), compiled.end());
    const std::string program = folder + "/" + program_name;
    argv.insert(argv.end(), {"-o", program});

    Limits limits = settings.limits;
    limits.output_bytes = std::max(settings.limits.output_bytes, settings.log_bytes);
    limits.wall = settings.wall;
    // The program is one of the build's files: a bound on it bounds them all, and the scratch
    // folder and the cache with them.
    const bool program_bound
        = settings.program_bytes > 0 && settings.program_bytes < limits.file_bytes;
    if (program_bound)
        limits.file_bytes = settings.program_bytes;
    const ChildRun run
        = run_child({with_error_output(argv), folder, {without_trailing_slash(root)}, {}, 0, true},
                    limits, settings.sandbox);

    // The messages name the files as the student does, not where the grader unpacked them.
    std::string log = run.output;
    replace_all(log, without_trailing_slash(root) + "/", "");
    replace_all(log, folder + "/", "");
    result.warnings = count_warnings(log);
    result.log = bounded_log(log, settings.log_bytes, run.truncated);

    bool limited = false;
    switch (run.end) {
    case ChildRun::End::NotGraded:
        return not_built(result, run.failure);
    case ChildRun::End::FailedToStart:
        return not_built(result, "cannot start the shell that runs the compiler");
    case ChildRun::End::TimedOut:
        // Not cached: a busy machine may be the cause.
        return failed(result, {Problem::BuildTimeout, {seconds(settings.wall)}});
    case ChildRun::End::Crashed:
        // The compiler's driver itself met a limit, or crashed.
        if (run.signal == SIGXCPU || run.signal == SIGXFSZ || run.signal == SIGKILL) {
            result = failed(result,
                            failure_reason(run.signal == SIGXCPU   ? "CPU time limit exceeded"
                                           : run.signal == SIGXFSZ ? "File size limit exceeded"
                                                                   : "Killed signal terminated",
                                           limits, limited, program_bound));
        } else {
            result = failed(result, {Problem::CompilerSignal, {std::to_string(run.signal)}});
        }
        break;
    case ChildRun::End::Exited:
        // The compiler itself never ends so; env does when it cannot find the compiler.
        if (run.exit_code == 127)
            return not_built(result, "the sandbox has no compiler " + compiler);
        // A full disk is the grader's; whether it is full is asked of the disk, never of the
        // compiler's messages, which a source chooses (#error No space left on device).
        if (run.exit_code != 0 && !room_for_build(folder, limits))
            return not_built(result, "no space left on the grader's disk for the build");
        if (run.exit_code != 0) {
            result = failed(result, failure_reason(log, limits, limited, program_bound));
            break;
        }
        {
            struct stat info
            {
            };
            if (::lstat(program.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
                return not_built(result, "the compiler made no program");
            if (settings.program_bytes > 0
                && static_cast<std::uint64_t>(info.st_size) > settings.program_bytes) {
                ::unlink(program.c_str());
                limited = true;
                result
                    = failed(result, {Problem::ProgramTooLarge, {in_mib(settings.program_bytes)}});
                break;
            }
        }
        result.status = BuildResult::Status::Built;
        result.program = program;
        break;
    }
    if (cached)
        store(cache, result, settings, limited);
    return result;
}

std::string sanitizer_evasion(const std::vector<std::string> &files)
{
    for (const std::string &file : files) {
        std::string content, problem;
        if (!read_regular(file, max_source_bytes, content, problem))
            continue;
        const std::string name = file.substr(file.rfind('/') + 1);
        int number = 0;
        for (std::size_t start = 0; start < content.size();) {
            // A line ends where the compiler ends it: a backslash before the newline joins the
            // next one to it.
            std::string line;
            const int first = number + 1;
            for (;;) {
                const std::size_t end = std::min(content.find('\n', start), content.size());
                line += content.substr(start, end - start);
                start = end + 1;
                ++number;
                if (line.empty() || line.back() != '\\' || start >= content.size())
                    break;
                line.pop_back();
            }
            if (evasive(line.substr(0, line.find("//")))) {
                line.erase(0, line.find_first_not_of(" \t"));
                return name + ":" + std::to_string(first) + ": " + first_line(line);
            }
        }
    }
    return {};
}

std::string preprocessed_evasion(const BuildSettings &settings, const std::string &root,
                                 const std::vector<std::string> &sources,
                                 const std::vector<std::string> &headers,
                                 const std::string &build_dir,
                                 const std::vector<std::string> &extra_flags)
{
    const std::string folder = without_trailing_slash(build_dir);
    const std::string top = without_trailing_slash(root) + "/";
    std::string problem;
    const std::vector<std::string> compiled = sources_to_compile(sources, problem);
    std::vector<std::string> flags = settings.flags;
    flags.insert(flags.end(), extra_flags.begin(), extra_flags.end());
    Limits limits = settings.limits;
    limits.wall = settings.wall;
    // The preprocessed text is read whole: bounded as a program is.
    if (settings.program_bytes > 0)
        limits.file_bytes = std::min(limits.file_bytes, settings.program_bytes);
    const std::string text = folder + "/preprocessed.ii";
    std::set<std::string> included;
    for (const std::string &source : compiled) {
        std::vector<std::string> argv = compiler_arguments(settings, folder, flags, headers);
        argv.insert(argv.end(), {"-E", source, "-o", text});
        ::unlink(text.c_str());
        const ChildRun run = run_child(
            {with_error_output(argv), folder, {without_trailing_slash(root)}, {}, 0, true}, limits,
            settings.sandbox);
        std::string content;
        if (run.end != ChildRun::End::Exited
            || !read_regular(text, limits.file_bytes, content, problem))
            continue;
        // Line markers ("# 12 \"/path/queue.tpp\" 2") say whose text follows: the student's
        // files count, the system's headers do not.
        std::string file;
        long number = 0;
        for (std::size_t start = 0; start < content.size();) {
            const std::size_t end = std::min(content.find('\n', start), content.size());
            std::string line = content.substr(start, end - start);
            start = end + 1;
            if (line.compare(0, 2, "# ") == 0 && line.size() > 2
                && std::isdigit(static_cast<unsigned char>(line[2]))) {
                number = std::atol(line.c_str() + 2);
                const std::size_t open = line.find('"');
                const std::size_t close = line.rfind('"');
                file = open < close ? line.substr(open + 1, close - open - 1) : std::string();
                if (file.compare(0, top.size(), top) == 0)
                    included.insert(file);
                continue;
            }
            ++number;
            if (file.compare(0, top.size(), top) != 0 || !evasive(line))
                continue;
            line.erase(0, line.find_first_not_of(" \t"));
            return file.substr(top.size()) + ":" + std::to_string(number - 1) + ": "
                   + first_line(line);
        }
    }
    // Preprocessing takes away the tests of whether a sanitizer is on (#ifdef
    // __SANITIZE_ADDRESS__): the raw lines of every file of the student's that was included,
    // whatever its name, are looked through as well.
    return sanitizer_evasion(std::vector<std::string>(included.begin(), included.end()));
}

std::string sanitizer_finding(const std::string &stderr_text)
{
    for (std::size_t start = 0; start < stderr_text.size();) {
        const std::size_t end = std::min(stderr_text.find('\n', start), stderr_text.size());
        const std::string line = stderr_text.substr(start, end - start);
        start = end + 1;
        for (const char *marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                                   "ERROR: UndefinedBehaviorSanitizer"}) {
            const std::size_t at = line.find(marker);
            if (at != std::string::npos)
                return first_line(line, at);
        }
        const std::size_t runtime = line.find(": runtime error: ");
        if (runtime != std::string::npos) {
            // "/path/of/queue.cpp:12:5: runtime error: ...": the file by its name alone.
            const std::size_t colon = line.find(':');
            const std::size_t slash = line.rfind('/', colon);
            return first_line(line, slash == std::string::npos || slash > runtime ? 0 : slash + 1);
        }
    }
    return {};
}
