#include "exercise.h"

#include <charconv>
#include <cstdio>

std::optional<Value> parse_value(std::string_view word)
{
    Value value = 0;
    const char *end = word.data() + word.size();
    // from_chars takes exactly an optional minus sign and digits, and reports values out of range.
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    if (word.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

bool is_option(std::string_view word)
{
    return word.size() == 2 && word[0] == '-'
           && std::string_view("SIOACNG").find(word[1]) != std::string_view::npos;
}

Words::Words(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        words_.emplace_back(argv[i]);
}

std::optional<Value> Words::value()
{
    if (at_end())
        return std::nullopt;
    return parse_value(take());
}

std::optional<std::size_t> Words::count()
{
    const auto number = value();
    if (!number || *number < 0)
        return std::nullopt;
    return static_cast<std::size_t>(*number);
}

void Answer::word(std::string_view text)
{
    if (!first_)
        std::fputc(' ', stdout);
    first_ = false;
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void Answer::number(long long value)
{
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    (void)error; // 24 characters hold any long long
    word(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}
