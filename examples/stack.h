#pragma once

#include "fault.h"

#include <cstddef>
#include <vector>

// A bounded stack of integers. The capacity is only a limit: storage grows with the elements, so
// a stack declared with a huge capacity costs nothing until it is filled.
class Stack
{
public:
    explicit Stack(std::size_t capacity)
        : capacity_(capacity)
    {}

    // False when the stack is full.
    bool push(int value);
    // False when the stack is empty.
    bool pop();
    int top() const { return items_.back(); }

    bool empty() const { return items_.empty(); }
    bool full() const
    {
        // A fixed array under a capacity of any size, and a capacity kept in 16 bits.
        if ((fault("fixed_array_100") && items_.size() >= 100)
            || (fault("fixed_stacks_1000") && items_.size() >= 1000))
            return true;
        if (fault("capacity_unsigned_short"))
            return items_.size() >= static_cast<unsigned short>(capacity_);
        return fault("capacity_off_by_one") ? items_.size() > capacity_
                                            : items_.size() >= capacity_;
    }
    std::size_t size() const { return items_.size(); }
    std::size_t capacity() const { return capacity_; }
    // Counted from the bottom.
    int at(std::size_t index) const { return items_[index]; }

    // Takes over the elements of `other` and keeps this stack's own capacity; false, leaving this
    // stack unchanged, when they do not fit.
    bool assign(const Stack &other);

private:
    std::size_t capacity_;
    std::vector<int> items_;
};
