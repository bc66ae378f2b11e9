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
    if (fault("pop_from_bottom"))
        items_.erase(items_.begin());
    else
        items_.pop_back();
    return true;
}

bool Stack::assign(const Stack &other)
{
    if (fault("assign_equal_capacity_fails")
            ? other.size() >= capacity_
            : other.size() > capacity_ && !fault("assign_unchecked"))
        return false;
    items_ = other.items_;
    return true;
}
