#include "explore/sample.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <set>
#include <system_error>

namespace {

// The kind of a number word: where programs with narrow types, buffers or sentinels differ.
std::string number_kind(const std::string &word)
{
    long long n = 0;
    const char *first = word.data();
    const char *last = word.data() + word.size();
    const auto [end, error] = std::from_chars(first, last, n);
    if (word.empty() || end != last || error != std::errc())
        return word.size() > 20 && error == std::errc::result_out_of_range ? "huge" : "word";
    const bool zeros = word.size() > 1 && word[word[0] == '-'] == '0';
    std::string kind;
    if (n == 0 || n == 1 || n == -1 || n == 2147483647 || n == -2147483648LL)
        kind = std::to_string(n);
    else if (n > 2147483647 || n < -2147483648LL)
        kind = "past-int";
    else if (n < 0)
        kind = "negative";
    else
        kind = n < 100 ? "small" : n < 65536 ? "large" : "very-large";
    return zeros ? kind + "-zeros" : kind;
}

// A count of things in the steps where fixed arrays break.
std::string count_kind(std::size_t n)
{
    for (const std::size_t bound : {10000, 1000, 100, 50}) {
        if (n > bound)
            return "past-" + std::to_string(bound);
    }
    return n <= 1 ? std::to_string(n) : "few";
}

} // namespace

std::vector<std::string> boundary_features(const Words &words, Exercise exercise)
{
    std::vector<std::string> features;
    // Only what the generator knows: the capacity and the number of elements, followed until an
    // option fails, after which the program reads no more.
    long long capacity = -1, size = 0;
    const long long room_factor = has_two_stacks(exercise) ? 2 : 1;
    std::size_t options = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (!is_exercise_option(exercise, words[i])) {
            features.push_back("stray " + number_kind(words[i]));
            break;
        }
        ++options;
        std::size_t values = 0;
        while (i + 1 + values < words.size()
               && !is_exercise_option(exercise, words[i + 1 + values]))
            ++values;
        const char letter = words[i][1];
        const std::string state = capacity < 0                     ? "none"
                                  : size == 0                      ? "empty"
                                  : size >= capacity * room_factor ? "full"
                                                                   : "partly";
        const std::string first = values > 0 ? number_kind(words[i + 1]) : "missing";
        long long n = 0;
        const bool number
            = values > 0
              && std::from_chars(words[i + 1].data(), words[i + 1].data() + words[i + 1].size(), n)
                         .ec
                     == std::errc();
        // A value where the next option is expected fails.
        bool fails = (capacity < 0 && letter != 'S')
                     || (letter != 'I' && values > (letter == 'C' || letter == 'N' ? 0U : 1U));
        switch (letter) {
        case 'I':
            features.push_back(std::string("I ") + state + " " + count_kind(values));
            for (std::size_t v = 0; v < values; ++v)
                features.push_back("I value " + number_kind(words[i + 1 + v]));
            fails = fails || size + static_cast<long long>(values) > capacity * room_factor;
            size += static_cast<long long>(values);
            break;
        case 'C':
        case 'N':
            features.push_back(std::string(1, letter) + " " + state);
            break;
        default:
            features.push_back(std::string(1, letter) + " " + state + " " + first);
            fails = fails || !number || n < 0 || (letter == 'O' && n > size)
                    || (letter == 'G' && n >= size) || (letter == 'A' && n * room_factor < size);
            if (!fails && letter == 'S')
                capacity = n, size = 0;
            else if (!fails && letter == 'A')
                capacity = n;
            else if (!fails && letter == 'O')
                size -= n;
        }
        if (fails)
            break;
        i += values;
    }
    features.push_back("options " + count_kind(options));
    std::sort(features.begin(), features.end());
    features.erase(std::unique(features.begin(), features.end()), features.end());
    return features;
}

std::vector<std::size_t> memcheck_sample(const std::vector<Words> &strings, Exercise exercise)
{
    std::vector<std::size_t> by_length(strings.size());
    std::iota(by_length.begin(), by_length.end(), std::size_t(0));
    std::stable_sort(by_length.begin(), by_length.end(), [&](std::size_t a, std::size_t b) {
        return strings[a].size() < strings[b].size();
    });
    std::set<std::string> reached;
    std::vector<std::size_t> sample;
    for (const std::size_t index : by_length) {
        bool adds = false;
        for (const std::string &feature : boundary_features(strings[index], exercise))
            adds = reached.insert(feature).second || adds;
        if (adds)
            sample.push_back(index);
    }
    std::sort(sample.begin(), sample.end());
    return sample;
}
