#pragma once

#include "stack.h"

#include <cstddef>

// A queue made of two stacks of the same capacity. New elements go onto the in-stack; the oldest
// element is the top of the out-stack. The in-stack is poured onto the out-stack only when the
// out-stack is empty, so the order of the elements survives the move.
class StackQueue
{
public:
    explicit StackQueue(std::size_t capacity)
        : in_(capacity)
        , out_(capacity)
    {}
    StackQueue(const StackQueue &other);
    StackQueue &operator=(const StackQueue &other) = default;

    // False when the in-stack is full and cannot be emptied because the out-stack holds elements.
    bool enqueue(int value);
    // False when both stacks are empty.
    bool dequeue();

    std::size_t size() const { return in_.size() + out_.size(); }
    // Counted from the front: the out-stack from its top down, then the in-stack from its bottom.
    int at(std::size_t index) const;

    // Takes over both stacks of `other` as they are, each element staying in the stack it is in;
    // false, leaving this queue unchanged, when either stack does not fit this queue's capacity.
    bool assign(const StackQueue &other);

private:
    // Moves the whole in-stack onto the out-stack; only called while the out-stack is empty.
    void pour();

    Stack in_;
    Stack out_;
};
