#pragma once

#include <cstddef>
#include <deque>

// A queue of at most capacity() elements, listed from the front (position 0) to the back.
template<typename T>
class Queue
{
public:
    explicit Queue(std::size_t capacity)
        : capacity_(capacity)
    {}

    std::size_t capacity() const { return capacity_; }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    bool full() const { return items_.size() >= capacity_; }

    const T &at(std::size_t position) const { return items_.at(position); }

    bool enqueue(const T &value)
    {
        if (full())
            return false;
        items_.push_back(value);
        return true;
    }

    bool dequeue()
    {
        if (empty())
            return false;
        items_.pop_front();
        return true;
    }

    // Takes over the elements of other, keeping this queue's own capacity; fails when they do not
    // fit, and then leaves this queue as it was.
    bool assign(const Queue &other)
    {
        if (other.size() > capacity_)
            return false;
        items_ = other.items_;
        return true;
    }

private:
    std::size_t capacity_;
    // Grows with the elements, not with the capacity (see Stack).
    std::deque<T> items_;
};
