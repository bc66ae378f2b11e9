#pragma once

// A C++ lexer for comparing students' sources, not for compiling them: what a renaming, a new
// layout or new comments change is thrown away, what the program does is kept. Comments go;
// string, character and number literals are one token each of their kind whatever they say;
// every identifier is one kind (its spelling stays for display); keywords and punctuators are
// themselves, digraphs and alternative tokens as what they stand for; a preprocessor line is one
// token. Plain C++, no Qt: student files are hostile, so the lexer takes any bytes, runs in time
// linear in their size and stops after a bounded number of tokens.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TokenKind : std::uint8_t {
    Identifier,
    Keyword,
    Punctuator,
    String, // also an unterminated one, which runs to its line's end
    Char,
    Number,
    Directive, // a whole preprocessor line, splices and comments included
};

struct Token
{
    TokenKind kind;
    // What the comparison sees: the same for every identifier and every literal of a kind, one
    // value per keyword and per punctuator ('<:' and '[' share theirs, 'and' and '&&' too).
    std::uint16_t id;
    // Where the spelling is in LexedSource::text, which has the line splices taken out.
    std::uint32_t offset;
    std::uint32_t length;
    // Lines of the source as handed in (counted before splices are taken out), from 1.
    std::uint32_t line;
    std::uint32_t last_line;
};

struct LexedSource
{
    std::string text; // the source with every backslash-newline removed
    std::vector<Token> tokens;
    bool truncated = false; // more than the bound of tokens: the rest was not lexed

    std::string_view spelling(const Token &t) const { return {text.data() + t.offset, t.length}; }
};

// A student's tokens beyond this are not compared: a real solution has a few thousand, and one
// source of millions must not hold up the class.
constexpr std::size_t default_max_tokens = 200000;

LexedSource lex_cpp(std::string_view source, std::size_t max_tokens = default_max_tokens);

// The keyword or punctuator a token id stands for ('[' for '<:'); empty for the other kinds.
std::string_view token_id_text(std::uint16_t id);
