#include "exercise.h"
#include "queue.h"

int main(int argc, char *argv[])
{
    return run_exercise<Queue<Value>>(argc, argv, {&Queue<Value>::enqueue, &Queue<Value>::dequeue});
}
