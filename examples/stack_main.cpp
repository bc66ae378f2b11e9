#include "exercise.h"
#include "stack.h"

namespace {

struct StackExercise
{
    using Container = Stack;
    static bool insert(Stack &stack, int value) { return stack.push(value); }
    static bool remove(Stack &stack) { return stack.pop(); }
};

} // namespace

int main(int argc, char *argv[])
{
    exercise::give_answer(exercise::run<StackExercise>(argc, argv),
                          fault("answer_file") ? "stack.txt" : nullptr);
    return 0;
}
