#pragma once

// Unpacking one hostile archive below a folder of the grader's own, and the file-system steps
// that go with it: nothing is created outside that folder, no link is followed or made, and
// every count and size is bounded while reading, before anything lands on disk.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Below this many unpacked bytes no ratio is suspicious: a small source file of blanks
// compresses as well as a bomb does.
inline constexpr std::uint64_t ratio_floor = std::uint64_t(1) << 20;

struct UnpackBounds
{
    std::uint64_t entries;
    std::uint64_t unpacked_bytes;
    std::uint64_t file_bytes;
    std::uint64_t ratio;
    // An archive of many owners' files (a class's): an entry that breaks a rule of its own (a
    // link, a device, a name too long or twice, a file too large) is skipped and noted instead
    // of refusing the archive, and the ratio is measured over the whole archive only past
    // `ratio_from` bytes; each owner's share is judged from `UnpackResult::files` by the caller.
    bool skip_entries = false;
    std::uint64_t ratio_from = 0;
};

// Why an archive (or a file copied in) is refused, as a kind and the values its sentence needs
// (an entry's name as shown, a bound), so that a page can say it in its own language.
enum class Refusal {
    None,
    Unreadable,     // {the archive library's error}
    TooManyEntries, // {the bound}
    NameUnreadable,
    AbsolutePath, // {the path}
    LeavesFolder, // {the path}
    TooDeep,      // {the depth, the path}
    Link,         // {the name}
    Device,       // {the name}
    SameName,     // {the name}
    NameTooLong,  // {the name}
    FileTooLarge, // {the bound ("64 MiB"), the name}
    TooLarge,     // {the bound}
    Ratio,        // {the ratio}
};

// A refusal's sentence in English, as UnpackResult::message holds it: "a link: queue.cpp".
std::string refusal_text(Refusal refusal, const std::vector<std::string> &values);

struct UnpackResult
{
    enum Outcome {
        Unpacked,
        Refused, // the archive broke a rule or a bound: its owner's fault
        Failed,  // the grader could not write (a full disk, say): never its owner's fault
    };
    UnpackResult() = default;
    UnpackResult(Outcome outcome, std::string message)
        : outcome(outcome)
        , message(std::move(message))
    {}

    UnpackResult(Refusal refusal, std::vector<std::string> values)
        : outcome(Refused)
        , message(refusal_text(refusal, values))
        , refusal(refusal)
        , values(std::move(values))
    {}

    Outcome outcome = Unpacked;
    std::string message;             // for a person, when not Unpacked
    Refusal refusal = Refusal::None; // when Refused: the message's kind and values
    std::vector<std::string> values;
    // With UnpackBounds::skip_entries: each entry's path as unpacked ("a/b.cpp"), and either
    // why it was skipped or its unpacked and compressed sizes (the compressed one as far as the
    // reading of the archive tells it apart).
    struct File
    {
        std::string path;
        std::string skipped; // for a person; empty when unpacked
        std::uint64_t unpacked = 0, compressed = 0;
        Refusal refusal = Refusal::None; // why it was skipped, as a kind and values
        std::vector<std::string> values;
    };
    std::vector<File> files;
    bool entry_only = false; // Refused for what one entry is, when the entries can be skipped
};

// Unpacks `archive` into `destination`, a folder made here (its parent must exist; it must
// not). What was unpacked of a refused archive is removed again.
UnpackResult unpack_archive(const std::string &archive, const std::string &destination,
                            const UnpackBounds &bounds);

// How an archive's names are read. Archives made on Chinese Windows name their entries in its
// code page (GBK) without saying so, and a short GBK name can be valid UTF-8 as well ("栈" is
// D5 BB, which UTF-8 reads as U+057B). A name that is not valid UTF-8 is GBK, and one with a
// character only UTF-8 writes so (three or four bytes: Chinese, say) is UTF-8; a name that both
// read (two-byte characters that are GB2312 as well) is read as the archive's other names are:
// UTF-8 when some are UTF-8 and none GBK, else GBK (for the students of this course, Chinese far
// more often than an accent or a Greek letter).
enum class NameCoding { Utf8, Gbk };
NameCoding names_coding(const std::vector<std::string> &raw_names);

// A name as read from an archive, in UTF-8, by the rule above (`coding` decides a name both
// encodings read); a byte that is neither becomes U+FFFD.
std::string entry_name_to_utf8(const std::string &raw, NameCoding coding = NameCoding::Utf8);

bool is_valid_utf8(const std::string &bytes);

// The length of the suffix by which a file name is an archive the intake unpacks (".zip",
// ".tar.gz", ".7z", ...); 0 for any other name.
std::size_t archive_suffix_length(const std::string &name);
inline bool has_archive_suffix(const std::string &name)
{
    return archive_suffix_length(name) > 0;
}

// Lower-case ASCII, for comparing file names and suffixes that Windows treats alike.
std::string ascii_lower(std::string text);
