#pragma once

#include <cstddef>
#include <vector>

// A stack of at most capacity() elements, listed from the bottom (position 0) to the top.
template<typename T>
class Stack
{
public:
    explicit Stack(std::size_t capacity)
        : capacity_(capacity)
    {}

    std::size_t capacity() const { return capacity_; }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    bool full() const { return items_.size() >= capacity_; }

    const T &at(std::size_t position) const { return items_.at(position); }
    const T &top() const { return items_.back(); }

    bool push(const T &value)
    {
        if (full())
            return false;
        items_.push_back(value);
        return true;
    }

    bool pop()
    {
        if (empty())
            return false;
        items_.pop_back();
        return true;
    }

    // Takes over the elements of other, keeping this stack's own capacity; fails when they do not
    // fit, and then leaves this stack as it was.
    bool assign(const Stack &other)
    {
        if (other.size() > capacity_)
            return false;
        items_ = other.items_;
        return true;
    }

private:
    std::size_t capacity_;
    // Storage grows with the elements actually pushed, never with the capacity, so that a stack
    // declared for two billion elements costs nothing until they arrive.
    std::vector<T> items_;
};
