#include "explore/sample.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>

namespace {

constexpr long long int_max = 2147483647;
constexpr long long int_min = -int_max - 1;

bool is_option(const std::string &word)
{
    return word.size() == 2 && word[0] == '-'
           && std::string("SIOACNG").find(word[1]) != std::string::npos;
}

// A decimal integer in the handout's sense (an optional minus sign, then digits), in `value`
// clamped to just beyond the int range.
bool integer_value(const std::string &word, long long &value)
{
    const std::size_t start = !word.empty() && word[0] == '-' ? 1 : 0;
    if (word.size() == start)
        return false;
    value = 0;
    for (std::size_t i = start; i < word.size(); ++i) {
        if (word[i] < '0' || word[i] > '9')
            return false;
        if (value <= int_max)
            value = value * 10 + (word[i] - '0');
    }
    if (start)
        value = -value;
    return true;
}

// 0 for 0, else one more than the power of two below `n`.
int magnitude(long long n)
{
    int bits = 0;
    for (unsigned long long u = n < 0 ? 0ULL - static_cast<unsigned long long>(n) : n; u; u >>= 1)
        ++bits;
    return bits;
}

class Features
{
public:
    explicit Features(std::set<std::string> &seen)
        : seen(seen)
    {}

    void add(const std::string &feature)
    {
        if (seen.insert(feature).second)
            fresh = true;
    }
    bool fresh = false;

private:
    std::set<std::string> &seen;
};

// Where the number of elements stands against the capacity.
std::string state(long long count, long long capacity)
{
    std::string s;
    if (count == 0)
        s += "empty,";
    if (count == 1)
        s += "one,";
    if (count + 1 == capacity)
        s += "one short,";
    if (count == capacity)
        s += "full,";
    return s.empty() ? "between" : s;
}

// The kinds of a number word `word` given to option `letter`.
void number_kinds(Features &features, char letter, const std::string &word, long long count,
                  long long capacity)
{
    const std::string at = std::string(1, letter) + " value ";
    long long n = 0;
    if (!integer_value(word, n)) {
        features.add(at + "not an integer, "
                     + std::to_string(magnitude(static_cast<long long>(word.size()))));
        return;
    }
    if (n < int_min || n > int_max)
        features.add(at + "out of range");
    else if (n == int_min || n == int_max)
        features.add(at + (n < 0 ? "int min" : "int max"));
    if (n < 0)
        features.add(at + "negative");
    if (n == 0 || n == 1)
        features.add(at + std::to_string(n));
    for (long long d = -1; d <= 1; ++d) {
        if (n == count + d)
            features.add(at + "elements " + std::to_string(d));
    }
    if (n == capacity)
        features.add(at + "capacity");
    if (word.size() > 1 && (word[0] == '0' || (word[0] == '-' && word[1] == '0')))
        features.add(at + "leading zeros, "
                     + std::to_string(magnitude(static_cast<long long>(word.size()))));
    features.add(at + "digits " + std::to_string(word.size() - (n < 0 ? 1 : 0)));
}

// Runs `words` as the handout's rules do, as far as the first failing option, noting what each
// option meets.
void describe(const Words &words, Features &features)
{
    long long capacity = -1, count = 0, largest = 0;
    int options = 0;
    if (words.empty())
        features.add("no options");
    for (std::size_t i = 0; i < words.size();) {
        if (!is_option(words[i])) {
            features.add("a stray word");
            break;
        }
        const char letter = words[i][1];
        ++options;
        std::size_t end = i + 1;
        while (end < words.size() && !is_option(words[end]))
            ++end;
        const std::size_t values = end - i - 1;
        features.add(std::string(1, letter) + " "
                     + (capacity < 0 ? "before -S" : state(count, capacity)));
        for (std::size_t v = i + 1; v < end; ++v)
            number_kinds(features, letter, words[v], count, capacity);
        long long n = 0;
        const bool number
            = values == 1 && integer_value(words[i + 1], n) && n >= int_min && n <= int_max;
        bool failed = capacity < 0 && letter != 'S';
        switch (letter) {
        case 'S':
            failed = !number || n < 0;
            if (!failed) {
                capacity = n;
                count = 0;
            }
            break;
        case 'I':
            features.add("I values " + std::to_string(magnitude(static_cast<long long>(values))));
            if (!failed && count + static_cast<long long>(values) == capacity)
                features.add("I fills");
            if (!failed && count + static_cast<long long>(values) > capacity)
                features.add("I overfills");
            failed = failed || count + static_cast<long long>(values) > capacity;
            for (std::size_t v = i + 1; !failed && v < end; ++v)
                failed = !integer_value(words[v], n) || n < int_min || n > int_max;
            if (!failed)
                count += static_cast<long long>(values);
            break;
        case 'O':
            failed = failed || !number || n < 0 || n > count;
            if (!failed)
                count -= n;
            break;
        case 'A':
            failed = failed || !number || n < count;
            if (!failed)
                capacity = n;
            break;
        case 'G':
            failed = failed || !number || n < 0 || n >= count;
            break;
        default: // -C and -N take no value
            failed = failed || values > 0;
            break;
        }
        if (failed)
            break;
        largest = std::max(largest, count);
        i = end;
    }
    features.add("elements " + std::to_string(magnitude(largest)));
    features.add("capacity " + std::to_string(magnitude(capacity)));
    features.add("options " + std::to_string(magnitude(options)));
}

} // namespace

std::vector<std::size_t> memcheck_sample(const std::vector<Words> &strings)
{
    std::set<std::string> seen;
    std::vector<std::size_t> sample;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        Features features(seen);
        describe(strings[i], features);
        if (features.fresh)
            sample.push_back(i);
    }
    return sample;
}
