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

#include "fault.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace exercise {

inline bool is_option(const std::string &word)
{
    if (word.size() != 2 || word[0] != '-')
        return false;
    // Lower-case letters taken for upper-case ones.
    const char letter = fault("lowercase_options")
                            ? static_cast<char>(std::toupper(static_cast<unsigned char>(word[1])))
                            : word[1];
    return std::string_view("SIOACNG").find(letter) != std::string_view::npos;
}

// The whole word must be a decimal integer in the range of int, an optional minus sign included.
inline bool parse_integer(const std::string &word, int &value)
{
    const char *first = word.data();
    // A word copied into a buffer of 13 bytes keeps its first 12 characters.
    const char *last
        = first
          + (fault("number_word_truncated") ? std::min<std::size_t>(word.size(), 12) : word.size());
    if (fault("plus_sign_number") && first != last && *first == '+')
        ++first;
    if (fault("leading_zeros_rejected") && word.size() > 1 && word[word[0] == '-'] == '0')
        return false;
    if (fault("int_overflow_wraps")) {
        long long wide = 0;
        const auto [end, error] = std::from_chars(first, last, wide);
        value = static_cast<int>(static_cast<unsigned int>(wide));
        return error == std::errc() && end == last;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    // Checked as decimal, converted as C reads literals: a leading zero means octal.
    if (fault("octal_numbers") && error == std::errc() && end == last)
        value = static_cast<int>(std::strtol(word.c_str(), nullptr, 0));
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
        if (fault("no_options_fails") && args_.empty())
            return "E";
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
            return fault("unknown_option_skipped");
        // The options kept in an array of 50: the rest are never read.
        if (fault("options_kept_50") && ++options_ > 50) {
            next_ = args_.size();
            return true;
        }
        if (fault("options_before_s_skipped") && !box_ && option != "-S") {
            while (next_ < args_.size() && !is_option(args_[next_]))
                ++next_;
            return true;
        }
        const bool done
            = act(static_cast<char>(std::toupper(static_cast<unsigned char>(option[1]))));
        if (fault("extra_value_ignored") && done && option != "-I") {
            while (next_ < args_.size() && !is_option(args_[next_]))
                ++next_;
        }
        return done;
    }

    bool act(char option)
    {
        switch (option) {
        case 'S': {
            std::size_t capacity = 0;
            const std::string typed = next_ < args_.size() ? args_[next_] : std::string();
            if (!count(capacity) || (fault("zero_capacity_rejected") && capacity == 0))
                return false;
            if (fault("second_s_keeps_elements") && box_) {
                Container fresh(capacity);
                fresh.assign(*box_);
                box_ = std::move(fresh);
            } else {
                box_.emplace(capacity);
            }
            words_.push_back("S");
            words_.push_back(fault("numbers_printed_as_typed") ? typed : std::to_string(capacity));
            return true;
        }
        case 'I': {
            if (!box_)
                return false;
            if (fault("empty_insert_fails") && (next_ == args_.size() || is_option(args_[next_])))
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
            if (!count(n, fault("negative_remove_accepted")) || !box_)
                return false;
            if (fault("remove_count_in_byte"))
                n = static_cast<unsigned char>(n);
            if (n > box_->size())
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
            if (fault("assign_capacity_unsigned_short"))
                capacity = static_cast<unsigned short>(capacity);
            // Storage for the whole new capacity, reserved before the first element comes.
            if (fault("assign_reserves_capacity"))
                reserved_.assign(capacity, 0);
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
            Container copy(*box_);
            if (fault("copy_capacity_is_size")) {
                copy = Container(box_->size());
                copy.assign(*box_);
            }
            box_ = copy;
            list("C");
            return true;
        }
        case 'N':
            if (!box_)
                return false;
            words_.push_back("N");
            words_.push_back(
                std::to_string(fault("zero_counts_as_empty") ? nonzero() : box_->size()));
            return true;
        case 'G': {
            std::size_t index = 0;
            if (!count(index) || !box_)
                return false;
            if (fault("get_index_16_bits"))
                index = static_cast<unsigned short>(index);
            // One past the index kept in an int: one past 2147483647 wraps below 0.
            if (fault("get_index_wraps")
                && static_cast<int>(static_cast<unsigned int>(index) + 1u)
                       <= static_cast<int>(box_->size())) {
                words_.push_back("G");
                words_.push_back(index < box_->size() ? std::to_string(box_->at(index)) : "0");
                return true;
            }
            if (index > box_->size())
                return false;
            if (index == box_->size() && !fault("get_accepts_size"))
                return false;
            if (fault("get_from_wrong_end") && index < box_->size())
                index = box_->size() - 1 - index;
            words_.push_back("G");
            words_.push_back(index < box_->size() ? std::to_string(box_->at(index)) : "0");
            return true;
        }
        }
        return false;
    }

    // The option's number, which must be present and not negative.
    bool count(std::size_t &n, bool negative_is_zero = false)
    {
        if (next_ >= args_.size() || is_option(args_[next_])) {
            n = 0;
            return fault("missing_number_is_zero");
        }
        int value = 0;
        if (!parse_integer(args_[next_++], value) || (value < 0 && !negative_is_zero))
            return false;
        n = static_cast<std::size_t>(value < 0 ? 0 : value);
        return true;
    }

    // The elements that are not 0, the value that marks an empty slot.
    std::size_t nonzero() const
    {
        std::size_t n = 0;
        for (std::size_t i = 0; i < box_->size(); ++i)
            n += box_->at(i) != 0;
        return n;
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
    std::size_t options_ = 0;
    std::vector<int> reserved_;
};

// Prints the answer, or writes it as the first line of `file` in the working directory, which
// the grader then judges instead; the line end after it is ignored, whichever it is.
inline int give_answer(const std::string &answer, const char *file)
{
    const char *end = fault("crlf") ? "\r\n" : fault("no_line_feed") ? "" : "\n";
    if (fault("answer_buffer_1024")) {
        std::cout << answer.substr(0, 1023) << end;
        return 0;
    }
    if (!file) {
        std::cout << answer << end;
        return 0;
    }
    std::ofstream out(file);
    out << answer << end;
    return out ? 0 : 1;
}

template<typename Exercise>
std::string run(int argc, char *argv[])
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (fault("command_line_256")) {
        // The options joined into a buffer of 256 bytes and split again.
        std::string line;
        for (const std::string &arg : args)
            line += (line.empty() ? "" : " ") + arg;
        line.resize(std::min<std::size_t>(line.size(), 255));
        args.clear();
        std::size_t start = 0;
        while (start < line.size()) {
            const std::size_t end = std::min(line.find(' ', start), line.size());
            args.push_back(line.substr(start, end - start));
            start = end + 1;
        }
    }
    return Interpreter<Exercise>(std::move(args)).run();
}

} // namespace exercise
