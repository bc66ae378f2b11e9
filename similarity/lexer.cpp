#include "similarity/lexer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

// Ids 0..4 are the kinds that compare equal whatever they spell; keywords and punctuators follow.
enum : std::uint16_t { id_identifier, id_string, id_char, id_number, id_directive, id_first_word };

// The keywords of C++20.
constexpr std::string_view words[]
    = {"alignas",       "alignof",     "asm",       "auto",      "bool",         "break",
       "case",          "catch",       "char",      "char8_t",   "char16_t",     "char32_t",
       "class",         "concept",     "const",     "consteval", "constexpr",    "constinit",
       "const_cast",    "continue",    "co_await",  "co_return", "co_yield",     "decltype",
       "default",       "delete",      "do",        "double",    "dynamic_cast", "else",
       "enum",          "explicit",    "export",    "extern",    "false",        "float",
       "for",           "friend",      "goto",      "if",        "inline",       "int",
       "long",          "mutable",     "namespace", "new",       "noexcept",     "nullptr",
       "operator",      "private",     "protected", "public",    "register",     "reinterpret_cast",
       "requires",      "return",      "short",     "signed",    "sizeof",       "static",
       "static_assert", "static_cast", "struct",    "switch",    "template",     "this",
       "thread_local",  "throw",       "true",      "try",       "typedef",      "typeid",
       "typename",      "union",       "unsigned",  "using",     "virtual",      "void",
       "volatile",      "wchar_t",     "while"};
constexpr std::size_t keyword_count = std::size(words);

constexpr std::string_view punctuators[]
    = {"{",  "}",   "[",  "]",  "(",  ")",  ";",   ":",   "...", "?",  "::", ".", ".*",
       "->", "->*", "~",  "!",  "+",  "-",  "*",   "/",   "%",   "^",  "&",  "|", "=",
       "+=", "-=",  "*=", "/=", "%=", "^=", "&=",  "|=",  "==",  "!=", "<",  ">", "<=",
       ">=", "<=>", "&&", "||", "<<", ">>", "<<=", ">>=", "++",  "--", ",",  "#", "##"};
constexpr std::size_t punctuator_count = std::size(punctuators);
constexpr std::uint16_t id_first_punctuator = id_first_word + keyword_count;

struct Spelling
{
    std::string_view text;
    std::string_view means;
};
// Digraphs and alternative tokens: other spellings of the punctuators above.
constexpr std::array<Spelling, 6> digraphs
    = {{{"<%", "{"}, {"%>", "}"}, {"<:", "["}, {":>", "]"}, {"%:", "#"}, {"%:%:", "##"}}};
constexpr std::array<Spelling, 11> alternatives = {{{"and", "&&"},
                                                    {"and_eq", "&="},
                                                    {"bitand", "&"},
                                                    {"bitor", "|"},
                                                    {"compl", "~"},
                                                    {"not", "!"},
                                                    {"not_eq", "!="},
                                                    {"or", "||"},
                                                    {"or_eq", "|="},
                                                    {"xor", "^"},
                                                    {"xor_eq", "^="}}};

std::uint16_t punctuator_id(std::string_view p)
{
    for (std::size_t i = 0; i < punctuator_count; ++i) {
        if (punctuators[i] == p)
            return static_cast<std::uint16_t>(id_first_punctuator + i);
    }
    return id_identifier; // not reached for the tables above
}

// Per first byte, the punctuators' spellings that start with it, longest first.
struct PunctuatorTable
{
    struct Entry
    {
        std::string_view text;
        std::uint16_t id;
    };
    std::array<std::vector<Entry>, 256> by_first;

    PunctuatorTable()
    {
        auto add = [this](std::string_view text, std::string_view means) {
            by_first[static_cast<unsigned char>(text[0])].push_back({text, punctuator_id(means)});
        };
        for (std::size_t i = 0; i < punctuator_count; ++i)
            add(punctuators[i], punctuators[i]);
        for (const Spelling &d : digraphs)
            add(d.text, d.means);
        for (auto &list : by_first) {
            std::stable_sort(list.begin(), list.end(), [](const Entry &a, const Entry &b) {
                return a.text.size() > b.text.size();
            });
        }
    }
};

