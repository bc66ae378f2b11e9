#include "explore/literals.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace {

bool is_name_char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The value of a preprocessing number such as 1'000, 0x7fff, 017, 0b101 or 100u; nothing for a
// floating literal or a malformed one.
bool integer_literal(std::string token, long long &value)
{
    token.erase(std::remove(token.begin(), token.end(), '\''), token.end());
    while (!token.empty() && std::string("uUlLzZ").find(token.back()) != std::string::npos)
        token.pop_back();
    int base = 10;
    std::size_t first = 0;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
        base = 16, first = 2;
    else if (token.size() > 2 && token[0] == '0' && (token[1] == 'b' || token[1] == 'B'))
        base = 2, first = 2;
    else if (token.size() > 1 && token[0] == '0')
        base = 8, first = 1;
    if (first == token.size())
        return false;
    unsigned long long n = 0;
    for (std::size_t i = first; i < token.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(token[i])));
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : c >= 'a' && c <= 'f'                      ? c - 'a' + 10
                                                                      : 99;
        // A '.', an exponent or anything else out of place: not an integer.
        if (digit >= base)
            return false;
        if (n > (static_cast<unsigned long long>(std::numeric_limits<long long>::max()) - digit)
                    / static_cast<unsigned>(base))
            return false;
        n = n * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    value = static_cast<long long>(n);
    return true;
}

// The index after the literal opened by the quote at `i`: its closing quote, a backslash
// escaping the next character, or the line's end for an unclosed one.
std::size_t after_quoted(const std::string &text, std::size_t i)
{
    const char quote = text[i];
    for (++i; i < text.size() && text[i] != '\n'; ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == quote)
            return i + 1;
    }
    return i;
}

// The index after the raw string literal whose quote is at `i`: R"delimiter( ... )delimiter".
std::size_t after_raw(const std::string &text, std::size_t i)
{
    const std::size_t open = text.find('(', i);
    if (open == std::string::npos)
        return text.size();
    const std::string close = ')' + text.substr(i + 1, open - i - 1) + '"';
    const std::size_t end = text.find(close, open);
    return end == std::string::npos ? text.size() : end + close.size();
}

void harvest(const std::string &text, Dictionary &numbers)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == '/' && next == '/') {
            i = std::min(text.find('\n', i), text.size());
        } else if (c == '/' && next == '*') {
            const std::size_t end = text.find("*/", i + 2);
            i = end == std::string::npos ? text.size() : end + 2;
        } else if (c == '"' || c == '\'') {
            i = after_quoted(text, i);
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            const std::size_t start = i;
            while (i < text.size() && is_name_char(text[i]))
                ++i;
            const std::string name = text.substr(start, i - start);
            const bool raw
                = name == "R" || name == "u8R" || name == "uR" || name == "UR" || name == "LR";
            if (raw && i < text.size() && text[i] == '"')
                i = after_raw(text, i);
        } else if (std::isdigit(static_cast<unsigned char>(c))
                   || (c == '.' && std::isdigit(static_cast<unsigned char>(next)))) {
            // A preprocessing number: digits, letters, '.', separators, and a sign after an
            // exponent.
            const std::size_t start = i;
            for (++i; i < text.size(); ++i) {
                const char d = text[i];
                const char before = text[i - 1];
                const bool sign
                    = (d == '+' || d == '-')
                      && (before == 'e' || before == 'E' || before == 'p' || before == 'P');
                const bool separator
                    = d == '\'' && i + 1 < text.size() && is_name_char(text[i + 1]);
                if (!is_name_char(d) && d != '.' && !sign && !separator)
                    break;
            }
            long long value = 0;
            if (integer_literal(text.substr(start, i - start), value))
                numbers.push_back(value);
        } else {
            ++i;
        }
    }
}

} // namespace

Dictionary source_numbers(const std::vector<std::string> &texts)
{
    Dictionary numbers;
    for (const std::string &text : texts)
        harvest(text, numbers);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}
