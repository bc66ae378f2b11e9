#include "intake/intake.h"

#include "intake/unpack.h"
#include "sandbox/fileio.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string file_plugin = "_assignsubmission_file";
const std::string any_plugin = "_assignsubmission_";
const std::string windows_message = "a Windows program: hand in the sources";
const std::string nothing_message = "nothing handed in";

// Deeper than any project a student hands in; the walk stops there.
constexpr int max_walk_depth = 32;

enum class Type { Folder, File, Other };

struct Entry
{
    std::string name;
    Type type;
};

bool ends_with(const std::string &text, const std::string &suffix)
{
    return text.size() >= suffix.size()
           && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// What no student hands in on purpose: hidden files, the resource forks macOS adds to its zips,
// the thumbnails and settings Windows leaves in folders. The course website ignores names that
// start with "." or "~" as well.
bool is_clutter(const std::string &name)
{
    const std::string lower = ascii_lower(name);
    return name.empty() || name[0] == '.' || name[0] == '~' || lower == "__macosx"
           || lower == "thumbs.db" || lower == "desktop.ini";
}

// Folders that hold what an IDE or a build made, never what the student wrote: a CMake build
// folder holds CMakeCXXCompilerId.cpp, a Visual Studio one copies of headers.
bool is_build_output(const std::string &name)
{
    static const char *const names[] = {"debug", "release", "x64", "x86",        "win32", "build",
                                        "out",   "bin",     "obj", "cmakefiles", "ipch"};
    const std::string lower = ascii_lower(name);
    if (lower.rfind("cmake-build-", 0) == 0)
        return true;
    return std::find_if(std::begin(names), std::end(names),
                        [&](const char *n) { return lower == n; })
           != std::end(names);
}

// A C++ source by its name's ending, as Windows tells them: alike in any case.
bool is_source_name(const std::string &name)
{
    const std::string lower = ascii_lower(name);
    return ends_with(lower, ".cpp") || ends_with(lower, ".cc") || ends_with(lower, ".cxx");
}

// The entries of an open folder, as they are (a link is Other, never what it points to).
std::vector<Entry> list_folder(int fd)
{
    std::vector<Entry> entries;
    Descriptor own(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    DIR *dir = own.get() < 0 ? nullptr : ::fdopendir(own.get());
    if (!dir)
        return entries;
    own.release(); // closedir closes it
    while (const dirent *e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st = {};
        Type type = Type::Other;
        if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            type = S_ISDIR(st.st_mode)   ? Type::Folder
                   : S_ISREG(st.st_mode) ? Type::File
                                         : Type::Other;
        entries.push_back({name, type});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.name < b.name; });
    return entries;
}

Descriptor open_folder(int at, const std::string &name)
{
    return Descriptor(::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

std::vector<Entry> list_folder(const std::string &path)
{
    const Descriptor fd = open_folder(AT_FDCWD, path);
    return fd.get() < 0 ? std::vector<Entry>() : list_folder(fd.get());
}

std::vector<Entry> visible(std::vector<Entry> entries)
{
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const Entry &e) { return is_clutter(e.name); }),
                  entries.end());
    return entries;
}

bool split_name_and_id(const std::string &text, std::string &full_name, std::string &id)
{
    const std::size_t underscore = text.rfind('_');
    if (underscore == std::string::npos || underscore == 0 || underscore + 1 == text.size())
        return false;
    const std::string digits = text.substr(underscore + 1);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    full_name = text.substr(0, underscore);
    id = digits;
    return true;
}

// The old layout's flat file "<Full name>_<id>_assignsubmission_file_<file name>": the
// student's folder name as the new layout would give it, and the file's own name.
bool parse_course_file(const std::string &name, std::string &folder, std::string &file)
{
    const std::string mark = file_plugin + "_";
    const std::size_t at = name.find(mark);
    std::string full_name, id;
    if (at == std::string::npos || !split_name_and_id(name.substr(0, at), full_name, id))
        return false;
    folder = name.substr(0, at + mark.size());
    file = name.substr(at + mark.size());
    return !file.empty() && file != "." && file != "..";
}

bool is_course_entry(const Entry &e)
{
    std::string a, b;
    return e.type == Type::Folder ? parse_course_folder(e.name, a, b)
                                  : parse_course_file(e.name, a, b);
}

struct Magic
{
    bool elf = false;
    bool pe = false;
};