const PunctuatorTable &punctuator_table()
{
    static const PunctuatorTable table;
    return table;
}

std::uint16_t word_id(std::string_view word, TokenKind &kind)
{
    // Few enough to search: identifiers are most tokens, and most fail on the first byte.
    for (std::size_t i = 0; i < keyword_count; ++i) {
        if (words[i] == word) {
            kind = TokenKind::Keyword;
            return static_cast<std::uint16_t>(id_first_word + i);
        }
    }
    for (const Spelling &a : alternatives) {
        if (a.text == word) {
            kind = TokenKind::Punctuator;
            return punctuator_id(a.means);
        }
    }
    kind = TokenKind::Identifier;
    return id_identifier;
}

bool is_hex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}
// Letters, '_', '$' and every byte of a UTF-8 sequence: an identifier may be written in any
// script, and junk bytes become one harmless identifier rather than many tokens.
bool starts_identifier(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$'
           || static_cast<unsigned char>(c) >= 0x80;
}
bool continues_identifier(char c)
{
    return starts_identifier(c) || is_digit(c);
}

// Removes every backslash-newline (blanks between them allowed, as compilers do), keeping where
// each one was so that tokens still tell the lines as handed in.
std::string remove_splices(std::string_view in, std::vector<std::uint32_t> &splices)
{
    std::string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        const std::size_t slash = in.find('\\', i);
        if (slash == std::string_view::npos) {
            out.append(in.substr(i));
            break;
        }
        out.append(in.substr(i, slash - i));
        std::size_t j = slash + 1;
        while (j < in.size() && (in[j] == ' ' || in[j] == '\t'))
            ++j;
        if (j < in.size() && in[j] == '\r' && j + 1 < in.size() && in[j + 1] == '\n')
            ++j;
        if (j < in.size() && in[j] == '\n') {
            splices.push_back(static_cast<std::uint32_t>(out.size()));
            i = j + 1;
        } else {
            out.push_back('\\');
            i = slash + 1;
        }
    }
    return out;
}

class Lexer
{
public:
    Lexer(std::string_view source, std::size_t max_tokens)
        : max_tokens(max_tokens)
    {
        // Offsets are 32 bits; no real source comes near, a hostile one is cut.
        const std::size_t limit = std::numeric_limits<std::uint32_t>::max() / 2;
        if (source.size() > limit) {
            source = source.substr(0, limit);
            out.truncated = true;
        }
        out.text = remove_splices(source, splices);
        text = out.text;
    }

    LexedSource run()
    {
        bool line_start = true;
        while (pos < text.size()) {
            const char c = text[pos];
            if (c == '\n') {
                line_start = true;
                ++pos;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\0') {
                ++pos;
            } else if (text.compare(pos, 2, "//") == 0) {
                skip_to_line_end();
            } else if (text.compare(pos, 2, "/*") == 0) {
                skip_block_comment();
            } else {
                // The bound is checked before a token, not after: a bound of none lexes nothing.
                if (out.tokens.size() >= max_tokens) {
                    out.truncated = true;
                    break;
                }
                if (line_start && (c == '#' || text.compare(pos, 2, "%:") == 0)) {
                    directive();
                } else if (!token()) {
                    ++pos; // a byte no token starts with: '@', '`', a control character
                }
                line_start = false;
            }
        }
        return std::move(out);
    }

private:
    void skip_to_line_end()
    {
        const std::size_t nl = text.find('\n', pos);
        pos = nl == std::string_view::npos ? text.size() : nl;
    }

    void skip_block_comment()
    {
        const std::size_t end = text.find("*/", pos + 2);
        pos = end == std::string_view::npos ? text.size() : end + 2;
    }

