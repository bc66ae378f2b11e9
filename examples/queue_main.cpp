#include "exercise.h"
#include "queue.h"

#include <fstream>

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
    std::ofstream answer("queue.txt");
    answer << exercise::run<QueueExercise>(argc, argv) << '\n';
    return answer ? 0 : 1;
}
