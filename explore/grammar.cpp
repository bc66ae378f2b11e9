#include "explore/grammar.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>

namespace {

// How often each option follows the first -S, in parts of their sum. Insertions come up most,
// because they change the state that the other options look at.
struct OptionWeight
{
    char letter;
    int weight;
};
constexpr OptionWeight option_weights[] = {
    {'I', 30}, {'O', 16}, {'G', 14}, {'A', 12}, {'C', 10}, {'N', 8}, {'S', 8},
};
// In a string aimed at a number, the options that take one come up more.
constexpr OptionWeight aimed_weights[] = {
    {'I', 24}, {'O', 18}, {'G', 18}, {'A', 18}, {'C', 6}, {'N', 6}, {'S', 8},
};

// In a hundred options after an empty container, how many are insertions.
constexpr int empty_fill = 60;

// In a hundred options after an insertion or removal of the two-stack queue whose out-stack holds
// elements, how many are a removal or insertion.
constexpr int two_stack_turns = 40;

// A run stops at its first failing option, and what follows goes unseen; so at most one flaw
// goes into a string, into this many strings in a hundred.
constexpr int flawed = 50;

// The flaws that make an option fail by its words, and how often each comes up.
enum class Flaw { OptionBeforeS, MissingNumber, BadValue, NegativeNumber, ExtraValue, NotAnOption };
struct FlawWeight
{
    Flaw flaw;
    int weight;
};
constexpr FlawWeight flaw_weights[] = {
    {Flaw::OptionBeforeS, 3},  // any option but -S before the first -S
    {Flaw::MissingNumber, 3},  // -S, -O, -A or -G without its number
    {Flaw::BadValue, 6},       // a word that is not an integer, or out of the int range
    {Flaw::NegativeNumber, 6}, // -S, -O, -A or -G with -1
    {Flaw::ExtraValue, 2},     // a value where the next option is expected
    {Flaw::NotAnOption, 2},    // an unknown option or a stray word
};

// Words in the place of a value that are not one: each way the handout names, and the int
// limits just exceeded.
const char *const bad_values[]
    = {"x", "2.5", "+2", "0x1", "", "2147483648", "-2147483649", "-", "1-"};
// Words in the place of an option that are not one.
const char *const not_options[] = {"-X", "-s", "-SI", "S", "5", "-", "+2", "-i"};

// In a hundred numbers, how many are written with leading zeros or as -0; half of those have
// one zero, the rest many, up to a word longer than any buffer of a few dozen bytes.
constexpr int unusual_spelling = 4;
constexpr int most_zeros = 40;

// In a hundred strings, how many are long: they may hold up to largest_count() elements in all.
// The rest hold at most a dozen elements per insertion, so that most failures shrink quickly.
constexpr int long_strings = 10;
constexpr long long short_insertion = 12;

// In a hundred long strings, how many hold as many options as the size schedule allows, and in a
// hundred strings aimed at a number, how many hold that many options: a program that keeps only
// its first few dozen options reads all of a short string.
constexpr int many_long = 30;
constexpr int many_aimed = 25;
// Above this many options, each option is written to succeed and the container stays small, so
// that the options after the first few are read and the answer stays short.
constexpr int few_options = 8;

// In a hundred numbers of a string aimed at a boundary, how many are that boundary.
constexpr int aimed = 70;
// In a hundred numbers of any other string, how many are a boundary picked at random.
constexpr int stray_boundary = 5;

constexpr long long int_max = 2147483647;
constexpr long long int_min = -int_max - 1;

long long clamp_int(long long n)
{
    return std::min(int_max, std::max(int_min, n));
}

// What the generator knows of the container while it writes the options: not a model of the
// exercise (the reference program is that), only enough to aim numbers at the boundaries. The
// two-stack queue's elements are counted per stack, since its boundaries depend on them.
struct Sketch
{
    bool two_stacks = false;
    long long capacity = 0;
    long long in = 0; // every element, but only those of the in-stack for the two-stack queue
    long long out = 0;
    int next_value = 1;

