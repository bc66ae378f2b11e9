#pragma once

#include "stack.h"

#include <cstddef>

// A queue built from two stacks of the same capacity n: values are pushed onto the in-stack and
// popped from the out-stack, which is refilled from the in-stack only when it has run empty. It
// holds up to 2n elements, but an insertion fails as soon as the in-stack is full while the
// out-stack still holds something.
template<typename T>
class StackQueue
{
public:
    explicit StackQueue(std::size_t capacity)
        : in_(capacity)
        , out_(capacity)
    {}

    std::size_t capacity() const { return in_.capacity(); }
    std::size_t size() const { return in_.size() + out_.size(); }
    bool empty() const { return in_.empty() && out_.empty(); }

    // Counts from the front: the out-stack from its top down, then the in-stack from its bottom up.
    const T &at(std::size_t position) const
    {
        const std::size_t front = out_.size();
        return position < front ? out_.at(front - 1 - position) : in_.at(position - front);
    }

    bool enqueue(const T &value)
    {
        if (in_.full() && out_.empty())
            transfer();
        return in_.push(value);
    }

    bool dequeue()
    {
        if (out_.empty())
            transfer();
        return out_.pop();
    }

    // Every element stays on the stack it was on, so a copy behaves exactly like the original on
    // later insertions. Fails when either stack does not fit the new capacity.
    bool assign(const StackQueue &other)
    {
        if (other.in_.size() > in_.capacity() || other.out_.size() > out_.capacity())
            return false;
        in_.assign(other.in_);
        out_.assign(other.out_);
        return true;
    }

private:
    // Moves the whole in-stack onto the out-stack, reversing it so that the oldest value ends on
    // top. Called only when the out-stack is empty, so everything fits.
    void transfer()
    {
        while (!in_.empty()) {
            out_.push(in_.top());
            in_.pop();
        }
    }

    Stack<T> in_;
    Stack<T> out_;
};