// A Linux program starts with ELF's magic; a Windows one with "MZ" and, where the DOS header
// points, "PE\0\0".
Magic read_magic(int folder, const char *name)
{
    Magic magic;
    const Descriptor file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const int fd = file.get();
    if (fd < 0)
        return magic;
    struct stat st = {};
    unsigned char head[64] = {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::pread(fd, head, 64, 0) == 64) {
        magic.elf = std::memcmp(head,
                                "\x7f"
                                "ELF",
                                4)
                    == 0;
        if (head[0] == 'M' && head[1] == 'Z') {
            const std::uint32_t at
                = head[0x3c] | head[0x3d] << 8 | head[0x3e] << 16 | std::uint32_t(head[0x3f]) << 24;
            char pe[4] = {};
            magic.pe = at < static_cast<std::uint64_t>(st.st_size) && ::pread(fd, pe, 4, at) == 4
                       && std::memcmp(pe, "PE\0\0", 4) == 0;
        }
    }
    return magic;
}

struct Found
{
    std::vector<std::string> sources, headers;
    std::vector<std::pair<int, std::string>> linux_programs; // by depth, for the shallowest
    std::vector<std::pair<int, std::string>> windows_programs;
    bool archives = false;
};

class Walk
{
public:
    Walk(const std::string &program_name, std::uint64_t max_files)
        : program_(ascii_lower(program_name))
        , files_left_(max_files)
    {}

    // Walks below the open folder `fd` at `path`, following no link; sources in build output
    // folders are not the student's, programs there are.
    void walk(int fd, const std::string &path, int depth, bool in_build_output, Found &found)
    {
        for (const Entry &e : visible(list_folder(fd))) {
            const std::string full = path + "/" + e.name;
            if (e.type == Type::Folder && depth < max_walk_depth) {
                const Descriptor sub = open_folder(fd, e.name);
                if (sub.get() < 0)
                    continue;
                walk(sub.get(), full, depth + 1, in_build_output || is_build_output(e.name), found);
            } else if (e.type == Type::File && files_left_ > 0) {
                --files_left_;
                take_file(fd, e.name, full, depth, in_build_output, found);
            }
        }
    }

private:
    void take_file(int fd, const std::string &name, const std::string &full, int depth,
                   bool in_build_output, Found &found)
    {
        const std::string lower = ascii_lower(name);
        const std::size_t dot = lower.rfind('.');
        const std::string suffix = dot == std::string::npos ? "" : lower.substr(dot);
        if (!in_build_output && is_source_name(lower))
            found.sources.push_back(full);
        else if (!in_build_output
                 && (suffix == ".h" || suffix == ".hpp" || suffix == ".hh" || suffix == ".hxx"))
            found.headers.push_back(full);
        else if (has_archive_suffix(name))
            found.archives = true;
        const bool named = lower == program_ || lower == program_ + ".exe";
        if (!named && suffix != ".exe")
            return;
        const Magic magic = read_magic(fd, name.c_str());
        if (magic.elf && named)
            found.linux_programs.emplace_back(depth, full);
        // A Windows program under any name says what the student meant to hand in; one named
        // for the exercise is the one to show.
        if (magic.pe)
            found.windows_programs.emplace_back(named ? depth : depth + max_walk_depth, full);
    }

    std::string program_;
    std::uint64_t files_left_;
};

void classify(Submission &s, const std::string &program_name, const IntakeLimits &limits,
              bool unpacked)
{
    Found found;
    const Descriptor fd = open_folder(AT_FDCWD, s.path);
    if (fd.get() >= 0)
        Walk(program_name, limits.entries).walk(fd.get(), s.path, 0, false, found);
    std::sort(found.sources.begin(), found.sources.end());
    std::sort(found.headers.begin(), found.headers.end());
    std::sort(found.linux_programs.begin(), found.linux_programs.end());
    std::sort(found.windows_programs.begin(), found.windows_programs.end());
    if (!found.sources.empty()) {
        s.kind = SubmissionKind::Sources;
        s.sources = std::move(found.sources);
        s.headers = std::move(found.headers);
    } else if (!found.linux_programs.empty()) {
        s.kind = SubmissionKind::LinuxProgram;
        s.program = found.linux_programs.front().second;
    } else if (!found.windows_programs.empty()) {
        s.kind = SubmissionKind::WindowsProgram;
        s.program = found.windows_programs.front().second;
        s.message = windows_message;
        s.problem = SubmissionProblem::WindowsProgram;
    } else {
        s.kind = SubmissionKind::Nothing;
        s.message = nothing_message;
        s.problem = SubmissionProblem::Nothing;
        if (found.archives) {
            s.message += unpacked ? " (an archive inside an archive is not unpacked)"
                                  : " (only one archive of a folder without sources is unpacked)";
            s.problem = unpacked ? SubmissionProblem::NestedArchive : SubmissionProblem::OneArchive;
        }
    }
}

