#include "exercise.h"
#include "stackqueue.h"

int main(int argc, char *argv[])
{
    return run_exercise<StackQueue<Value>>(
        argc, argv, {&StackQueue<Value>::enqueue, &StackQueue<Value>::dequeue});
}