    long long size() const { return in + out; }
    long long largest_part() const { return std::max(in, out); }
    long long room() const { return two_stacks ? 2 * capacity : capacity; }
    // How many insertions succeed from here: the two-stack queue's in-stack cannot be moved
    // while the out-stack holds elements.
    long long insertable() const
    {
        return two_stacks && out > 0 ? std::max(0LL, capacity - in) : room() - size();
    }

    void insert(long long n)
    {
        for (; n > 0; --n) {
            if (in >= capacity && two_stacks && out == 0)
                std::swap(in, out);
            if (in >= capacity)
                return;
            ++in;
        }
    }

    void remove(long long n)
    {
        for (; n > 0 && size() > 0; --n) {
            if (out == 0)
                std::swap(in, out);
            --out;
        }
    }
};

template<typename T>
T pick(Random &random, std::initializer_list<T> choices)
{
    return choices.begin()[random.below(static_cast<int>(choices.size()))];
}

template<typename Weight, std::size_t n>
const Weight &weighted(Random &random, const Weight (&choices)[n])
{
    int total = 0;
    for (const Weight &choice : choices)
        total += choice.weight;
    int roll = random.below(total);
    for (const Weight &choice : choices) {
        if (roll < choice.weight)
            return choice;
        roll -= choice.weight;
    }
    return choices[0];
}

template<std::size_t n>
const char *pick_word(Random &random, const char *const (&choices)[n])
{
    return choices[random.below(static_cast<int>(n))];
}

class Writer
{
public:
    Writer(Exercise exercise, Random &random, int index, std::optional<long long> focus,
           bool long_aim)
        : exercise(exercise)
        , random(random)
        , focus(focus)
        , is_long(focus ? long_aim : random.percent(long_strings))
        , elements_left(largest_count(index))
        , most_options(largest_count(index))
    {}

    Words write()
    {
        const int count = option_count();
        many = count > few_options;
        option('S');
        char last = 'S';
        for (int i = 0; i < count; ++i) {
            // Most options fail on an empty container, and the run stops there.
            const bool fill = sketch.size() == 0 && random.percent(empty_fill);
            // The two-stack queue's moves depend on what both stacks hold: insertions and
            // removals take turns while the out-stack holds elements.
            const bool turns = sketch.two_stacks && sketch.out > 0 && (last == 'I' || last == 'O')
                               && random.percent(two_stack_turns);
            last = fill    ? 'I'
                   : turns ? (last == 'I' ? 'O' : 'I')
                   : focus ? weighted(random, aimed_weights).letter
                           : weighted(random, option_weights).letter;
            option(last);
        }
        if (random.percent(flawed))
            add(weighted(random, flaw_weights).flaw);
        return words;
    }

private:
    int option_count()
    {
        if (focus && *focus > 1 && *focus <= most_options && random.percent(many_aimed))
            return static_cast<int>(near(*focus));
        if (is_long && random.percent(many_long))
            return random.between(1, static_cast<int>(most_options));
        return random.between(0, 4) + random.between(1, 4);
    }

    // A number for `letter` with which the option succeeds and the container stays as small as
    // it is; -G on an empty container has none and is left out.
    std::optional<long long> succeeding(char letter)
    {
        const long long size = sketch.size();
        switch (letter) {
        case 'S':
            return random.between(1, 9);
        case 'O':
            return random.between(0, static_cast<int>(size));
        case 'G':
            if (size == 0)
                return std::nullopt;
            return random.between(0, static_cast<int>(size) - 1);
        case 'A':
            return random.between(
                static_cast<int>(sketch.largest_part()),
                static_cast<int>(std::max(sketch.largest_part(), sketch.capacity)));
        default:
            return 0;
        }
    }

