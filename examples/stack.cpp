#include "stack.h"

bool Stack::push(int value)
{
    if (full())
        return false;
    items_.push_back(value);
    return true;
}

bool Stack::pop()
{
    if (empty())
        return false;
    items_.pop_back();
    return true;
}

bool Stack::assign(const Stack &other)
{
    if (other.size() > capacity_)
        return false;
    items_ = other.items_;
    return true;
}