    // The line number of a position of the spliced text, for positions that never go back.
    std::uint32_t line_at(std::size_t at)
    {
        if (at > text.size())
            at = text.size();
        if (at > counted) {
            newlines += static_cast<std::uint32_t>(
                std::count(text.begin() + static_cast<std::ptrdiff_t>(counted),
                           text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
            counted = at;
        }
        while (next_splice < splices.size() && splices[next_splice] <= at)
            ++next_splice;
        return 1 + newlines + static_cast<std::uint32_t>(next_splice);
    }

    void emit(TokenKind kind, std::uint16_t id, std::size_t begin, std::size_t end)
    {
        Token t{};
        t.kind = kind;
        t.id = id;
        t.offset = static_cast<std::uint32_t>(begin);
        t.length = static_cast<std::uint32_t>(end - begin);
        t.line = line_at(begin);
        // The last byte's line: a token that ends a line does not belong to the next.
        t.last_line = end > begin ? line_at(end - 1) : t.line;
        out.tokens.push_back(t);
        pos = end;
    }

    void directive()
    {
        const std::size_t begin = pos;
        std::size_t i = pos;
        while (i < text.size() && text[i] != '\n') {
            if (text.compare(i, 2, "/*") == 0) {
                const std::size_t end = text.find("*/", i + 2);
                i = end == std::string_view::npos ? text.size() : end + 2;
            } else if (text.compare(i, 2, "//") == 0) {
                const std::size_t nl = text.find('\n', i);
                i = nl == std::string_view::npos ? text.size() : nl;
            } else if (text[i] == '"' || text[i] == '\'') {
                i = quoted_end(i);
            } else {
                ++i;
            }
        }
        std::size_t end = i;
        while (end > begin
               && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r'))
            --end;
        emit(TokenKind::Directive, id_directive, begin, end);
    }

    // The end of a quoted literal starting at 'at', after its closing quote; an unterminated one
    // ends where its line does.
    std::size_t quoted_end(std::size_t at, bool *terminated = nullptr) const
    {
        const char quote = text[at];
        std::size_t i = at + 1;
        while (i < text.size()) {
            const char c = text[i];
            if (c == quote) {
                if (terminated)
                    *terminated = true;
                return i + 1;
            }
            if (c == '\n')
                break;
            i += (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n') ? 2 : 1;
        }
        if (terminated)
            *terminated = false;
        return i;
    }

    std::size_t suffix_end(std::size_t i) const
    {
        if (i < text.size() && starts_identifier(text[i]))
            return identifier_end(i);
        return i;
    }

    void quoted(std::size_t begin, std::size_t quote_at)
    {
        bool terminated = false;
        std::size_t end = quoted_end(quote_at, &terminated);
        if (terminated)
            end = suffix_end(end);
        if (text[quote_at] == '"')
            emit(TokenKind::String, id_string, begin, end);
        else
            emit(TokenKind::Char, id_char, begin, end);
    }

    // R"delimiter( ... )delimiter": false when the delimiter is not one, and the R is then an
    // identifier of its own.
    bool raw_string(std::size_t begin, std::size_t quote_at)
    {
        const std::size_t open = text.find_first_of("( )\\\t\n\"", quote_at + 1);
        if (open == std::string_view::npos || text[open] != '(' || open - quote_at - 1 > 16)
            return false;
        std::string closing = ")";
        closing.append(text.substr(quote_at + 1, open - quote_at - 1));
        closing.push_back('"');
        const std::size_t close = text.find(closing, open + 1);
        const std::size_t end
            = close == std::string_view::npos ? text.size() : suffix_end(close + closing.size());
        emit(TokenKind::String, id_string, begin, end);
        return true;
    }

    std::size_t identifier_end(std::size_t i) const
    {
        while (i < text.size()) {
            if (continues_identifier(text[i])) {
                ++i;
            } else if (text[i] == '\\' && i + 1 < text.size()
                       && (text[i + 1] == 'u' || text[i + 1] == 'U')) {
                const std::size_t digits = text[i + 1] == 'u' ? 4 : 8;
                std::size_t j = i + 2;
                while (j < text.size() && j - i - 2 < digits && is_hex(text[j]))
                    ++j;
                if (j - i - 2 != digits)
                    break;
                i = j;
            } else {
                break;
            }
        }
        return i;
    }

    bool starts_ucn(std::size_t i) const
    {
        if (text[i] != '\\' || i + 1 >= text.size() || (text[i + 1] != 'u' && text[i + 1] != 'U'))
            return false;
        const std::size_t digits = text[i + 1] == 'u' ? 4 : 8;
        for (std::size_t j = 0; j < digits; ++j) {
            if (i + 2 + j >= text.size() || !is_hex(text[i + 2 + j]))
                return false;
        }
        return true;
    }

    void number()
    {
        std::size_t i = pos + 1;
        while (i < text.size()) {
            const char c = text[i];
            if ((c == '+' || c == '-')
                && (text[i - 1] == 'e' || text[i - 1] == 'E' || text[i - 1] == 'p'
                    || text[i - 1] == 'P')) {
                ++i;
            } else if (c == '\'' && i + 1 < text.size() && continues_identifier(text[i + 1])
                       && static_cast<unsigned char>(text[i + 1]) < 0x80) {
                i += 2;
            } else if (c == '.' || is_digit(c)
                       || (continues_identifier(c) && static_cast<unsigned char>(c) < 0x80)) {
                ++i;
            } else {
                break;
            }
        }
        emit(TokenKind::Number, id_number, pos, i);
    }

    bool token()
    {
        const char c = text[pos];
        if (is_digit(c) || (c == '.' && pos + 1 < text.size() && is_digit(text[pos + 1]))) {
            number();
            return true;
        }
        if (c == '"' || c == '\'') {
            quoted(pos, pos);
            return true;
        }
        if (starts_identifier(c) || starts_ucn(pos)) {
            const std::size_t end = identifier_end(pos);
            const std::string_view word = text.substr(pos, end - pos);
            if (end < text.size() && (text[end] == '"' || text[end] == '\'')) {
                const bool prefix = word == "u8" || word == "u" || word == "U" || word == "L";
                const bool raw_prefix
                    = word == "R" || word == "u8R" || word == "uR" || word == "UR" || word == "LR";
                if (prefix) {
                    quoted(pos, end);
                    return true;
                }
                if (raw_prefix && text[end] == '"' && raw_string(pos, end))
                    return true;
            }
            TokenKind kind;
            const std::uint16_t id = word_id(word, kind);
            emit(kind, id, pos, end);
            return true;
        }
        for (const auto &entry : punctuator_table().by_first[static_cast<unsigned char>(c)]) {
            if (text.compare(pos, entry.text.size(), entry.text) != 0)
                continue;
            // '<::' is '<' and '::' unless '<::' is followed by ':' or '>' (std::vector<::T>).
            if (entry.text == "<:" && text.compare(pos, 3, "<::") == 0
                && (pos + 3 >= text.size() || (text[pos + 3] != ':' && text[pos + 3] != '>')))
                continue;
            emit(TokenKind::Punctuator, entry.id, pos, pos + entry.text.size());
            return true;
        }
        return false;
    }

    LexedSource out;
    std::string_view text;
    std::vector<std::uint32_t> splices;
    std::size_t max_tokens;
    std::size_t pos = 0;
    std::size_t counted = 0;
    std::uint32_t newlines = 0;
    std::size_t next_splice = 0;
};

} // namespace

LexedSource lex_cpp(std::string_view source, std::size_t max_tokens)
{
    return Lexer(source, max_tokens).run();
}

std::string_view token_id_text(std::uint16_t id)
{
    if (id >= id_first_word && id < id_first_punctuator)
        return words[id - id_first_word];
    if (id >= id_first_punctuator && id < id_first_punctuator + punctuator_count)
        return punctuators[id - id_first_punctuator];
    return {};
}