    // An option of a string of many: each succeeds, so that the run reads them all.
    void succeeding_option(char letter)
    {
        const std::optional<long long> n = succeeding(letter);
        if (!n) {
            words.push_back("-N");
            return;
        }
        words.push_back(std::string{'-', letter});
        switch (letter) {
        case 'S':
            sketch = {has_two_stacks(exercise), *n, 0, 0, sketch.next_value};
            break;
        case 'I': {
            const long long count = std::min<long long>(sketch.insertable(), random.between(0, 2));
            for (long long i = 0; i < count; ++i)
                number(value());
            sketch.insert(count);
            return;
        }
        case 'O':
            sketch.remove(*n);
            break;
        case 'A':
            sketch.capacity = *n;
            break;
        case 'C':
        case 'N':
            return;
        }
        number(*n);
    }

    void option(char letter)
    {
        if (many) {
            succeeding_option(letter);
            return;
        }
        words.push_back(std::string{'-', letter});
        const long long size = sketch.size();
        const int any = random.between(0, static_cast<int>(size));
        switch (letter) {
        case 'S':
            sketch = {has_two_stacks(exercise), capacity_number(), 0, 0, sketch.next_value};
            number(sketch.capacity);
            break;
        case 'I':
            insert_values();
            break;
        case 'O': {
            const long long n
                = boundary_or(pick<long long>(random, {0, 1, size - 1, size, size + 1, any}));
            number(std::max(0LL, n));
            if (n <= size)
                sketch.remove(n);
            break;
        }
        case 'G':
            number(std::max(
                0LL, boundary_or(pick<long long>(random, {0, size - 1, size, size + 1, any}))));
            break;
        case 'A': {
            // One below the larger stack of the two-stack queue: its total may fit while that
            // stack does not.
            const long long capacity
                = std::max(0LL, boundary_or(pick<long long>(
                                    random, {size - 1, size, size + 1, sketch.largest_part() - 1, 0,
                                             sketch.capacity, random.between(0, 9)})));
            number(capacity);
            if (capacity >= sketch.largest_part())
                sketch.capacity = capacity;
            break;
        }
        default: // -C and -N take no words
            break;
        }
    }

    // Near the aimed boundary in an aimed string; now and then near a boundary picked at random;
    // else `n`.
    long long boundary_or(long long n)
    {
        if (focus && *focus >= 0 && random.percent(aimed))
            return near(*focus);
        if (random.percent(stray_boundary))
            return near(pick_boundary());
        return n;
    }

    long long pick_boundary()
    {
        const std::vector<long long> &all = boundary_numbers();
        return all[static_cast<std::size_t>(random.below(static_cast<int>(all.size())))];
    }

    // `n` itself half the time, else one either side.
    long long near(long long n)
    {
        return clamp_int(random.percent(50) ? n : n + (random.percent(50) ? 1 : -1));
    }

    // Mostly small, so that the container fills within a few insertions; in a long string often
    // as large as the elements it may hold.
    long long capacity_number()
    {
        if (is_long && random.percent(40))
            return random.between(1, static_cast<int>(std::max(1LL, elements_left)));
        const int roll = random.below(100);
        if (roll < 12)
            return 0;
        if (roll < 80)
            return boundary_or(random.between(1, 5));
        if (roll < 92)
            return boundary_or(random.between(6, 9));
        return roll < 96 ? 2000000000 : 2147483647;
    }

    void number(long long n)
    {
        const std::string digits = std::to_string(n < 0 ? -n : n);
        const std::string sign = n < 0 || (n == 0 && random.percent(50)) ? "-" : "";
        // An aimed number the length of a word: a buffer of that many bytes, say.
        if (focus && *focus > 1 && *focus <= most_zeros && random.percent(aimed / 5)) {
            const long long length = near(*focus);
            const std::size_t used = sign.size() + digits.size();
            words.push_back(sign
                            + std::string(length > static_cast<long long>(used)
                                              ? static_cast<std::size_t>(length) - used
                                              : 0,
                                          '0')
                            + digits);
            return;
        }
        if (!random.percent(unusual_spelling)) {
            words.push_back(std::to_string(n));
            return;
        }
        const std::string zeros(random.percent(50) ? 1 : random.between(2, most_zeros), '0');
        words.push_back(sign + zeros + digits);
    }

