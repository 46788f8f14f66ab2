#pragma once

#include "base/MainThread.h"

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace lumenarc::test {

// The main thread's queue, for tests: while it lives, work posted to the main thread waits here
// until the test (the main thread) runs it, as the application's event loop would.
class MainQueue {
public:
    MainQueue() {
        MainThread::setPoster([this](MainThread::Task task) {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
            ++m_posted;
        });
    }
    ~MainQueue() {
        MainThread::setPoster(nullptr);
        run();
    }
    MainQueue(const MainQueue&) = delete;
    MainQueue& operator=(const MainQueue&) = delete;

    // Runs what was posted, and what that posts in turn.
    void run() {
        for (;;) {
            MainThread::Task task;
            {
                std::lock_guard lock(m_mutex);
                if (m_tasks.empty()) {
                    return;
                }
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
    }

    // Runs posted work until `condition` holds; false when `limit` passes first.
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            run();
            if (condition()) {
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    size_t posted() {
        std::lock_guard lock(m_mutex);
        return m_posted;
    }

private:
    std::mutex m_mutex;
    std::deque<MainThread::Task> m_tasks;
    size_t m_posted = 0;
};

} // namespace lumenarc::test
