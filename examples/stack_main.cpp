#include "exercise.h"
#include "stack.h"

#include <iostream>

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
    std::cout << exercise::run<StackExercise>(argc, argv) << '\n';
    return 0;
}
