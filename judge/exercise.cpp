#include "judge/exercise.h"

namespace {

// Every exercise's programs read the same seven options; the two-stack queue alone does more
// with -C and -N, but the others still take them as options (and refuse what follows).
const ExerciseInfo infos[] = {
    {"stack", "a.exe", "SIOACNG"},
    {"queue", "b.exe", "SIOACNG"},
    {"stackqueue", "c.exe", "SIOACNG"},
};

} // namespace

const ExerciseInfo &exercise_info(Exercise exercise)
{
    return infos[exercise_number(exercise)];
}

std::optional<Exercise> exercise_named(std::string_view name)
{
    for (Exercise exercise : all_exercises) {
        if (name == exercise_info(exercise).name)
            return exercise;
    }
    return std::nullopt;
}

int exercise_number(Exercise exercise)
{
    return static_cast<int>(exercise);
}

std::optional<Exercise> exercise_from_number(int number)
{
    if (number < 0 || number > 2)
        return std::nullopt;
    return static_cast<Exercise>(number);
}

bool is_exercise_option(Exercise exercise, std::string_view word)
{
    return word.size() == 2 && word[0] == '-'
           && std::string_view(exercise_info(exercise).option_letters).find(word[1])
                  != std::string_view::npos;
}
