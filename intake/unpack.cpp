#include "intake/unpack.h"
#include "sandbox/fileio.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Folders deeper than this in one archive are not a C++ project but an attack on the walk.
constexpr std::size_t max_depth = 64;

Descriptor open_folder(int at, const char *name)
{
    return Descriptor(::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

std::string size_text(std::uint64_t bytes)
{
    if (bytes >= (std::uint64_t(1) << 20) && bytes % (std::uint64_t(1) << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// An entry's name as a message shows it: control characters would break the report's lines, and
// a long name is cut where a character begins, never inside one (the window and the tables
// below read the message as UTF-8).
std::string shown(const std::string &name)
{
    std::size_t cut = std::min<std::size_t>(name.size(), 200);
    while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    std::string out;
    for (char c : name.substr(0, cut))
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    return cut < name.size() ? out + "..." : out;
}

// libarchive reads names in the thread's locale: under "C" it would mangle UTF-8 names that an
// archive marks as such. A UTF-8 locale for this thread alone keeps them, and leaves unmarked
// names as the raw bytes they were, for entry_name_to_utf8 to read.
class Utf8Locale
{
public:
    Utf8Locale()
        : locale_(::newlocale(LC_ALL_MASK, "C.UTF-8", locale_t(nullptr)))
    {
        if (locale_)
            previous_ = ::uselocale(locale_);
    }
    Utf8Locale(const Utf8Locale &) = delete;
    Utf8Locale &operator=(const Utf8Locale &) = delete;
    ~Utf8Locale()
    {
        if (locale_) {
            ::uselocale(previous_);
            ::freelocale(locale_);
        }
    }

private:
    locale_t locale_;
    locale_t previous_ = locale_t(nullptr);
};

// What an archive's names say of their encoding, name by name (the rule is unpack.h's).
struct NameVote
{
    bool gbk = false;  // a name is not UTF-8
    bool utf8 = false; // a name holds a character of three or four bytes, and is UTF-8
    void add(const std::string &name)
    {
        const bool valid = is_valid_utf8(name);
        gbk = gbk || !valid;
        utf8 = utf8 || (valid && std::any_of(name.begin(), name.end(), [](char c) {
                            return static_cast<unsigned char>(c) >= 0xE0;
                        }));
    }
    NameCoding coding() const { return utf8 && !gbk ? NameCoding::Utf8 : NameCoding::Gbk; }
};

struct ArchiveDeleter
{
    void operator()(archive *a) const { archive_read_free(a); }
};

// Only formats and filters that libarchive reads by itself: with "all", an unknown compression
// may be handed to an external program, which a hostile archive must never choose.
std::unique_ptr<archive, ArchiveDeleter> new_reader()
{
    std::unique_ptr<archive, ArchiveDeleter> a(archive_read_new());
    if (!a)
        return a;
    archive_read_support_filter_gzip(a.get());
    archive_read_support_filter_bzip2(a.get());
    archive_read_support_filter_xz(a.get());
    archive_read_support_filter_lzma(a.get());
    archive_read_support_format_zip(a.get());
    archive_read_support_format_tar(a.get());
    archive_read_support_format_gnutar(a.get());
    archive_read_support_format_7zip(a.get());
    archive_read_support_format_rar(a.get());
    archive_read_support_format_rar5(a.get());
    return a;
}

// The parts of an entry's path, or why the path is refused. Backslashes separate folders as
// well: archives made on Windows use them, and "..\x" must not slip through as one name.
bool split_path(const std::string &path, std::vector<std::string> &parts, UnpackResult &why)
{
    if (!path.empty() && (path[0] == '/' || path[0] == '\\')) {
        why = {Refusal::AbsolutePath, {shown(path)}};
        return false;
    }
    std::string part;
    auto flush = [&]() {
        if (part == "..") {
            why = {Refusal::LeavesFolder, {shown(path)}};
            return false;
        }
        if (!part.empty() && part != ".")
            parts.push_back(part);
        part.clear();
        return true;
    };
    for (char c : path) {
        if (c == '/' || c == '\\') {
            if (!flush())
                return false;
        } else {
            part += c;
        }
    }
    if (!flush())
        return false;
    if (parts.size() > max_depth) {
        why = {Refusal::TooDeep, {std::to_string(max_depth), shown(path)}};
        return false;
    }
    return true;
}

class Unpacker
{
public:
    Unpacker(const std::string &archive, const UnpackBounds &bounds)
        : archive_(archive)
        , bounds_(bounds)
    {}

    UnpackResult run(int root)
    {
        struct stat st = {};
        if (::stat(archive_.c_str(), &st) != 0)
            return failed(std::string("cannot read it: ") + std::strerror(errno));
        compressed_ = static_cast<std::uint64_t>(st.st_size);
        Utf8Locale utf8;
        auto reader = new_reader();
        if (!reader)
            return failed("cannot read it: out of memory");
        archive *a = reader.get();
        if (archive_read_open_filename(a, archive_.c_str(), 65536) != ARCHIVE_OK)
            return {Refusal::Unreadable, {error_of(a)}};
        coding_ = coding();
        archive_entry *entry = nullptr;
        for (;;) {
            const int r = archive_read_next_header(a, &entry);
            if (r == ARCHIVE_EOF)
                break;
            if (r < ARCHIVE_WARN)
                return {Refusal::Unreadable, {error_of(a)}};
            if (++entries_ > bounds_.entries)
                return {Refusal::TooManyEntries, {std::to_string(bounds_.entries)}};
            const la_int64_t before = archive_filter_bytes(a, -1);
            const std::uint64_t unpacked_before = unpacked_;
            path_.clear();
            UnpackResult result = take(a, entry, root);
            if (result.outcome == UnpackResult::Refused && result.entry_only
                && bounds_.skip_entries) {
                files_.push_back({path_, result.message, 0, 0, result.refusal, result.values});
                continue;
            }
            if (result.outcome != UnpackResult::Unpacked)
                return result;
            if (bounds_.skip_entries && !path_.empty())
                files_.push_back({path_,
                                  {},
                                  unpacked_ - unpacked_before,
                                  static_cast<std::uint64_t>(std::max<la_int64_t>(
                                      archive_filter_bytes(a, -1) - before, 0)),
                                  Refusal::None,
                                  {}});
        }
        UnpackResult done;
        done.files = std::move(files_);
        return done;
    }

private:
    // How the archive's names read, from a pass over them of its own, within the bounds of the
    // unpacking: past them the names so far are all there is to go by (and the unpacking stops
    // at the same bound). No name is kept: a hostile archive's may be many and long.
    NameCoding coding() const
    {
        NameVote vote;
        auto reader = new_reader();
        archive *a = reader.get();
        if (!a || archive_read_open_filename(a, archive_.c_str(), 65536) != ARCHIVE_OK)
            return vote.coding();
        archive_entry *entry = nullptr;
        for (std::uint64_t n = 0;
             n < bounds_.entries && !vote.gbk && archive_read_next_header(a, &entry) >= ARCHIVE_WARN
             && static_cast<std::uint64_t>(std::max<la_int64_t>(archive_filter_bytes(a, 0), 0))
                    <= bounds_.unpacked_bytes;
             ++n) {
            if (const char *raw = archive_entry_pathname(entry))
                vote.add(raw);
        }
        return vote.coding();
    }

    static std::string error_of(archive *a)
    {
        const char *text = archive_error_string(a);
        return text ? text : "unknown error";
    }
    // A rule that the entry alone breaks: in a class's archive, its owner's, not the class's.
    static UnpackResult refused_entry(Refusal why, std::vector<std::string> values)
    {
        UnpackResult result{why, std::move(values)};
        result.entry_only = true;
        return result;
    }
    UnpackResult failed(const std::string &why) const { return {UnpackResult::Failed, why}; }

    UnpackResult take(archive *a, archive_entry *entry, int root)
    {
        const char *raw = archive_entry_pathname(entry);
        if (!raw)
            raw = archive_entry_pathname_utf8(entry);
        if (!raw)
            return {Refusal::NameUnreadable, {}};
        const std::string name = entry_name_to_utf8(raw, coding_);
        std::vector<std::string> parts;
        UnpackResult why;
        if (!split_path(name, parts, why))
            return why;
        if (parts.empty())
            return {};
        for (const std::string &part : parts)
            path_ += (path_.empty() ? "" : "/") + part;
        const bool link = archive_entry_hardlink(entry) || archive_entry_symlink(entry);
        const mode_t type = archive_entry_filetype(entry);
        // Every folder on the way is made here, and opened without following links, so that
        // nothing already there can lead outside. They are made for an entry that is skipped as
        // well: its owner's folder is there, with its other files, or empty.
        Descriptor folder(::dup(root));
        const std::size_t folders = type == AE_IFDIR && !link ? parts.size() : parts.size() - 1;
        for (std::size_t i = 0; i < folders; ++i) {
            if (::mkdirat(folder.get(), parts[i].c_str(), 0755) != 0 && errno != EEXIST)
                return write_error(name);
            Descriptor next = open_folder(folder.get(), parts[i].c_str());
            if (next.get() < 0)
                return write_error(name);
            folder = std::move(next);
        }
        if (link)
            return refused_entry(Refusal::Link, {shown(name)});
        if (type != AE_IFREG && type != AE_IFDIR)
            return refused_entry(Refusal::Device, {shown(name)});
        if (type == AE_IFDIR)
            return {};
        const mode_t mode = (archive_entry_perm(entry) & 0111) ? 0755 : 0644;
        Descriptor file(::openat(folder.get(), parts.back().c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (file.get() < 0)
            return write_error(name);
        UnpackResult copied = copy_data(a, file.get(), name);
        // What was written of a skipped file goes: its owner must not be graded on half of it.
        if (copied.entry_only)
            ::unlinkat(folder.get(), parts.back().c_str(), 0);
        return copied;
    }

    // Names the archive chose make some errors its own: a name twice, one too long.
    UnpackResult write_error(const std::string &name) const
    {
        const int error = errno;
        if (error == EEXIST || error == ENOTDIR || error == ELOOP || error == EISDIR)
            return refused_entry(Refusal::SameName, {shown(name)});
        if (error == ENAMETOOLONG)
            return refused_entry(Refusal::NameTooLong, {shown(name)});
        return failed("cannot unpack " + shown(name) + ": " + std::strerror(error));
    }

    UnpackResult copy_data(archive *a, int fd, const std::string &name)
    {
        std::uint64_t file_bytes = 0;
        char buffer[65536];
        for (;;) {
            const la_ssize_t n = archive_read_data(a, buffer, sizeof buffer);
            if (n == 0)
                return {};
            if (n < 0)
                return {Refusal::Unreadable, {error_of(a)}};
            const auto size = static_cast<std::uint64_t>(n);
            file_bytes += size;
            unpacked_ += size;
            if (file_bytes > bounds_.file_bytes)
                return refused_entry(Refusal::FileTooLarge,
                                     {size_text(bounds_.file_bytes), shown(name)});
            if (unpacked_ > bounds_.unpacked_bytes)
                return {Refusal::TooLarge, {size_text(bounds_.unpacked_bytes)}};
            if (unpacked_ > std::max(ratio_floor, bounds_.ratio_from)
                && unpacked_ / bounds_.ratio > compressed_)
                return {Refusal::Ratio, {std::to_string(bounds_.ratio)}};
            if (!write_all(fd, buffer, static_cast<std::size_t>(n)))
                return failed("cannot unpack " + shown(name) + ": " + std::strerror(errno));
        }
    }

    const std::string &archive_;
    const UnpackBounds &bounds_;
    std::uint64_t compressed_ = 0;
    NameCoding coding_ = NameCoding::Utf8;
    std::uint64_t entries_ = 0;
    std::uint64_t unpacked_ = 0;
    std::string path_; // of the entry in hand, as unpacked
    std::vector<UnpackResult::File> files_;
};

void remove_below(int folder, int depth)
{
    DIR *dir = ::fdopendir(::dup(folder));
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    for (const std::string &name : names) {
        if (::unlinkat(folder, name.c_str(), 0) == 0 || depth > 256)
            continue;
        Descriptor sub = open_folder(folder, name.c_str());
        if (sub.get() >= 0)
            remove_below(sub.get(), depth + 1);
        ::unlinkat(folder, name.c_str(), AT_REMOVEDIR);
    }
}

} // namespace

std::string refusal_text(Refusal refusal, const std::vector<std::string> &values)
{
    const auto value = [&](std::size_t i) { return i < values.size() ? values[i] : std::string(); };
    switch (refusal) {
    case Refusal::None:
        break;
    case Refusal::Unreadable:
        return "cannot be read: " + value(0);
    case Refusal::TooManyEntries:
        return "more than " + value(0) + " entries";
    case Refusal::NameUnreadable:
        return "an entry whose name cannot be read";
    case Refusal::AbsolutePath:
        return "an absolute path: " + value(0);
    case Refusal::LeavesFolder:
        return "a path that leaves its folder: " + value(0);
    case Refusal::TooDeep:
        return "folders nested more than " + value(0) + " deep: " + value(1);
    case Refusal::Link:
        return "a link: " + value(0);
    case Refusal::Device:
        return "a device file or fifo: " + value(0);
    case Refusal::SameName:
        return "the same name twice: " + value(0);
    case Refusal::NameTooLong:
        return "a name too long: " + value(0);
    case Refusal::FileTooLarge:
        return "a file larger than " + value(0) + ": " + value(1);
    case Refusal::TooLarge:
        return "unpacks to more than " + value(0);
    case Refusal::Ratio:
        return "unpacks to more than " + value(0) + " times its size (a zip bomb)";
    }
    return {};
}

UnpackResult unpack_archive(const std::string &archive, const std::string &destination,
                            const UnpackBounds &bounds)
{
    if (::mkdir(destination.c_str(), 0755) != 0)
        return {UnpackResult::Failed, "cannot make " + destination + ": " + std::strerror(errno)};
    Descriptor root = open_folder(AT_FDCWD, destination.c_str());
    if (root.get() < 0)
        return {UnpackResult::Failed, "cannot open " + destination + ": " + std::strerror(errno)};
    UnpackResult result = Unpacker(archive, bounds).run(root.get());
    if (result.outcome != UnpackResult::Unpacked) {
        root.reset();
        remove_tree(destination);
    }
    return result;
}

bool is_valid_utf8(const std::string &bytes)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + length > n)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (s[i + k] & 0x3F);
        }
        static const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

namespace {

// Whether every byte above ASCII in `name` pairs into a GB2312 character (A1-F7, then A1-FE):
// what Chinese names in GBK are made of.
bool reads_as_gb2312(const std::string &name)
{
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto lead = static_cast<unsigned char>(name[i]);
        if (lead < 0x80)
            continue;
        if (lead < 0xA1 || lead > 0xF7 || i + 1 == name.size())
            return false;
        const auto trail = static_cast<unsigned char>(name[++i]);
        if (trail < 0xA1 || trail == 0xFF)
            return false;
    }
    return true;
}

} // namespace

namespace {

bool has_long_characters(const std::string &name)
{
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0xE0; });
}

// A name both encodings read: valid UTF-8 of two-byte characters alone, GB2312 throughout.
bool ambiguous(const std::string &name)
{
    const bool ascii = std::all_of(name.begin(), name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return !ascii && is_valid_utf8(name) && !has_long_characters(name) && reads_as_gb2312(name);
}

} // namespace

NameCoding names_coding(const std::vector<std::string> &raw_names)
{
    NameVote vote;
    for (const std::string &name : raw_names)
        vote.add(name);
    return vote.coding();
}

std::string entry_name_to_utf8(const std::string &raw, NameCoding coding)
{
    if (is_valid_utf8(raw) && (coding == NameCoding::Utf8 || !ambiguous(raw)))
        return raw;
    // GB18030 reads every GBK (CP936) name alike and is what glibc's iconv offers for both.
    iconv_t cd = ::iconv_open("UTF-8", "GB18030");
    std::string out;
    if (cd == iconv_t(-1))
        cd = nullptr;
    std::size_t i = 0;
    while (i < raw.size()) {
        char converted[16];
        bool done = false;
        // One character at a time (GBK's are one, two or four bytes), so that a byte that
        // belongs to neither encoding costs only itself.
        for (std::size_t length = 1; cd && !done && length <= 4 && i + length <= raw.size();
             ++length) {
            char *in = const_cast<char *>(raw.data() + i);
            std::size_t in_left = length;
            char *to = converted;
            std::size_t out_left = sizeof converted;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (::iconv(cd, &in, &in_left, &to, &out_left) != std::size_t(-1) && in_left == 0) {
                out.append(converted, sizeof converted - out_left);
                i += length;
                done = true;
            }
        }
        if (!done) {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    if (cd)
        ::iconv_close(cd);
    return out;
}

std::string ascii_lower(std::string text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::size_t archive_suffix_length(const std::string &name)
{
    static const char *const suffixes[] = {".tar.gz", ".tar.xz", ".tar.bz2", ".zip", ".tar",
                                           ".tgz",    ".txz",    ".tbz2",    ".7z",  ".rar"};
    const std::string lower = ascii_lower(name);
    for (const char *suffix : suffixes) {
        const std::size_t n = std::strlen(suffix);
        if (lower.size() > n && lower.compare(lower.size() - n, n, suffix) == 0)
            return n;
    }
    return 0;
}
