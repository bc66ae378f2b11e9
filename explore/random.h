#pragma once

// The explorer's source of chance. Its own generator and its own range reduction, because the
// standard distributions are free to differ between libraries: a seed must give the same option
// strings on every machine and with every compiler.

#include <cstdint>

class Random
{
public:
    explicit Random(std::uint64_t seed)
        : state(seed)
    {}

    // splitmix64: small, fast, and every seed (0 included) gives a full-quality stream.
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // 0 to n - 1 for n above 0. The bias of the remainder is below 2^-32 for the small ranges
    // used here.
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

    // lowest to highest, both included.
    int between(int lowest, int highest) { return lowest + below(highest - lowest + 1); }

    bool percent(int chance) { return below(100) < chance; }

private:
    std::uint64_t state;
};
