#include "queue.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

bool Queue::enqueue(int value)
{
    if (full())
        return false;
    // A ring of 128 slots that overwrites its oldest element when it is full.
    if (fault("ring_of_128") && items_.size() == 128)
        items_.pop_front();
    // Hand-made growth from 64 slots, doubling, whose copy misses the last element.
    const std::size_t n = items_.size();
    if (fault("growth_loses_element") && n >= 64 && (n & (n - 1)) == 0)
        items_.back() = 0;
    // Each value passes through its text in 11 bytes: the 11 characters of -2147483648 leave no
    // room for the terminating zero, which lands beyond the array, unseen but by the sanitizers.
    if (fault("value_text_in_char_11")) {
        char text[11];
        std::sprintf(text, "%d", value);
        value = std::atoi(text);
    }
    items_.push_back(value);
    // The whole queue on standard error after every insertion: right answers, in quadratic time.
    if (fault("queue_printed_to_stderr")) {
        for (const int item : items_)
            std::cerr << item << ' ';
        std::cerr << '\n';
    }
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
