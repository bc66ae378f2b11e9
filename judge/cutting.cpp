#include "judge/cutting.h"

std::vector<std::string> &split_string(const std::string &text, char delimiter,
                                       std::vector<std::string> &parts, bool drop_empty)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(delimiter, start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start || !drop_empty)
            parts.emplace_back(text, start, end - start);
        start = end + 1;
    }
    return parts;
}

std::string program_directory(const std::string &location)
{
    const std::size_t slash = location.rfind('/');
    return slash == std::string::npos ? std::string() : location.substr(0, slash + 1);
}

std::pair<std::string, std::string> split_command(const std::string &typed)
{
    const std::size_t start = typed.find_first_not_of(' ');
    if (start == std::string::npos)
        return {};
    const std::size_t blank = typed.find(' ', start);
    if (blank == std::string::npos)
        return {typed.substr(start), std::string()};
    return {typed.substr(start, blank - start), typed.substr(blank)};
}

std::string suite_program_name(const std::string &location)
{
    std::vector<std::string> parts;
    split_string(location, '/', parts, true);
    return parts.empty() ? std::string() : parts.back();
}
