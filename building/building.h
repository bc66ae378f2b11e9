#pragma once

// Building a student's C++ sources in the same bubblewrap sandbox the runs use: the system
// read-only, no network, the sources read-only, one writable build folder, nothing of the
// teacher's files; bounded in CPU time, memory, output files and processes. Every function may be
// called from several threads at once. Plain C++ and POSIX; the hash is QtCore's.
//
// Results are cached by a hash of every file of the student's folder, which the sandbox shows
// whole, with the compiler's identity, the flags and the limits. The sources alone would not do:
// the compiler reads whatever they include (queue.tpp, a .txt of constants, a file in a
// sub-folder, a name made by a macro), and two students who share the handed-out files would get
// one program. The dependency list the compiler writes (-MD) would name fewer files, but it
// lists what was found, not what was looked for: a file added where an earlier search would now
// find it, or one that __has_include tests, is missing from it, and checking it again on every
// use means reading the same files anyway. Hashing all that the build can see has no such gap.
// The same hash tells exact copies: the same files under the same names, byte for byte.

#include "sandbox/sandbox.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// What a class is built with unless its teacher says otherwise.
inline const char default_compiler[] = "g++";
inline const std::vector<std::string> default_build_flags
    = {"-std=c++17", "-O2", "-Wall", "-Wextra"};

struct BuildSettings
{
    std::string compiler = default_compiler;
    std::vector<std::string> flags = default_build_flags;
    Limits limits{30, std::uint64_t(2) << 30, std::uint64_t(256) << 20, 64, std::size_t(1) << 20};
    std::chrono::milliseconds wall{60000};
    Sandbox sandbox;       // the same switches as the runs' (enabled, bwrap, launcher)
    std::string cache;     // folder of the cache; empty: $XDG_CACHE_HOME/orvimet/builds
    bool use_cache = true; // --no-cache: false
    std::uint64_t cache_bytes = std::uint64_t(1) << 30; // the cache is trimmed to this
    // No lab program comes near this; a larger one (a big static array) "does not compile", and
    // no file of its build, nor what the cache keeps of it, grows past it.
    std::uint64_t program_bytes = std::uint64_t(64) << 20;
    std::size_t log_bytes = 64 * 1024; // compiler messages kept
};

// The flags of the memory-checking build, added to the ordinary ones. Its runs need the limit of
// memory off (Limits::memory_bytes = 0): the address sanitizer maps terabytes of shadow address
// space that it never touches, and starts under no limit of the address space that would still
// bound an ordinary program; CPU and wall time still bound such a run, and the sanitizer's own
// options its memory (grading/memcheck.cpp). Read its report with sanitizer_finding(). Local
// variables never written start as a pattern, as the sanitizer's fresh heap blocks do: printed,
// such a value differs from the ordinary build's. -flifetime-dse=1 keeps the pattern of an object
// whose constructor forgets a member, which the optimiser would drop as written before the
// object's lifetime (no further: -fno-lifetime-dse hides a use after delete from the sanitizer).
inline const std::vector<std::string> memcheck_flags
    = {"-fsanitize=address,undefined", "-fno-omit-frame-pointer", "-g",
       "-ftrivial-auto-var-init=pattern", "-flifetime-dse=1"};

struct BuildResult
{
    // Why the sources gave no program, as a kind and the values its sentence needs, so that a
    // page can say it in the students' language rather than translate an English sentence by
    // matching it; `reason` is that sentence in English (problem_text).
    enum class Problem {
        None,
        CompilerError,   // the compiler's first error: {line}
        NoSource,        // {}
        Unreadable,      // a source the build cannot take: {"queue.cpp: not an ordinary file"}
        BuildTimeout,    // {seconds}
        CompilerCpu,     // {seconds}
        CompilerMemory,  // {MiB}
        CompilerFile,    // a file of the build larger than the bound: {MiB}
        ProgramTooLarge, // {MiB}
        CompilerKilled,  // {}
        CompilerSignal,  // {signal number}
        CompilerSilent,  // it failed without a message: {}
        Empty,           // {file names}
        SeveralMains     // {file names}
    };
    Problem problem = Problem::None;
    std::vector<std::string> values;

    // Failed: the student's sources do not build. NotBuilt: the grader could not build them (no
    // compiler, no sandbox); nothing of it is the student's fault. Empty: every source is blank
    // or comments only ("queue.cpp is empty"). SeveralPrograms: more than one source defines
    // main ("2 files define main: queue.cpp, queue_v2.cpp"). Neither of the last two is built.
    enum class Status { Built, Failed, NotBuilt, Empty, SeveralPrograms };
    Status status = Status::NotBuilt;
    std::string program; // absolute path of the built program (build_dir/program), when Built
    std::string reason;  // when Failed: "does not compile: ..."; NotBuilt, Empty and
                         // SeveralPrograms: why
    std::string log;     // the compiler's messages, names relative to the student's folder, at
                         // most log_bytes, cut with a note
    int warnings = 0;    // "warning:" lines of all the messages, kept or not
    std::string hash;    // hex hash of sources (names and contents), compiler identity, flags
    bool from_cache = false;
};

