#include "judge/judgecore.h"

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
    switch (flag_stack) {
    case 0:
        return "./resource/a.exe ";
    case 1:
        return "./resource/b.exe ";
    case 2:
        return "./resource/c.exe ";
    default:
        return std::string();
    }
}

std::string until_nul(const char *data, std::size_t size)
{
    const void *nul = std::memchr(data, '\0', size);
    return std::string(data, nul ? static_cast<const char *>(nul) - data : size);
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

std::vector<std::string> split_tokens(const std::string &text)
{
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = text.find_first_not_of(' ', pos);
        if (start == std::string::npos)
            break;
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        tokens.emplace_back(text, start, end - start);
        pos = end;
    }
    return tokens;
}

std::size_t first_difference(const std::vector<std::string> &student,
                             const std::vector<std::string> &reference)
{
    const std::size_t common = std::min(student.size(), reference.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (student[i] != reference[i])
            return i;
    }
    return student.size() == reference.size() ? std::string::npos : common;
}

std::string judgement_report(const std::string &student_text, const std::string &reference_text,
                             bool correct)
{
    return "用户输出:" + student_text + "\n标准输出:" + reference_text + "\n"
           + (correct ? "答案正确！\n" : "答案错误！\n");
}
