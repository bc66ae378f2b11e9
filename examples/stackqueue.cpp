#include "stackqueue.h"

bool StackQueue::enqueue(int value)
{
    if (in_.full() && !fault("insert_never_moves")) {
        if (!out_.empty() && !fault("enqueue_moves_into_nonempty_out"))
            return false;
        pour();
    }
    return in_.push(value);
}

bool StackQueue::dequeue()
{
    if (out_.empty() || fault("dequeue_always_moves"))
        pour();
    return out_.pop();
}

StackQueue::StackQueue(const StackQueue &other)
    : in_(other.in_)
    , out_(other.out_)
{
    if (fault("copy_onto_in_stack")) {
        in_ = Stack(other.in_.capacity());
        out_ = Stack(other.out_.capacity());
        for (std::size_t i = 0; i < other.size(); ++i)
            in_.push(other.at(i));
    }
}

int StackQueue::at(std::size_t index) const
{
    if (index < out_.size())
        return out_.at(out_.size() - 1 - index);
    return in_.at(index - out_.size());
}

bool StackQueue::assign(const StackQueue &other)
{
    if (fault("assign_checks_total")) {
        if (other.size() > in_.capacity() + out_.capacity())
            return false;
        in_ = Stack(in_.capacity());
        out_ = Stack(out_.capacity());
        for (std::size_t i = 0; i < other.size(); ++i)
            enqueue(other.at(i));
        return true;
    }
    if (other.in_.size() > in_.capacity() || other.out_.size() > out_.capacity())
        return false;
    in_.assign(other.in_);
    out_.assign(other.out_);
    return true;
}

void StackQueue::pour()
{
    while (!in_.empty() && !out_.full()) {
        // A top of 0 taken for "nothing left to move".
        if (fault("zero_stops_transfer") && in_.top() == 0)
            return;
        out_.push(in_.top());
        in_.pop();
    }
}
