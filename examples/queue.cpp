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
    items_.pop_front();
    return true;
}

bool Queue::assign(const Queue &other)
{
    if (other.size() > capacity_)
        return false;
    items_ = other.items_;
    return true;
}
