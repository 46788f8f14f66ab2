#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace lumenarc {

// A first-in first-out queue between two threads that holds at most `capacity` items, so
// that a fast producer waits for a slow consumer instead of filling memory. Both waits give
// up when the caller's stop predicate turns true: it is polled, because a signal handler
// cannot notify a condition variable.
template <typename T> class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity) : m_capacity(capacity > 0 ? capacity : 1) {}

    // Waits for room; false when the queue is closed or `stop()` turns true first.
    template <typename Stop> bool push(T item, Stop stop) {
        std::unique_lock lock(m_mutex);
        while (!m_closed && m_items.size() >= m_capacity) {
            if (stop()) {
                return false;
            }
            m_changed.wait_for(lock, kPoll);
        }
        if (m_closed) {
            return false;
        }
        m_items.push_back(std::move(item));
        m_changed.notify_all();
        return true;
    }

    // Waits for an item; nothing when the queue is closed and empty, or `stop()` turns true.
    template <typename Stop> std::optional<T> pop(Stop stop) {
        std::unique_lock lock(m_mutex);
        while (m_items.empty() && !m_closed) {
            if (stop()) {
                return std::nullopt;
            }
            m_changed.wait_for(lock, kPoll);
        }
        if (m_items.empty()) {
            return std::nullopt;
        }
        T item = std::move(m_items.front());
        m_items.pop_front();
        m_changed.notify_all();
        return item;
    }

    // No more items will come; pop still hands out those already queued.
    void close() {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }

    size_t size() const {
        std::lock_guard lock(m_mutex);
        return m_items.size();
    }

private:
    static constexpr std::chrono::milliseconds kPoll{50};

    const size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<T> m_items;
    bool m_closed = false;
};

} // namespace lumenarc
