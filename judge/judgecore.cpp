#include "judge/judgecore.h"

#include "judge/exercise.h"
#include "judge/utf8.h"

#include <algorithm>
#include <cstring>

std::string program_stem(const std::string &command_s)
{
    return command_s.substr(0, command_s.find(".exe"));
}

CaseFiles case_files(const std::string &location_s, const std::string &command_s,
                     const std::string &input, const std::string &workdir)
{
    CaseFiles files;
    files.stem = program_stem(command_s);
    files.program_path = location_s + files.stem + ".exe";
    files.workdir_output = workdir + files.stem + ".txt";
    files.dir_output = location_s + files.stem + ".txt";
    files.command_line = location_s + command_s + input;
    return files;
}

std::string reference_prefix(int flag_stack)
{
    const std::optional<Exercise> exercise = exercise_from_number(flag_stack);
    return exercise ? "./resource/" + reference_file_name(*exercise) + " " : std::string();
}

std::size_t length_before_nul(const char *data, std::size_t size)
{
    const void *nul = std::memchr(data, '\0', size);
    return nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - data) : size;
}

std::string first_line(const std::string &content)
{
    const std::size_t end = content.find('\n');
    if (end == std::string::npos)
        return content;
    const bool crlf = end > 0 && content[end - 1] == '\r';
    return content.substr(0, crlf ? end - 1 : end);
}

std::string normalise_answer(std::string text)
{
    const std::size_t lf = text.find('\n');
    if (lf != std::string::npos)
        text.erase(lf, 1);
    const std::size_t cr = text.find('\r');
    if (cr != std::string::npos)
        text.erase(cr, 1);
    return text;
}

namespace {

// The next word of `text` at or after `pos`, moving `pos` past it; empty at the end.
std::string_view next_word(std::string_view text, std::size_t &pos)
{
    const std::size_t start = text.find_first_not_of(' ', pos);
    if (start == std::string_view::npos) {
        pos = text.size();
        return {};
    }
    pos = std::min(text.find(' ', start), text.size());
    return text.substr(start, pos - start);
}

} // namespace

std::vector<std::string> split_tokens(const std::string &text)
{
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    for (std::string_view word = next_word(text, pos); !word.empty(); word = next_word(text, pos))
        tokens.emplace_back(word);
    return tokens;
}

namespace {

// The length of the common beginning of two texts, a block at a time.
std::size_t common_prefix(std::string_view a, std::string_view b)
{
    constexpr std::size_t block = 4096;
    const std::size_t limit = std::min(a.size(), b.size());
    std::size_t pos = 0;
    while (pos + block <= limit && std::memcmp(a.data() + pos, b.data() + pos, block) == 0)
        pos += block;
    while (pos < limit && a[pos] == b[pos])
        ++pos;
    return pos;
}

} // namespace

AnswerComparison compare_answers(std::string_view student_text, std::string_view reference_text)
{
    // Equal bytes make equal words: skip the common beginning to the start of the word it ends
    // in, and compare word by word only from there.
    const std::size_t common = common_prefix(student_text, reference_text);
    const std::size_t blank
        = common == 0 ? std::string_view::npos : student_text.find_last_of(' ', common - 1);
    const std::size_t start = blank == std::string_view::npos ? 0 : blank + 1;
    AnswerComparison result;
    std::size_t student_pos = start;
    std::size_t reference_pos = start;
    for (std::size_t index = 0;; ++index) {
        const std::string_view student = next_word(student_text, student_pos);
        const std::string_view reference = next_word(reference_text, reference_pos);
        if (student.empty() && reference.empty())
            return result;
        if (student != reference) {
            // Only now count the words skipped with the common beginning.
            const std::string_view skipped = student_text.substr(0, start);
            std::size_t pos = 0;
            while (!next_word(skipped, pos).empty())
                ++index;
            result.index = index;
            result.student_word = student;
            result.reference_word = reference;
            return result;
        }
    }
}

std::string shown_answer(const std::string &answer)
{
    if (answer.size() <= shown_answer_limit)
        return answer;
    const std::size_t cut = utf8_cut(answer, shown_answer_limit);
    return answer.substr(0, cut) + "……（共 " + std::to_string(answer.size()) + " 字节，只显示前 "
           + std::to_string(cut) + " 字节）";
}

std::string judgement_report(const std::string &student_text, const std::string &reference_text,
                             bool correct)
{
    return "用户输出:" + shown_answer(student_text) + "\n标准输出:" + shown_answer(reference_text)
           + "\n" + (correct ? "答案正确！\n" : "答案错误！\n");
}
