#pragma once

// The ten option strings of the automatic suite, byte for byte and in the order they run. Each
// begins with the blank that separates it from the program name; the runs of two blanks belong
// to the strings.

#include <array>

inline constexpr std::array<const char *, 10> suite_options = {
    " -S  5  -I  1  2  3  4 -O 2 -O 2",
    " -S  5 -O 0 -I  1  2  3  4 -O 5 -I 1",
    " -S  5  -I  1  2  3  4 -O 2 -I 5 6 7 -I 8",
    " -S  5  -I  1  2  3  4 -O 2 -A 4 -I 5 6 -I 7 -I 8",
    " -S  5  -I  1  2  3  4 -O 2 -C -I 5 6 -A 2",
    " -S  5  -I  1  2  3  4 -O 2 -N",
    " -S  5  -I  1  2  3  4 -G 3 -G 7",
    " -S  5  -I  1  2  3  4 -G 3 -I 5 6 7 8 -O 3 -I 9 0 -G 6 -I 1",
    " -S  3 -I 1 2 3 -O 1 -I 5 6 -G 1 -G 6",
    " -S  3 -I 1 2 3 4 -G 1 -I 5 6 -G 5 -O 6 -O 1",
};