std::string absolute(const std::string &path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

bool make_folder(const std::string &path, std::string &error)
{
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
        return true;
    error = "cannot make " + path + ": " + std::strerror(errno);
    return false;
}

// A refusal's kind and values kept beside the message, after the archive's name (empty for none).
void refused(Submission &s, const std::string &archive, const UnpackResult &r)
{
    s.problem = r.refusal == Refusal::None ? SubmissionProblem::None : SubmissionProblem::Refused;
    s.refusal = r.refusal;
    s.skipped.clear(); // the message has no notes
    s.skipped_more = 0;
    s.values = {archive};
    s.values.insert(s.values.end(), r.values.begin(), r.values.end());
}

// Copies one of the old layout's flat files into the student's own folder, so that a build
// sees that student's files alone. Nothing is followed: the class folder is hostile as well.
UnpackResult copy_file(const std::string &from, const std::string &to, std::uint64_t limit)
{
    // A program handed in flat keeps its execute bits (the copy reads through no link, whatever
    // this finds).
    struct stat st = {};
    const bool executable = ::lstat(from.c_str(), &st) == 0 && (st.st_mode & 0111) != 0;
    switch (copy_file_bounded(from, to, limit, executable ? 0755 : 0644)) {
    case CopyResult::Copied:
        return {};
    case CopyResult::Unreadable:
    case CopyResult::NotARegularFile:
        return {UnpackResult::Failed, "cannot read " + from};
    case CopyResult::TooLarge:
        return {Refusal::FileTooLarge,
                {std::to_string(limit >> 20) + " MiB", from.substr(from.rfind('/') + 1)}};
    case CopyResult::Failed:
        break;
    }
    return {UnpackResult::Failed, "cannot copy " + from + ": " + std::strerror(errno)};
}

struct Student
{
    Submission submission;
    std::vector<std::string> flat_files; // the old layout: the files' paths in the class folder
};

class Taker
{
public:
    Taker(const std::string &unpack_root, const std::string &program_name,
          const IntakeLimits &limits)
        : unpack_root_(absolute(unpack_root))
        , program_(program_name)
        , limits_(limits)
    {}

    Intake run(const std::string &submissions)
    {
        Intake intake;
        struct stat st = {};
        if (::stat(submissions.c_str(), &st) != 0) {
            intake.error = "cannot read " + submissions + ": " + std::strerror(errno);
            return intake;
        }
        std::string root;
        bool from_archive = false;
        if (S_ISDIR(st.st_mode)) {
            root = absolute(submissions);
        } else if (S_ISREG(st.st_mode)) {
            root = unpack_root_ + "/class";
            from_archive = true;
            // What one student's entries break is that student's: only the archive's size, its
            // count of entries and a ratio past any one student's bound are the class's.
            UnpackBounds bounds{limits_.class_entries, limits_.class_unpacked_bytes,
                                limits_.file_bytes, limits_.ratio};
            bounds.skip_entries = true;
            bounds.ratio_from = limits_.unpacked_bytes;
            UnpackResult r = unpack_archive(submissions, root, bounds);
            class_root_ = root;
            class_files_ = std::move(r.files);
            std::sort(class_files_.begin(), class_files_.end(),
                      [](const UnpackResult::File &a, const UnpackResult::File &b) {
                          return a.path < b.path;
                      });
            if (r.outcome != UnpackResult::Unpacked) {
                intake.error = r.outcome == UnpackResult::Refused
                                   ? "the class's archive is refused: " + r.message
                                   : r.message;
                return intake;
            }
        } else {
            intake.error = submissions + " is neither a folder nor an archive";
            return intake;
        }
        root = unwrap(root, from_archive);
        collect(root, intake);
        if (students_.empty()) {
            intake.error = "no student's folder in " + submissions;
            return intake;
        }
        for (Student &student : students_) {
            take(student);
            if (!error_.empty()) {
                intake.error = error_;
                return intake;
            }
            intake.students.push_back(std::move(student.submission));
        }
        std::sort(intake.students.begin(), intake.students.end(),
                  [](const Submission &a, const Submission &b) {
                      return std::tie(a.full_name, a.id, a.folder)
                             < std::tie(b.full_name, b.id, b.folder);
                  });
        intake.from_course_website
            = !intake.students.empty()
              && std::all_of(intake.students.begin(), intake.students.end(),
                             [](const Submission &s) { return !s.id.empty(); });
        return intake;
    }

private:
    // An archive of a class folder, as zipping a folder makes it, holds that folder alone; a
    // folder may wrap a download of the course website the same way.
    static std::string unwrap(const std::string &root, bool from_archive)
    {
        const std::vector<Entry> top = visible(list_folder(root));
        if (top.size() != 1 || top[0].type != Type::Folder || is_course_entry(top[0]))
            return root;
        const std::string inner = root + "/" + top[0].name;
        const std::vector<Entry> below = visible(list_folder(inner));
        const bool course = std::any_of(below.begin(), below.end(), is_course_entry);
        return from_archive || course ? inner : root;
    }

    void collect(const std::string &root, Intake &intake)
    {
        for (const Entry &e : visible(list_folder(root))) {
            Submission s;
            std::string folder, file;
            // The course website's folders of other kinds of submission (online text) hold no
            // files; a folder of files whose name is malformed is still a student's.
            const bool other_plugin = e.name.find(any_plugin) != std::string::npos
                                      && e.name.find(file_plugin) == std::string::npos;
            if (e.type == Type::Folder && !other_plugin) {
                parse_course_folder(e.name, s.full_name, s.id);
                s.folder = e.name;
                if (s.id.empty())
                    s.full_name = e.name;
                s.path = root + "/" + e.name;
                students_.push_back({std::move(s), {}});
            } else if (e.type == Type::File && parse_course_file(e.name, folder, file)) {
                auto found
                    = std::find_if(students_.begin(), students_.end(), [&](const Student &st) {
                          return st.submission.folder == folder;
                      });
                if (found == students_.end()) {
                    s.folder = folder;
                    parse_course_folder(folder, s.full_name, s.id);
                    students_.push_back({std::move(s), {}});
                    found = students_.end() - 1;
                }
                found->flat_files.push_back(root + "/" + e.name);
            } else if (e.type == Type::File && has_archive_suffix(e.name)) {
                // A teacher's own folder of the students' archives, one each.
                s.folder = e.name;
                s.full_name = e.name.substr(0, e.name.size() - archive_suffix_length(e.name));
                students_.push_back({std::move(s), {root + "/" + e.name}});
            } else {
                intake.ignored.push_back(e.name);
            }
        }
    }

    std::string student_folder(const Submission &s)
    {
        const std::string students = unpack_root_ + "/students";
        if (!make_folder(students, error_))
            return {};
        return students + "/" + s.folder;
    }

    // The student's share of the class's archive: refused when it breaks a bound of a
    // student's own archive; else the entries that were skipped, for the student's record.
    bool judge_share(Student &student, std::string &notes) const
    {
        Submission &s = student.submission;
        std::vector<std::string> owned = student.flat_files;
        if (owned.empty())
            owned.push_back(s.path);
        std::uint64_t unpacked = 0, compressed = 0;
        std::vector<const UnpackResult::File *> skipped;
        const std::string top = class_root_ + "/";
        for (const std::string &path : owned) {
            if (path.compare(0, top.size(), top) != 0)
                continue;
            const std::string mine = path.substr(top.size());
            auto at = std::lower_bound(
                class_files_.begin(), class_files_.end(), mine,
                [](const UnpackResult::File &f, const std::string &p) { return f.path < p; });
            for (; at != class_files_.end() && at->path.compare(0, mine.size(), mine) == 0; ++at) {
                if (at->path.size() > mine.size() && at->path[mine.size()] != '/')
                    continue;
                unpacked += at->unpacked;
                compressed += at->compressed;
                if (!at->skipped.empty())
                    skipped.push_back(&*at);
            }
        }
        const auto refuse
            = [&](SubmissionProblem problem, const std::string &value, const std::string &why) {
                  s.kind = SubmissionKind::Refused;
                  s.message = "in the class's archive, this student's files " + why;
                  s.problem = problem;
                  s.values = {value};
                  return false;
              };
        if (unpacked > limits_.unpacked_bytes) {
            const std::string mib = std::to_string(limits_.unpacked_bytes >> 20);
            return refuse(SubmissionProblem::ShareTooLarge, mib,
                          "unpack to more than " + mib + " MiB");
        }
        if (unpacked > ratio_floor && unpacked / limits_.ratio > compressed) {
            const std::string ratio = std::to_string(limits_.ratio);
            return refuse(SubmissionProblem::ShareRatio, ratio,
                          "unpack to more than " + ratio + " times their size (a zip bomb)");
        }
        constexpr std::size_t most = 3;
        for (std::size_t i = 0; i < skipped.size() && i < most; ++i) {
            notes += (i ? "; " : "skipped: ") + skipped[i]->skipped;
            s.skipped.emplace_back(skipped[i]->refusal, skipped[i]->values);
        }
        if (skipped.size() > most) {
            notes += "; and " + std::to_string(skipped.size() - most) + " more";
            s.skipped_more = skipped.size() - most;
        }
        return true;
    }

    void take(Student &student)
    {
        Submission &s = student.submission;
        std::string notes;
        if (!class_root_.empty() && !judge_share(student, notes))
            return;
        // The student's one archive, when the folder holds no sources of its own: whatever
        // stands beside it (a report, a screenshot) does not keep it packed.
        std::string archive;
        std::vector<std::string> archives;
        bool sources = false;
        if (student.flat_files.empty()) {
            for (const Entry &e : visible(list_folder(s.path))) {
                if (e.type == Type::File && has_archive_suffix(e.name))
                    archives.push_back(s.path + "/" + e.name);
            }
            Found found;
            const Descriptor fd = open_folder(AT_FDCWD, s.path);
            if (fd.get() >= 0)
                Walk(program_, limits_.entries).walk(fd.get(), s.path, 0, false, found);
            sources = !found.sources.empty();
        } else {
            for (const std::string &file : student.flat_files) {
                if (has_archive_suffix(file))
                    archives.push_back(file);
                sources = sources || is_source_name(file);
            }
        }
        if (archives.size() == 1 && !sources)
            archive = archives.front();
        if (!archive.empty() && limits_.nesting < 1)
            archive.clear();
        bool unpacked = false;
        if (!archive.empty()) {
            const std::string into = student_folder(s);
            if (into.empty())
                return;
            const UnpackResult r = unpack_archive(
                archive, into,
                {limits_.entries, limits_.unpacked_bytes, limits_.file_bytes, limits_.ratio});
            if (r.outcome == UnpackResult::Failed) {
                error_ = r.message;
                return;
            }
            if (r.outcome == UnpackResult::Refused) {
                s.kind = SubmissionKind::Refused;
                s.message = archive.substr(archive.rfind('/') + 1) + ": " + r.message;
                refused(s, archive.substr(archive.rfind('/') + 1), r);
                s.path = archive.substr(0, archive.rfind('/'));
                return;
            }
            s.path = into;
            unpacked = true;
        } else if (!student.flat_files.empty()) {
            s.path = student_folder(s);
            if (s.path.empty() || !make_folder(s.path, error_))
                return;
            for (const std::string &from : student.flat_files) {
                std::string folder, file;
                parse_course_file(from.substr(from.rfind('/') + 1), folder, file);
                const UnpackResult r = copy_file(from, s.path + "/" + file, limits_.file_bytes);
                if (r.outcome == UnpackResult::Failed) {
                    error_ = r.message;
                    return;
                }
                if (r.outcome == UnpackResult::Refused) {
                    s.kind = SubmissionKind::Refused;
                    s.message = r.message;
                    refused(s, {}, r);
                    return;
                }
            }
        }
        classify(s, program_, limits_, unpacked);
        if (!notes.empty())
            s.message += (s.message.empty() ? "" : "; ") + notes;
    }

    std::string unpack_root_;
    std::string class_root_; // where the class's archive was unpacked; empty for a folder
    std::vector<UnpackResult::File> class_files_;
    std::string program_;
    IntakeLimits limits_;
    std::vector<Student> students_;
    std::string error_;
};

} // namespace

bool parse_course_folder(const std::string &folder, std::string &full_name, std::string &id)
{
    std::string base;
    if (ends_with(folder, file_plugin + "_"))
        base = folder.substr(0, folder.size() - file_plugin.size() - 1);
    else if (ends_with(folder, file_plugin))
        base = folder.substr(0, folder.size() - file_plugin.size());
    else
        return false;
    return split_name_and_id(base, full_name, id);
}

Intake take_in(const std::string &submissions, const std::string &unpack_root,
               const std::string &program_name, const IntakeLimits &limits)
{
    return Taker(unpack_root, program_name, limits).run(submissions);
}
