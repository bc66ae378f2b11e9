#include "exercise.h"
#include "stackqueue.h"

#include <iostream>

namespace {

struct StackQueueExercise
{
    using Container = StackQueue;
    static bool insert(StackQueue &queue, int value) { return queue.enqueue(value); }
    static bool remove(StackQueue &queue) { return queue.dequeue(); }
};

} // namespace

int main(int argc, char *argv[])
{
    std::cout << exercise::run<StackQueueExercise>(argc, argv) << '\n';
    return 0;
}
