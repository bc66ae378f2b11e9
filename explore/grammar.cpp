#include "explore/grammar.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>

namespace {

// How often each option follows the first -S, in parts of their sum. Insertions come up most,
// because they change the state that the other options look at.
struct OptionWeight
{
    char letter;
    int weight;
};
constexpr OptionWeight option_weights[] = {
    {'I', 30}, {'O', 16}, {'G', 14}, {'A', 12}, {'C', 10}, {'N', 8}, {'S', 6},
};

// Chances, in percent per option, of the flaws that make an option fail by its words.
constexpr int option_before_s = 8;   // per string: an option comes before the first -S
constexpr int missing_number = 4;    // -S, -O, -A or -G without its number
constexpr int bad_value = 4;         // a word that is not an integer, or out of range
constexpr int extra_value = 4;       // a value where the next option is expected
constexpr int not_an_option = 3;     // an unknown option or stray word
constexpr int unusual_spelling = 10; // a number written as 007 or -0

// Words in the place of a value that are not one: each way the handout names, and the int
// limits just exceeded.
const char *const bad_values[]
    = {"x", "2.5", "+2", "0x1", "", "2147483648", "-2147483649", "-", "--", "1-", "99999999999"};
// Words in the place of an option that are not one.
const char *const not_options[] = {"-X", "-s", "-SI", "S", "5", "-", "+2", "-i"};

// What the generator knows of the container while it writes the options: not a model of the
// exercise (the reference program is that), only enough to aim numbers at the boundaries.
struct Sketch
{
    bool created = false;
    long long capacity = 0;
    long long size = 0;
    int next_value = 1;
};

// The most elements a container of `capacity` holds: the two-stack queue has two stacks of it.
long long room(int flag_stack, long long capacity)
{
    return flag_stack == 2 ? 2 * capacity : capacity;
}

template<typename T>
T pick(Random &random, std::initializer_list<T> choices)
{
    return choices.begin()[random.below(static_cast<int>(choices.size()))];
}

class Writer
{
public:
    Writer(int flag_stack, Random &random)
        : flag_stack(flag_stack)
        , random(random)
    {}

    Words write()
    {
        if (random.percent(option_before_s))
            option(pick(random, {'I', 'O', 'A', 'C', 'N', 'G'}));
        option('S');
        const int count = random.between(0, 4) + random.between(1, 4);
        for (int i = 0; i < count; ++i) {
            if (random.percent(not_an_option))
                words.push_back(pick_word(not_options));
            option(weighted_option());
        }
        return words;
    }

private:
    char weighted_option()
    {
        int total = 0;
        for (const OptionWeight &o : option_weights)
            total += o.weight;
        int roll = random.below(total);
        for (const OptionWeight &o : option_weights) {
            if (roll < o.weight)
                return o.letter;
            roll -= o.weight;
        }
        return 'N';
    }

    void option(char letter)
    {
        words.push_back(std::string{'-', letter});
        const long long size = sketch.size;
        switch (letter) {
        case 'S': {
            const long long capacity = capacity_number();
            if (number(capacity) && capacity >= 0)
                sketch = {true, capacity, 0, sketch.next_value};
            break;
        }
        case 'I':
            insert_values();
            break;
        case 'O': {
            const long long n
                = pick<long long>(random, {0, 1, size - 1, size, size + 1, -1,
                                           random.between(0, static_cast<int>(size))});
            if (number(n) && n >= 0 && n <= size)
                sketch.size -= n;
            break;
        }
        case 'G':
            number(pick<long long>(random, {-1, 0, size - 1, size, size + 1,
                                            random.between(0, static_cast<int>(size))}));
            break;
        case 'A': {
            // (size + 1) / 2: the two-stack queue's total may fit while one stack does not.
            const long long capacity
                = pick<long long>(random, {size - 1, size, size + 1, (size + 1) / 2, 0, -1,
                                           sketch.capacity, random.between(0, 9)});
            if (number(capacity) && capacity >= size)
                sketch.capacity = capacity;
            break;
        }
        default: // -C and -N take no words
            break;
        }
        if (letter != 'I' && random.percent(extra_value))
            words.push_back(std::to_string(random.between(0, 9)));
    }

    // Mostly small, so that the container fills within a few insertions.
    long long capacity_number()
    {
        const int roll = random.below(100);
        if (roll < 12)
            return 0;
        if (roll < 82)
            return random.between(1, 5);
        if (roll < 92)
            return random.between(6, 9);
        if (roll < 96)
            return 2000000000;
        if (roll < 98)
            return 2147483647;
        return -1;
    }

    // Writes the number of an option, or a flaw in its place; true when the number was written.
    bool number(long long n)
    {
        if (random.percent(missing_number))
            return false;
        if (random.percent(bad_value)) {
            words.push_back(pick_word(bad_values));
            return false;
        }
        words.push_back(spelling(n));
        return true;
    }

    std::string spelling(long long n)
    {
        if (!random.percent(unusual_spelling))
            return std::to_string(n);
        const std::string digits = std::to_string(n < 0 ? -n : n);
        return (n < 0 ? "-0" : n == 0 ? "-" : "0") + digits;
    }

    void insert_values()
    {
        const long long free = room(flag_stack, sketch.capacity) - sketch.size;
        const long long count
            = std::max(0LL, pick<long long>(random, {0, 1, free - 1, free, free, free + 1, free + 1,
                                                     random.between(1, 4)}));
        // A capacity of two billion must not make the string long.
        for (long long i = 0; i < std::min(count, 12LL); ++i) {
            if (random.percent(bad_value)) {
                words.push_back(pick_word(bad_values));
                continue;
            }
            const int roll = random.below(100);
            const long long value = roll < 4    ? 2147483647
                                    : roll < 8  ? -2147483647 - 1
                                    : roll < 14 ? -random.between(1, 9)
                                                : sketch.next_value++;
            words.push_back(spelling(value));
        }
        if (sketch.created)
            sketch.size = std::min(sketch.size + count, room(flag_stack, sketch.capacity));
    }

    template<std::size_t n>
    const char *pick_word(const char *const (&choices)[n])
    {
        return choices[random.below(static_cast<int>(n))];
    }

    int flag_stack;
    Random &random;
    Sketch sketch;
    Words words;
};

} // namespace

Words generate_words(int flag_stack, Random &random)
{
    return Writer(flag_stack, random).write();
}
