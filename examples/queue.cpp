#include "queue.h"

bool Queue::enqueue(int value)
{
    if (full())
        return false;
    items_.push_back(value);
    return true;
}

bool Queue::dequeue()
{
    if (empty())
        return false;
    if (fault("dequeue_from_back"))
        items_.pop_back();
    else
        items_.pop_front();
    return true;
}

bool Queue::assign(const Queue &other)
{
    if (fault("assign_equal_capacity_fails")
            ? other.size() >= capacity_
            : other.size() > capacity_ && !fault("assign_unchecked"))
        return false;
    items_ = other.items_;
    return true;
}
