#include "stackqueue.h"

bool StackQueue::enqueue(int value)
{
    if (in_.full()) {
        if (!out_.empty())
            return false;
        pour();
    }
    return in_.push(value);
}

bool StackQueue::dequeue()
{
    if (out_.empty())
        pour();
    return out_.pop();
}

int StackQueue::at(std::size_t index) const
{
    if (index < out_.size())
        return out_.at(out_.size() - 1 - index);
    return in_.at(index - out_.size());
}

bool StackQueue::assign(const StackQueue &other)
{
    if (other.in_.size() > in_.capacity() || other.out_.size() > out_.capacity())
        return false;
    in_.assign(other.in_);
    out_.assign(other.out_);
    return true;
}

void StackQueue::pour()
{
    while (!in_.empty()) {
        out_.push(in_.top());
        in_.pop();
    }
}