// The English sentence of a build's problem, as BuildResult::reason holds it: "does not compile:
// the build took longer than 60 s", "queue.cpp is empty", "2 files define main: a.cpp, b.cpp".
std::string problem_text(BuildResult::Problem problem, const std::vector<std::string> &values);

// The SHA-256, in hex, of `sources` and `headers` (names relative to `root` and contents), every
// other entry below `root` (names, modes, contents, the targets of links), the compiler's
// identity (its --version output) and `flags`. Where the files live does not count, so that the
// same submission unpacked elsewhere has the same hash. Empty, with `problem` set, when a source
// or header is not a regular file below `root` (a link, a device, a folder) or is too large;
// `grader_failure` then tells whether the grader could not read it for want of its own
// (descriptors, memory, a disk error) rather than for what the student handed in. Empty with
// `problem` empty when the folder is too large to be read whole: it has no key.
std::string source_hash(const std::string &root, const std::vector<std::string> &sources,
                        const std::vector<std::string> &headers,
                        const std::string &compiler_identity, const std::vector<std::string> &flags,
                        std::string *problem = nullptr, bool *grader_failure = nullptr);

// `compiler --version`, first line; empty when it cannot run. It is kept under the compiler file's
// path, inode, size and times, so that a compiler replaced, in place or under its name, is run
// again: beside `cache` (a folder of the cache of builds) when one is given, so that the next
// grading need not run it, else for the life of the process.
std::string compiler_identity(const std::string &compiler, const std::string &cache = {});

// The folder of the cache that builds with `settings` use; empty when the cache is off.
std::string build_cache_folder(const BuildSettings &settings);

// The folder of the cache when BuildSettings::cache is empty: $XDG_CACHE_HOME/orvimet/builds,
// else ~/.cache/orvimet/builds; empty when neither variable is set.
std::string default_cache_folder();

// The command that runs `argv` with its standard error joined to its standard output, which
// run_child keeps: the compiler's messages, a sanitizer's report.
std::vector<std::string> with_error_output(const std::vector<std::string> &argv);

// Builds every file of `sources` together into one program in `build_dir` (an absolute folder of
// the grader's, writable, empty, outside `root`), but for sources that another includes by a
// quoted name. `root` is the student's folder, shown read-only; every folder of a header is
// searched for quoted includes. Extra flags
// (memcheck_flags) come after settings.flags. A failed build is cached as a built one is, so
// that a regrade does not wait again for a template bomb; one that ran out of wall time is not,
// since a busy machine may have caused it. The build's sandbox is one of those the calling thread
// keeps (see run_child) until it makes others or calls end_kept_sandboxes().
BuildResult build_program(const BuildSettings &settings, const std::string &root,
                          const std::vector<std::string> &sources,
                          const std::vector<std::string> &headers, const std::string &build_dir,
                          const std::vector<std::string> &extra_flags = {});

// Whether a source switches the sanitizers off (no_sanitize attributes, __asan_/__lsan_ calls,
// sanitizer options, tests of whether a sanitizer is on): the first such line as
// "name:line: text", for a person; empty when none. Lines are joined where a backslash ends
// them, as the compiler joins them; comments after // do not count.
std::string sanitizer_evasion(const std::vector<std::string> &files);

// The same, in what the compiler reads: each source to compile preprocessed (`compiler -E`, with
// the flags of the build and `extra_flags`) in the build's sandbox, in `build_dir` (writable, of
// the grader's), and the lines of the student's own files looked through, macros expanded and
// included files of any name within. The raw scan above still sees the tests of whether a
// sanitizer is on, which preprocessing takes away.
std::string preprocessed_evasion(const BuildSettings &settings, const std::string &root,
                                 const std::vector<std::string> &sources,
                                 const std::vector<std::string> &headers,
                                 const std::string &build_dir,
                                 const std::vector<std::string> &extra_flags = {});

// The first line of a sanitizer's report in a run's standard error ("ERROR: AddressSanitizer:
// heap-use-after-free ...", "queue.cpp:12:5: runtime error: ...", "ERROR: LeakSanitizer:
// detected memory leaks"), without the process number and with file names without their
// folders; empty when there is none.
std::string sanitizer_finding(const std::string &stderr_text);