    // Any int: of every length and sign.
    long long any_value()
    {
        const int digits = random.between(1, 10);
        long long top = 1;
        for (int i = 0; i < digits; ++i)
            top *= 10;
        const long long magnitude = static_cast<long long>(
            random.next() % static_cast<std::uint64_t>(std::min(top, int_max + 1)));
        return random.percent(50) ? -magnitude : magnitude;
    }

    long long value()
    {
        // A long string holds mostly short values, so that a failure of its length shrinks in
        // steps of whole words.
        if (is_long && random.percent(75))
            return sketch.next_value++;
        const int roll = random.below(100);
        if (focus && roll < 15)
            return near(random.percent(50) ? *focus : -*focus);
        if (roll < 19)
            return 2147483647;
        if (roll < 23)
            return int_min;
        if (roll < 29)
            return -random.between(1, 9);
        if (roll < 33)
            return 0;
        if (roll < 39)
            return any_value();
        if (roll < 41)
            return near(random.percent(50) ? pick_boundary() : -pick_boundary());
        return sketch.next_value++;
    }

    void insert_values()
    {
        const long long free = sketch.insertable();
        const long long limit = is_long ? elements_left : short_insertion;
        long long count
            = std::max(0LL, pick<long long>(random, {0, 1, free - 1, free, free, free + 1, free + 1,
                                                     random.between(1, 4)}));
        if (is_long && random.percent(30))
            count = random.between(0, static_cast<int>(limit));
        else if (focus && *focus >= 0 && random.percent(aimed))
            count = near(*focus);
        // A capacity of two billion must not make the string long.
        count = std::max(0LL, std::min(count, limit));
        if (is_long)
            elements_left -= count;
        for (long long i = 0; i < count; ++i)
            number(value());
        sketch.insert(count);
    }

    // The number of words after the option at `i`, up to the next option.
    std::size_t values_after(std::size_t i) const
    {
        std::size_t n = 0;
        while (i + 1 + n < words.size() && !is_exercise_option(exercise, words[i + 1 + n]))
            ++n;
        return n;
    }

    void add(Flaw flaw)
    {
        // Every option the string has, and the first number of each option that takes one (always
        // the word after it). Each such option is as likely to get the flaw, and at its first
        // place, where no earlier failure hides it; else -S, which every string starts with,
        // would take most.
        std::vector<std::size_t> options;
        std::vector<std::size_t> numbers;
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (!is_exercise_option(exercise, words[i]))
                continue;
            options.push_back(i);
            const bool numbered = words[i] != "-I" && words[i] != "-C" && words[i] != "-N";
            if (numbered && std::none_of(numbers.begin(), numbers.end(), [&](std::size_t n) {
                    return words[n - 1] == words[i];
                }))
                numbers.push_back(i + 1);
        }
        const std::size_t at = options[random.below(static_cast<int>(options.size()))];
        const std::size_t number = numbers[random.below(static_cast<int>(numbers.size()))];
        const auto position = [&](std::size_t i) { return words.begin() + static_cast<long>(i); };
        switch (flaw) {
        case Flaw::OptionBeforeS: {
            const Words rest = std::move(words);
            words.clear();
            option(pick(random, {'I', 'O', 'A', 'C', 'N', 'G'}));
            words.insert(words.end(), rest.begin(), rest.end());
            break;
        }
        case Flaw::MissingNumber:
            words.erase(position(number));
            break;
        case Flaw::BadValue:
            words[number] = pick_word(random, bad_values);
            if (words[at] == "-I")
                words.insert(
                    position(at + 1 + random.below(1 + static_cast<int>(values_after(at)))),
                    pick_word(random, bad_values));
            break;
        case Flaw::NegativeNumber:
            words[number] = "-1";
            break;
        case Flaw::ExtraValue:
            words.insert(position(at + 1 + values_after(at)), std::to_string(random.between(0, 9)));
            break;
        case Flaw::NotAnOption:
            words.insert(position(at), pick_word(random, not_options));
            break;
        }
    }

    const Exercise exercise;
    Random &random;
    const std::optional<long long> focus;
    const bool is_long;
    long long elements_left;
    const long long most_options;
    bool many = false;
    Sketch sketch;
    Words words;
};

} // namespace

