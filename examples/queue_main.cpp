#include "exercise.h"
#include "queue.h"

namespace {

struct QueueExercise
{
    using Container = Queue;
    static bool insert(Queue &queue, int value) { return queue.enqueue(value); }
    static bool remove(Queue &queue) { return queue.dequeue(); }
};

} // namespace

// This program answers through queue.txt in the working directory and keeps standard output
// silent.
int main(int argc, char *argv[])
{
    return exercise::give_answer(exercise::run<QueueExercise>(argc, argv), "queue.txt");
}
