#pragma once

// The option language shared by the three reference programs: the command line is read word by
// word, each option acts on the current container, prints its answer, and the first failure
// prints E and ends the run. See README.md for the rules.

#include <cstddef>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

using Value = int;

// A decimal integer in the range of Value: an optional minus sign and digits, nothing else.
std::optional<Value> parse_value(std::string_view word);
// One of -S -I -O -A -C -N -G.
bool is_option(std::string_view word);

// The program's arguments, consumed from left to right.
class Words
{
public:
    Words(int argc, char *argv[]);

    bool at_end() const { return next_ == words_.size(); }
    std::string_view take() { return words_[next_++]; }
    // True when a word follows that does not start the next option.
    bool value_follows() const { return !at_end() && !is_option(words_[next_]); }
    // The next word as a value; nullopt when it is missing or not an integer.
    std::optional<Value> value();
    // The next word as a size or count; nullopt also when it is negative.
    std::optional<std::size_t> count();

private:
    std::vector<std::string_view> words_;
    std::size_t next_ = 0;
};

// The answer on standard output: words separated by single blanks, no line feed at the end.
class Answer
{
public:
    void word(std::string_view text);
    void number(long long value);

    template<typename Container>
    void elements(const Container &container)
    {
        for (std::size_t i = 0; i < container.size(); ++i)
            number(container.at(i));
    }

private:
    bool first_ = true;
};

// The exercise's own names for insertion and removal (push and pop, enqueue and dequeue).
template<typename Container>
struct Operations
{
    bool (Container::*insert)(const Value &);
    bool (Container::*remove)();
};

// Carries out one option. Returns false on failure, having printed nothing for the option.
template<typename Container>
bool perform(char option, Words &words, std::optional<Container> &current,
             Operations<Container> ops, Answer &answer)
{
    if (option == 'S') {
        const auto capacity = words.count();
        if (!capacity)
            return false;
        current.emplace(*capacity);
        answer.word("S");
        answer.number(static_cast<long long>(*capacity));
        return true;
    }
    if (!current)
        return false;
    Container &container = *current;

    switch (option) {
    case 'I':
        while (words.value_follows()) {
            const auto value = words.value();
            if (!value || !(container.*ops.insert)(*value))
                return false;
        }
        answer.word("I");
        break;
    case 'O': {
        const auto count = words.count();
        if (!count || *count > container.size())
            return false;
        for (std::size_t i = 0; i < *count; ++i)
            (container.*ops.remove)();
        answer.word("O");
        break;
    }
    case 'A': {
        const auto capacity = words.count();
        if (!capacity)
            return false;
        Container assigned(*capacity);
        if (!assigned.assign(container))
            return false;
        container = std::move(assigned);
        answer.word("A");
        break;
    }
    case 'C': {
        Container copy(container);
        container = std::move(copy);
        answer.word("C");
        break;
    }
    case 'N':
        answer.word("N");
        answer.number(static_cast<long long>(container.size()));
        return true;
    case 'G': {
        const auto position = words.count();
        if (!position || *position >= container.size())
            return false;
        answer.word("G");
        answer.number(container.at(*position));
        return true;
    }
    default:
        return false;
    }
    answer.elements(container);
    return true;
}

// The whole program: runs the options of the command line against Container. Always returns 0.
template<typename Container>
int run_exercise(int argc, char *argv[], Operations<Container> ops)
{
    Answer answer;
    try {
        Words words(argc, argv);
        std::optional<Container> current;
        while (!words.at_end()) {
            const std::string_view word = words.take();
            if (!is_option(word) || !perform(word[1], words, current, ops, answer)) {
                answer.word("E");
                break;
            }
        }
    } catch (const std::exception &) {
        // Only running out of memory can get here; it fails like any other option.
        answer.word("E");
    }
    return 0;
}