const std::vector<long long> &boundary_numbers()
{
    static const std::vector<long long> numbers = [] {
        std::vector<long long> all{0, 1};
        for (long long n = 16; n <= int_max; n *= 2)
            all.push_back(n);
        for (long long n = 10; n <= int_max; n *= 10)
            all.push_back(n);
        all.push_back(int_max);
        std::sort(all.begin(), all.end());
        return all;
    }();
    return numbers;
}

std::vector<Words> opening_words(Exercise exercise)
{
    std::vector<Words> all{{}};
    const auto add = [&](Words words) {
        if (std::find(all.begin(), all.end(), words) == all.end())
            all.push_back(std::move(words));
    };
    const auto joined = [](Words head, std::initializer_list<std::string> tail) {
        head.insert(head.end(), tail);
        return head;
    };
    const std::string max = std::to_string(int_max);
    const std::string min = std::to_string(int_min);
    // Capacities and values at the int limits, and one past them.
    for (const Words &words : std::initializer_list<Words>{
             {"-S", "0", "-I", "1"},
             {"-S", "1", "-I", "1", "2"},
             {"-S", max, "-I", "1", "-N"},
             {"-S", "-1"},
             {"-S", min},
             {"-S", "2147483648"},
             {"-S", "4", "-I", "0", "1", "-1", max, "-G", "3"},
             {"-S", "4", "-I", min, max, "-N"},
             {"-S", "2", "-I", "2147483648"},
             {"-S", "2", "-I", "-2147483649"},
         })
        add(words);
    // Insertions from none to one past full.
    const bool two = has_two_stacks(exercise);
    Words insertion{"-S", "3", "-I"};
    for (int n = 1; n <= (two ? 7 : 4) + 1; ++n) {
        add(insertion);
        insertion.push_back(std::to_string(n));
    }
    // Each state with the number of elements it holds.
    std::vector<std::pair<Words, long long>> states{
        {{"-S", "3"}, 0},
        {{"-S", "3", "-I", "1", "2", "3"}, 3},
        {{"-S", "3", "-I", "1", "2", "3", "-O", "1", "-I", "4"}, 3},
    };
    if (two) {
        states.push_back({{"-S", "2", "-I", "1", "2", "3", "4"}, 4});
        states.push_back({{"-S", "2", "-I", "1", "2", "3", "4", "-O", "1"}, 3});
    }
    for (const auto &state : states) {
        const long long size = state.second;
        for (const char *option : {"-O", "-G", "-A"}) {
            for (const long long n : {0LL, 1LL, -1LL, size - 1, size, size + 1, int_max, int_min})
                add(joined(state.first, {option, std::to_string(n)}));
        }
        add(joined(state.first, {"-C"}));
        add(joined(state.first, {"-C", "-I", "9", "-N"}));
    }
    return all;
}

long long largest_count(int index)
{
    constexpr long long most = 10000;
    return std::min(most, 100 + 50 * static_cast<long long>(index));
}

Words generate_words(Exercise exercise, Random &random, int index, const Dictionary &dictionary)
{
    // Every third string aims at a number: the dictionary's and the boundaries take turns.
    // The first round of the numbers fills containers up to them, the next only aims at them,
    // and so on: a long string costs more to run and far more to shrink.
    std::optional<long long> focus;
    bool long_aim = false;
    if (index % 3 == 2) {
        const std::vector<long long> &bounds = boundary_numbers();
        const std::size_t turn = static_cast<std::size_t>(index / 3);
        std::size_t round = 0;
        if (dictionary.empty()) {
            focus = bounds[turn % bounds.size()];
            round = turn / bounds.size();
        } else if (turn % 2 == 0) {
            focus = dictionary[turn / 2 % dictionary.size()];
            round = turn / 2 / dictionary.size();
        } else {
            focus = bounds[turn / 2 % bounds.size()];
            round = turn / 2 / bounds.size();
        }
        long_aim = round % 2 == 0;
    }
    return Writer(exercise, random, index, focus, long_aim).write();
}
