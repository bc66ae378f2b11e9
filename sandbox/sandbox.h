#pragma once

// The bubblewrap sandbox a program runs in, and the limits of one run. Building the bwrap command
// line is a pure function of the plan below, so that what the sandbox holds can be checked
// without starting anything.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Limits of every run; 0 switches one off, except the wall time, which every run has.
struct Limits
{
    int cpu_seconds = 10;
    std::uint64_t memory_bytes = std::uint64_t(1) << 30; // address space
    std::uint64_t file_bytes = std::uint64_t(64) << 20;  // largest file the program may write
    int processes = 64;                                  // processes of the program at once
    std::size_t output_bytes = std::size_t(16) << 20;    // standard output kept
    std::chrono::milliseconds wall{10000}; // a program still running then is killed, always
};

struct Sandbox
{
    bool enabled = true;
    std::string bwrap = "bwrap"; // a bare name is looked up on the search path
    // The launcher that sets the limits inside the sandbox; empty: orvimet-launch beside the
    // running executable, else the one built with this library.
    std::string launcher;
    // When the grader runs as root, programs run as these unprivileged users, one per running
    // program, so that one program's processes never count against another's limit.
    unsigned first_uid = 2000000000;
    // Folders of the host hidden from programs where the system shown would show them (the
    // reference programs of an installation below /usr, for one): each is an empty read-only
    // folder inside. An installation's libexec/orvimet, the launcher's, is always hidden.
    std::vector<std::string> hidden;
};

// One entry of the host system shown read-only in every sandbox.
struct SystemPath
{
    std::string path;
    std::string symlink; // the link's target where the host has a symbolic link, else empty
};

// The top-level system paths of this host that programs need (/usr, /lib*, /bin, /sbin, the
// dynamic loader's and the name service's files of /etc, /etc/alternatives), probed once.
const std::vector<SystemPath> &system_view();

struct SandboxPlan
{
    std::string bwrap;
    std::string launcher;
    std::vector<SystemPath> system;
    // A folder in memory of its own at this path, writable, the current folder, bounded like
    // one file: nothing a program writes there reaches the host's disk.
    std::string workdir;
    std::vector<std::string> visible; // bound read-only at their own paths
    std::vector<std::string> hidden;  // real paths, emptied where the system shown holds them
    bool as_root = false;             // bwrap runs with root's privileges, not in a user namespace
    unsigned uid = 0;                 // when as_root: the user the program runs as
    int control_fd = -1;              // the grader's requests and the launcher's reports
    int info_fd = -1;                 // bwrap tells the sandbox's first process here
    Limits limits;
    bool keep_errors = false;     // the programs' standard error goes to bwrap's, not /dev/null
    bool workdir_on_disk = false; // the host's workdir bound writable instead of one in memory
};

// The whole bwrap command line, bwrap first: new PID, network, IPC and UTS namespaces, a new
// session, death with the grader, a fresh /tmp, /proc and /dev, the system read-only but for the
// hidden folders, the working folder in memory, and the launcher as the sandbox's first process. As
// root it becomes the unprivileged user; then it runs the programs the grader asks for, one at a
// time, each under the limits.
std::vector<std::string> sandbox_arguments(const SandboxPlan &plan);

// The launcher's arguments after its path: control descriptor, user, working folder, limits;
// parse_launch reads them back (false on anything malformed).
struct LaunchPlan
{
    int control_fd = -1;
    unsigned uid = 0;    // 0: keep the current user
    std::string workdir; // entered as that user: the folder is that user's alone
    Limits limits;
    bool keep_errors = false; // an eighth argument, "errors"
};
std::vector<std::string> launch_arguments(const LaunchPlan &plan);
bool parse_launch(const std::vector<std::string> &arguments, LaunchPlan &plan);

// A request to the launcher, on the control descriptor: the length of the rest in four bytes
// (host order), then, each ended by a NUL byte, the number of answer files, their names in the
// working folder, the program and its arguments. The launcher removes the answer files before
// it runs the program and hands back their first lines after.
inline constexpr std::size_t max_request_bytes = std::size_t(4) << 20;
struct Request
{
    std::vector<std::string> argv;
    std::vector<std::string> answer_files; // plain names: no slash, not "." or ".."
};
std::string encode_request(const Request &request);
// The request of a body (after the length); false when malformed.
bool decode_request(const std::string &body, Request &request);

// What the launcher answers a request with, once the program and everything it started have
// ended: the program could not be started (value is errno), it ended (value is its wait status),
// or the launcher could not run it (value is errno; not the program's fault). The grader's child
// writes SandboxFailed on the control descriptor when bwrap itself cannot be started.
struct LaunchReport
{
    enum Kind : int { ExecFailed = 1, Ended = 2, SandboxFailed = 3, LaunchFailed = 4 };
    int kind = 0;
    int value = 0;
};

// The launcher's answer: the report, then for each answer file of the request its length in four
// bytes (host order; all ones for none) and its first line, line feed included, up to
// max_answer_line bytes.
inline constexpr std::size_t max_answer_line = std::size_t(16) << 20;
inline constexpr std::uint32_t no_answer_file = 0xFFFFFFFF;
using AnswerFiles = std::vector<std::optional<std::string>>;
std::string encode_answer(const LaunchReport &report, const AnswerFiles &files);
// Reads an answer for `count` files from the bytes received so far: 1 once it is whole, 0 while
// more is to come, -1 when malformed.
int decode_answer(const std::string &bytes, std::size_t count, LaunchReport &report,
                  AnswerFiles &files);

// Sets the limits on the calling process (they pass on to what it starts). A limit of processes
// counts every process of the real user, so it is set only where that user runs nothing else:
// `count_processes` false leaves it alone.
bool apply_limits(const Limits &limits, bool count_processes);
