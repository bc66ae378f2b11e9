#include "explore/shrink.h"

#include <cctype>
#include <string>

namespace {

// A decimal integer of any size a long long holds, leading zeros and a minus sign allowed: the
// words that can be written more simply as a number.
bool integer_value(const std::string &word, long long &value)
{
    std::size_t first = word.size() > 1 && word[0] == '-' ? 1 : 0;
    const std::size_t sign = first;
    // Leading zeros say nothing of the size; a word of forty of them is still a small number.
    while (first + 1 < word.size() && word[first] == '0')
        ++first;
    if (first == word.size() || word.size() - first > 18)
        return false;
    value = 0;
    for (std::size_t i = first; i < word.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(word[i])))
            return false;
        value = value * 10 + (word[i] - '0');
    }
    if (sign)
        value = -value;
    return true;
}

std::vector<std::string> simpler_words(const std::string &word, Exercise exercise)
{
    std::vector<std::string> simpler;
    long long value = 0;
    if (is_exercise_option(exercise, word))
        return simpler;
    if (!integer_value(word, value)) {
        if (word.size() > 1)
            simpler = {"0", "x"};
        return simpler;
    }
    const std::string plain = std::to_string(value);
    if (plain != word)
        simpler.push_back(plain);
    // 0, then ever smaller steps toward it: halfway, a quarter of the way, ..., by one. A number
    // that fails from some bound on reaches it in few steps, and a last step by one shows that
    // the bound is reached.
    if (value != 0)
        simpler.push_back("0");
    for (long long step = value / 2; step != 0; step /= 2) {
        if (value - step != 0)
            simpler.push_back(std::to_string(value - step));
    }
    return simpler;
}

// One reduction: the words from `begin` to `end` removed, or each put as `word` (zeros), or the
// one at `begin` put as `word`. Kept as edits and applied one at a time, because a string of
// thousands of words has hundreds of thousands of reductions, of which a shrinking step tries
// only the first few that fail.
struct Edit
{
    // A Number replaces an option's number; a Capacity lowers the number at `begin` to `word` and
    // removes the value at `end`.
    enum Kind { Remove, Zeros, Replace, Number, Capacity } kind;
    std::size_t begin;
    std::size_t end;
    std::string word;
};

