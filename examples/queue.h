#pragma once

#include "fault.h"

#include <cstddef>
#include <deque>

// A bounded first-in first-out queue of integers. Like Stack, it allocates per element, not per
// unit of capacity.
class Queue
{
public:
    explicit Queue(std::size_t capacity)
        : capacity_(capacity)
    {}

    // False when the queue is full.
    bool enqueue(int value);
    // False when the queue is empty.
    bool dequeue();

    bool empty() const { return items_.empty(); }
    bool full() const
    {
        return fault("capacity_one_short") ? items_.size() + 1 >= capacity_
                                           : items_.size() >= capacity_;
    }
    std::size_t size() const { return items_.size(); }
    std::size_t capacity() const { return capacity_; }
    // Counted from the front.
    int at(std::size_t index) const { return items_[index]; }

    // Takes over the elements of `other` and keeps this queue's own capacity; false, leaving this
    // queue unchanged, when they do not fit.
    bool assign(const Queue &other);

private:
    std::size_t capacity_;
    std::deque<int> items_;
};
