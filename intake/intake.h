#pragma once

// Taking in a class as the teacher receives it: a folder with one sub-folder per student, or an
// archive of one (zip, tar, tar.gz, tar.xz), in the course website's layouts or a plain one.
// Archives are hostile input: they are read with libarchive and unpacked below a folder of the
// grader's choosing, never outside it, within bounded counts and sizes. Plain C++ and POSIX; no
// Qt.

#include "intake/unpack.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct IntakeLimits
{
    std::uint64_t entries = 10000;                           // entries of one archive
    std::uint64_t unpacked_bytes = std::uint64_t(256) << 20; // all entries of one archive
    std::uint64_t file_bytes = std::uint64_t(64) << 20;      // one entry
    std::uint64_t ratio = 200; // unpacked bytes per compressed byte, for archives above 1 MiB
    int nesting = 1;           // a student's own archive is unpacked once more, not deeper
    // The class's own archive holds every student's work: the same rules, larger bounds.
    std::uint64_t class_entries = 200000;
    std::uint64_t class_unpacked_bytes = std::uint64_t(4) << 30;
};

// What a student handed in, as the grader classifies it.
enum class SubmissionKind {
    Sources,        // C++ sources (.cpp .cc .cxx, with headers): to be built
    LinuxProgram,   // no sources, but a Linux (ELF) program named for the exercise
    WindowsProgram, // no sources, but a Windows (PE) program: "a Windows program: hand in the
                    // sources"
    Nothing,        // nothing usable: "nothing handed in"
    Refused,        // the student's archive broke a rule or a limit; `message` says which
};

// The intake's own sentence in a Submission's message, as a kind and the values it needs, for
// the pages to say it in the students' language; notes on skipped entries follow it (`skipped`).
enum class SubmissionProblem {
    None,
    WindowsProgram, // "a Windows program: hand in the sources"
    Nothing,        // "nothing handed in"
    NestedArchive,  // "nothing handed in (an archive inside an archive is not unpacked)"
    OneArchive,     // "nothing handed in (only one archive of a folder without sources ...)"
    ShareTooLarge,  // "in the class's archive, this student's files unpack to more than N MiB"
    ShareRatio,     // "... unpack to more than N times their size (a zip bomb)"
    Refused,        // "work.zip: a link: queue.cpp", or a file copied in: "a file larger ..."
};

struct Submission
{
    std::string folder;    // the student's folder name as handed in (UTF-8)
    std::string full_name; // from the course website's layout; else the folder name
    std::string id;        // the participant id from that layout; else empty
    std::string path; // absolute: the folder holding the submission's files (unpacked or given)
    SubmissionKind kind = SubmissionKind::Nothing;
    std::vector<std::string> sources; // absolute paths, sorted, when Sources
    std::vector<std::string> headers; // absolute paths, sorted
    // Absolute, when LinuxProgram or WindowsProgram; unpacked from a zip, it may lack the
    // execute bits.
    std::string program;
    std::string message; // for a person: why Refused, Nothing, WindowsProgram
    SubmissionProblem problem = SubmissionProblem::None; // the message's kind, when it has one
    Refusal refusal = Refusal::None;                     // when Refused
    // Its values: the bound of ShareTooLarge and ShareRatio; of Refused, the archive's name (empty
    // for a file copied in), then the refusal's values.
    std::vector<std::string> values;
    // The entries of its share of the class's archive that were skipped, as the message's notes
    // give them ("skipped: a link: x; ...; and 2 more"): the first few, and how many more.
    std::vector<std::pair<Refusal, std::vector<std::string>>> skipped;
    std::size_t skipped_more = 0;
};

struct Intake
{
    std::vector<Submission> students; // sorted by full name, then id, then folder
    bool from_course_website = false; // every folder followed the course website's layout
    std::vector<std::string> ignored; // top-level entries that are no student's: "grades.csv"
    // Why the whole class could not be taken in (a hostile class archive, a full disk, no
    // student's folder at all); else empty.
    std::string error;
};

// Takes in `submissions` (a folder or an archive). Archives, the class's and students' own, are
// unpacked below `unpack_root` (an existing, empty folder inside the results folder); nothing is
// written anywhere else. `program_name` is the exercise's program name ("queue"). Every student
// folder gives one Submission, whatever it holds, and so does each archive that stands at the
// top beside them (a teacher's folder of "alice.zip", "bob.zip"); a limit hit in one student's
// archive marks that student Refused, never the class. In the class's own archive each student's
// files are held to the bounds of a student's archive (bytes, ratio): past them that student is
// Refused; an entry that breaks a rule alone (a link, a name too long, a file too large) is
// skipped, with a note in the student's `message`. Only what is no student's (the archive's size
// and count of entries, a ratio past any student's bound, a path out of it) refuses the class. A
// class archive that holds one folder alone (as zipping a folder makes it) is read as that folder.
Intake take_in(const std::string &submissions, const std::string &unpack_root,
               const std::string &program_name, const IntakeLimits &limits = {});

// The course website's folder name "<Full name>_<id>_assignsubmission_file_" (with or without
// the last underscore), split; false for any other name.
bool parse_course_folder(const std::string &folder, std::string &full_name, std::string &id);
