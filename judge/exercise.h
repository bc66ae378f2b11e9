#pragma once

// The three exercises of the lab and everything that tells them apart: the name the console
// takes, the reference program that defines the answers, the option letters its programs read.
// The window numbers them as its radio buttons do (0 stack, 1 queue, 2 two-stack queue).

#include <optional>
#include <string>
#include <string_view>

enum class Exercise { Stack, Queue, StackQueue };

inline constexpr Exercise all_exercises[]
    = {Exercise::Stack, Exercise::Queue, Exercise::StackQueue};

struct ExerciseInfo
{
    const char *name;           // as the console names it: "stack", "queue", "stackqueue"
    const char *reference_file; // the reference program in the reference folder
    const char *option_letters; // the letters of the options its programs read, as in -S
};

const ExerciseInfo &exercise_info(Exercise exercise);

inline std::string exercise_name(Exercise exercise)
{
    return exercise_info(exercise).name;
}
inline std::string reference_file_name(Exercise exercise)
{
    return exercise_info(exercise).reference_file;
}

// "stack", "queue" or "stackqueue"; nothing for any other name.
std::optional<Exercise> exercise_named(std::string_view name);

// The window's number of an exercise, and back; nothing for a number out of range.
int exercise_number(Exercise exercise);
std::optional<Exercise> exercise_from_number(int number);

// Whether `word` is one of the exercise's options: a minus and one of its letters.
bool is_exercise_option(Exercise exercise, std::string_view word);

// The two-stack queue reads -C and -N besides the queue's options, and keeps its elements in two
// stacks of its own capacity.
inline bool has_two_stacks(Exercise exercise)
{
    return exercise == Exercise::StackQueue;
}
