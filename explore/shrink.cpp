#include "explore/shrink.h"

#include <cctype>
#include <string>

namespace {

bool is_option(const std::string &word)
{
    return word.size() == 2 && word[0] == '-'
           && std::string("SIOACNG").find(word[1]) != std::string::npos;
}

// A decimal integer of any size a long long holds, leading zeros and a minus sign allowed: the
// words that can be written more simply as a number.
bool integer_value(const std::string &word, long long &value)
{
    const std::size_t first = word.size() > 1 && word[0] == '-' ? 1 : 0;
    if (first == word.size() || word.size() - first > 18)
        return false;
    value = 0;
    for (std::size_t i = first; i < word.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(word[i])))
            return false;
        value = value * 10 + (word[i] - '0');
    }
    if (first)
        value = -value;
    return true;
}

std::vector<std::string> simpler_words(const std::string &word)
{
    std::vector<std::string> simpler;
    long long value = 0;
    if (is_option(word))
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

} // namespace

std::vector<Words> reductions(const Words &words)
{
    std::vector<Words> all;
    std::vector<std::size_t> options;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (is_option(words[i]))
            options.push_back(i);
    }
    // The part after the first difference rarely matters: cutting it off first saves runs.
    for (const std::size_t from : options) {
        if (from > 0)
            all.emplace_back(words.begin(), words.begin() + static_cast<long>(from));
    }
    for (std::size_t k = 0; k < options.size(); ++k) {
        const std::size_t end = k + 1 < options.size() ? options[k + 1] : words.size();
        if (end - options[k] > 1) { // a lone option is one of the single words below
            Words fewer(words.begin(), words.begin() + static_cast<long>(options[k]));
            fewer.insert(fewer.end(), words.begin() + static_cast<long>(end), words.end());
            all.push_back(std::move(fewer));
        }
    }
    for (std::size_t i = 0; i < words.size(); ++i) {
        Words fewer = words;
        fewer.erase(fewer.begin() + static_cast<long>(i));
        all.push_back(std::move(fewer));
    }
    for (std::size_t i = 0; i < words.size(); ++i) {
        for (const std::string &word : simpler_words(words[i])) {
            Words simpler = words;
            simpler[i] = word;
            all.push_back(std::move(simpler));
        }
    }
    return all;
}

Shrinking shrink(Words words, const std::function<bool(const Words &)> &fails)
{
    Shrinking result{std::move(words), 0};
    // Each search resumes where the last step was found, where further steps are likely; it ends
    // only after a whole round found none.
    std::size_t start = 0;
    for (;;) {
        const std::vector<Words> candidates = reductions(result.words);
        bool reduced = false;
        for (std::size_t i = 0; i < candidates.size() && !reduced; ++i) {
            const std::size_t k = (start + i) % candidates.size();
            if (fails(candidates[k])) {
                result.words = candidates[k];
                ++result.steps;
                start = k;
                reduced = true;
            }
        }
        if (!reduced)
            return result;
    }
}
