#pragma once

// The command-line part shared by the three exercise programs: reads the options left to right,
// applies them to the container and collects the words to print. The first option that fails
// prints E and ends the run.
//
// An Exercise type names the container and how to put in and take out one element:
//   using Container = ...;
//   static bool insert(Container &, int);
//   static bool remove(Container &);
// The container itself offers size(), at(i), assign(other), a copy constructor and a
// constructor taking the capacity.

#include <charconv>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace exercise {

inline bool is_option(const std::string &word)
{
    return word.size() == 2 && word[0] == '-'
           && std::string_view("SIOACNG").find(word[1]) != std::string_view::npos;
}

// The whole word must be a decimal integer in the range of int, an optional minus sign included.
inline bool parse_integer(const std::string &word, int &value)
{
    const char *first = word.data();
    const char *last = first + word.size();
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last;
}

template<typename Exercise>
class Interpreter
{
public:
    using Container = typename Exercise::Container;

    explicit Interpreter(std::vector<std::string> args)
        : args_(std::move(args))
    {}

    // The printed words, separated by single blanks.
    std::string run()
    {
        while (next_ < args_.size()) {
            if (!step()) {
                words_.push_back("E");
                break;
            }
        }
        std::string line;
        for (const std::string &word : words_) {
            if (!line.empty())
                line += ' ';
            line += word;
        }
        return line;
    }

private:
    bool step()
    {
        const std::string option = args_[next_++];
        if (!is_option(option))
            return false;
        switch (option[1]) {
        case 'S': {
            std::size_t capacity = 0;
            if (!count(capacity))
                return false;
            box_.emplace(capacity);
            words_.push_back("S");
            words_.push_back(std::to_string(capacity));
            return true;
        }
        case 'I': {
            if (!box_)
                return false;
            for (; next_ < args_.size() && !is_option(args_[next_]); ++next_) {
                int value = 0;
                if (!parse_integer(args_[next_], value) || !Exercise::insert(*box_, value))
                    return false;
            }
            list("I");
            return true;
        }
        case 'O': {
            std::size_t n = 0;
            if (!count(n) || !box_ || n > box_->size())
                return false;
            for (std::size_t i = 0; i < n; ++i)
                Exercise::remove(*box_);
            list("O");
            return true;
        }
        case 'A': {
            std::size_t capacity = 0;
            if (!count(capacity) || !box_)
                return false;
            Container target(capacity);
            if (!target.assign(*box_))
                return false;
            box_ = std::move(target);
            list("A");
            return true;
        }
        case 'C': {
            if (!box_)
                return false;
            const Container copy(*box_);
            box_ = copy;
            list("C");
            return true;
        }
        case 'N':
            if (!box_)
                return false;
            words_.push_back("N");
            words_.push_back(std::to_string(box_->size()));
            return true;
        case 'G': {
            std::size_t index = 0;
            if (!count(index) || !box_ || index >= box_->size())
                return false;
            words_.push_back("G");
            words_.push_back(std::to_string(box_->at(index)));
            return true;
        }
        }
        return false;
    }

    // The option's number, which must be present and not negative.
    bool count(std::size_t &n)
    {
        if (next_ >= args_.size() || is_option(args_[next_]))
            return false;
        int value = 0;
        if (!parse_integer(args_[next_++], value) || value < 0)
            return false;
        n = static_cast<std::size_t>(value);
        return true;
    }

    void list(const char *letter)
    {
        words_.push_back(letter);
        for (std::size_t i = 0; i < box_->size(); ++i)
            words_.push_back(std::to_string(box_->at(i)));
    }

    std::vector<std::string> args_;
    std::size_t next_ = 0;
    std::optional<Container> box_;
    std::vector<std::string> words_;
};

template<typename Exercise>
std::string run(int argc, char *argv[])
{
    return Interpreter<Exercise>(std::vector<std::string>(argv + 1, argv + argc)).run();
}

} // namespace exercise
