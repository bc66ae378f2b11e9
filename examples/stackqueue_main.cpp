#include "exercise.h"
#include "stackqueue.h"

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
    exercise::give_answer(exercise::run<StackQueueExercise>(argc, argv),
                          fault("answer_file") ? "stackqueue.txt" : nullptr);
    return 0;
}
