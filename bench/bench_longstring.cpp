// Where the time of one graded run on a long option string goes: the longest of the first N
// generated strings (seed 1), run again and again in one kept sandbox, against a bare launcher
// (posix_spawn, a pipe, read to the end, waitpid) running the same program on the same words;
// then the grader's own steps on that string alone (splitting the line, the request to the
// launcher, comparing the answers), each timed without a program run.
//
//   bench_longstring [--strings N] [--runs N] [--sandbox-only]

#include "explore/cases.h"
#include "grading/explorer.h"
#include "judge/judgecore.h"
#include "sandbox/sandbox.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

[[noreturn]] void fail(const char *message)
{
    std::fprintf(stderr, "bench_longstring: %s\n", message);
    std::exit(1);
}

// What the bare launcher read, so that the answers can be compared as the grader compares them.
std::string launch(const std::vector<std::string> &words, const char *workdir)
{
    std::vector<char *> argv;
    for (const std::string &word : words)
        argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0)
        fail("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    posix_spawn_file_actions_addchdir_np(&actions, workdir);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        fail("cannot start the program");
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    std::string output;
    char buffer[65536];
    for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe_fds[0]);
    int status;
    ::waitpid(pid, &status, 0);
    return output;
}

// The best time of `runs` calls of `step`, in microseconds.
double best_of(int runs, const std::function<void()> &step)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e3);
    }
    return best;
}

void row(const char *what, double us, std::size_t words)
{
    std::printf("%-52s %10.0f %10.3f\n", what, us, us / static_cast<double>(words));
}

} // namespace

int main(int argc, char **argv)
{
    int strings = 500, runs = 100;
    bool sandbox_only = false;
    for (int i = 1; i < argc; i += 2) {
        if (std::strcmp(argv[i], "--sandbox-only") == 0) {
            sandbox_only = true;
            --i;
        } else if (i + 1 == argc) {
            fail("usage: bench_longstring [--strings N] [--runs N] [--sandbox-only]");
        } else if (std::strcmp(argv[i], "--strings") == 0)
            strings = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::atoi(argv[i + 1]);
        else
            fail("usage: bench_longstring [--strings N] [--runs N] [--sandbox-only]");
    }
    const std::vector<Words> cases = generate_cases(Exercise::Stack, 1, strings);
    const Words &longest
        = *std::max_element(cases.begin(), cases.end(),
                            [](const Words &a, const Words &b) { return a.size() < b.size(); });
    const std::string options = options_line(longest);

    QTemporaryDir dir;
    Grading grading;
    grading.exercise = Exercise::Stack;
    grading.reference_path
        = std::string(ORVIMET_RESOURCE_DIR "/") + reference_file_name(grading.exercise);
    const std::string scratch = dir.path().toStdString() + "/";
    const std::string student = ORVIMET_FAULTY_DIR "/stack-crlf/stack.exe";
    const StudentProgram program = student_program(student);

    std::vector<std::string> bare{student};
    bare.insert(bare.end(), longest.begin(), longest.end());
    const std::string reference_text = launch(
        [&] {
            std::vector<std::string> words{grading.reference_path};
            words.insert(words.end(), longest.begin(), longest.end());
            return words;
        }(),
        scratch.c_str());
    std::string student_output = launch(bare, scratch.c_str());
    if (!compare_answers(normalise_answer(student_output), reference_text).equal())
        fail("the harmless program's answer differs from the reference's");

    std::printf("The longest of %d strings: %zu words, %zu bytes; answer %zu bytes; best of %d\n",
                strings, longest.size(), options.size(), reference_text.size(), runs);
    std::printf("%-52s %10s %10s\n", "", "us", "us / word");
    const std::size_t n = longest.size();
    if (sandbox_only) {
        // For a profiler: the graded runs alone.
        row("run_student, kept sandbox",
            best_of(runs, [&] { run_student(grading, program, options, scratch); }), n);
        return 0;
    }
    row("bare launcher (posix_spawn, pipe, read)",
        best_of(runs, [&] { launch(bare, scratch.c_str()); }), n);
    row("run_student, kept sandbox",
        best_of(runs, [&] { run_student(grading, program, options, scratch); }), n);
    row("judge_case (reference answer known)",
        best_of(runs, [&] { judge_case(grading, program, options, reference_text, scratch); }), n);
    row("option_words", best_of(runs, [&] { option_words(options); }), n);
    const std::vector<std::string> words = option_words(options);
    Request request{bare, {"stack.txt"}};
    row("encode_request", best_of(runs, [&] { encode_request(request); }), n);
    const std::string encoded = encode_request(request);
    const std::string body = encoded.substr(sizeof(std::uint32_t));
    row("decode_request",
        best_of(runs,
                [&] {
                    Request decoded;
                    decode_request(body, decoded);
                }),
        n);
    row("generate_cases, all the strings (per word of the longest)",
        best_of(std::max(1, runs / 10), [&] { generate_cases(Exercise::Stack, 1, strings); }), n);
    row("compare_answers", best_of(runs, [&] { compare_answers(student_output, reference_text); }),
        n);
    return 0;
}
