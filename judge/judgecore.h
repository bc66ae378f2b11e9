#pragma once

// Byte-level rules of judging one case. Everything here is pure: no files, no processes, no
// widgets. Texts are byte strings holding whatever the programs printed.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The file names and command line of one case.
struct CaseFiles
{
    std::string stem;           // the program name cut at its first ".exe"
    std::string program_path;   // directory + stem + ".exe": what must exist
    std::string workdir_output; // stem + ".txt" in the working directory
    std::string dir_output;     // directory + stem + ".txt"
    std::string command_line;   // directory + name as given + options
};

// The program name cut at its first ".exe" (case-sensitive); the whole name without one.
std::string program_stem(const std::string &command_s);

// `location_s` is the program's directory ending in "/" (or empty), `workdir` the directory the
// programs run in, likewise ending in "/", or empty for the current one.
CaseFiles case_files(const std::string &location_s, const std::string &command_s,
                     const std::string &input, const std::string &workdir = std::string());

// The command-line prefix of the reference program for an exercise (0 stack, 1 queue, 2 queue
// simulated by stacks), ending in one blank; empty for any other value.
std::string reference_prefix(int flag_stack);

// How many bytes come before the first NUL, as a C string reads them.
std::size_t length_before_nul(const char *data, std::size_t size);

inline std::string until_nul(const char *data, std::size_t size)
{
    return std::string(data, length_before_nul(data, size));
}

// The first line of a file's content read in text mode: up to the first line feed, without it;
// a carriage return right before that line feed belongs to the line end, not to the line.
std::string first_line(const std::string &content);

// Deletes the first line feed, then the first carriage return; nothing else is trimmed.
std::string normalise_answer(std::string text);

// The words of a text: every blank (0x20) separates, empty pieces are dropped. Tabs, carriage
// returns and line feeds are ordinary bytes of the word they stand in.
std::vector<std::string> split_tokens(const std::string &text);

// Where two answers first differ word by word: `index` is the position of the first unequal word,
// or the length of the shorter answer when one is a prefix of the other; npos when they are
// equal. The two words at that position are views into the texts (empty past an answer's end).
// Works through the texts without building word lists, so huge answers cost no extra memory.
struct AnswerComparison
{
    std::size_t index = std::string::npos;
    std::string_view student_word;
    std::string_view reference_word;
    bool equal() const { return index == std::string::npos; }
};
AnswerComparison compare_answers(std::string_view student_text, std::string_view reference_text);

// An answer as the output area shows it: whole up to `shown_answer_limit` bytes; longer ones are
// cut there (at a character boundary) and followed by a note of their full size. Laying out
// megabytes of text would freeze the window for minutes; the verdict is always on all bytes.
inline constexpr std::size_t shown_answer_limit = 10000;
std::string shown_answer(const std::string &answer);

// The text appended after a comparison: both answers (as shown_answer gives them) and the
// verdict.
std::string judgement_report(const std::string &student_text, const std::string &reference_text,
                             bool correct);
