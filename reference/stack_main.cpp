#include "exercise.h"
#include "stack.h"

int main(int argc, char *argv[])
{
    return run_exercise<Stack<Value>>(argc, argv, {&Stack<Value>::push, &Stack<Value>::pop});
}