std::vector<Edit> edits(const Words &words, Exercise exercise)
{
    std::vector<Edit> all;
    std::vector<std::size_t> options;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (is_exercise_option(exercise, words[i]))
            options.push_back(i);
    }
    const auto end_of
        = [&](std::size_t k) { return k + 1 < options.size() ? options[k + 1] : words.size(); };
    // The part after the first difference rarely matters: cutting it off first saves runs.
    for (const std::size_t from : options) {
        if (from > 0)
            all.push_back({Edit::Remove, from, words.size(), {}});
    }
    for (std::size_t k = 0; k < options.size(); ++k) {
        if (end_of(k) - options[k] > 1) // a lone option is one of the single words below
            all.push_back({Edit::Remove, options[k], end_of(k), {}});
    }
    // Long insertions: their values all 0 in one step, then all but their first quarter, eighth
    // ... gone, then halves, quarters ... of them gone, so that a thousand values shrink in a few
    // dozen runs rather than a thousand.
    for (std::size_t k = 0; k < options.size(); ++k) {
        const std::size_t first = options[k] + 1;
        const std::size_t end = end_of(k);
        for (std::size_t i = first; i < end; ++i) {
            if (words[i] != "0") {
                if (end - first > 1)
                    all.push_back({Edit::Zeros, first, end, "0"});
                break;
            }
        }
        // Only the first half, quarter, ... kept: an insertion of hundreds of values into a
        // container of 74 fails until all but the first few are gone.
        for (std::size_t keep = (end - first) / 4; keep > 0; keep /= 2)
            all.push_back({Edit::Remove, first + keep, end, {}});
        // Down to sixteenths: finer ones would be as many as the single words, and are tried
        // again each time the search starts over.
        for (std::size_t chunk = (end - first) / 2; chunk > 1 && chunk * 16 >= end - first;
             chunk /= 2) {
            for (std::size_t at = first; at < end; at += chunk)
                all.push_back({Edit::Remove, at, std::min(at + chunk, end), {}});
        }
    }
    // The numbers of the options but -I before the single words: a -G at the last of thousands
    // of elements keeps every removal of an element from failing until its number is lowered.
    std::vector<bool> simplified(words.size(), false);
    const auto simplify = [&](std::size_t i, Edit::Kind kind) {
        simplified[i] = true;
        for (std::string &word : simpler_words(words[i], exercise))
            all.push_back({kind, i, i + 1, std::move(word)});
    };
    for (std::size_t k = 0; k < options.size(); ++k) {
        if (words[options[k]] != "-I") {
            for (std::size_t i = options[k] + 1; i < end_of(k); ++i)
                simplify(i, Edit::Number);
        }
    }
    // A capacity one lower with the last value inserted after it gone: a fault of a container
    // exactly full (a copy one slot too far) stays while both shrink, though neither alone keeps
    // it (an insertion past the capacity fails before the copy).
    for (std::size_t k = 0; k < options.size(); ++k) {
        long long capacity = 0;
        if (words[options[k]] != "-S" || end_of(k) != options[k] + 2
            || !integer_value(words[options[k] + 1], capacity) || capacity <= 0)
            continue;
        for (std::size_t j = k + 1; j < options.size(); ++j) {
            if (words[options[j]] == "-I" && end_of(j) > options[j] + 1)
                all.push_back(
                    {Edit::Capacity, options[k] + 1, end_of(j) - 1, std::to_string(capacity - 1)});
        }
    }
    for (std::size_t i = 0; i < words.size(); ++i)
        all.push_back({Edit::Remove, i, i + 1, {}});
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (!simplified[i])
            simplify(i, Edit::Replace);
    }
    return all;
}

Words applied(const Words &words, const Edit &edit)
{
    Words result;
    if (edit.kind == Edit::Remove) {
        result.reserve(words.size() - (edit.end - edit.begin));
        result.insert(result.end(), words.begin(), words.begin() + static_cast<long>(edit.begin));
        result.insert(result.end(), words.begin() + static_cast<long>(edit.end), words.end());
        return result;
    }
    result = words;
    if (edit.kind == Edit::Capacity) {
        result[edit.begin] = edit.word;
        result.erase(result.begin() + static_cast<long>(edit.end));
        return result;
    }
    for (std::size_t i = edit.begin; i < edit.end; ++i)
        result[i] = edit.word;
    return result;
}

} // namespace

std::vector<Words> reductions(const Words &words, Exercise exercise)
{
    std::vector<Words> all;
    for (const Edit &edit : edits(words, exercise))
        all.push_back(applied(words, edit));
    return all;
}

Shrinking shrink(Words words, Exercise exercise, const std::function<bool(const Words &)> &fails,
                 const std::function<bool()> &out_of_time)
{
    Shrinking result{std::move(words), 0, true};
    // Each search resumes where the last step was found, where further steps are likely; it ends
    // only after a whole round found none.
    std::size_t start = 0;
    for (;;) {
        const std::vector<Edit> candidates = edits(result.words, exercise);
        bool reduced = false;
        for (std::size_t i = 0; i < candidates.size() && !reduced; ++i) {
            if (out_of_time && out_of_time()) {
                result.complete = false;
                return result;
            }
            const std::size_t k = (start + i) % candidates.size();
            Words candidate = applied(result.words, candidates[k]);
            if (fails(candidate)) {
                result.words = std::move(candidate);
                ++result.steps;
                // A lower number of an option (a -G at the last of thousands of elements) may
                // let whole options and halves of insertions go, which come first: after one,
                // the search starts over.
                start = candidates[k].kind == Edit::Number ? 0 : k;
                reduced = true;
            }
        }
        if (!reduced)
            return result;
    }
}
