#include "view/RenderThread.h"

#include <future>
#include <pthread.h>
#include <utility>

namespace lumenarc {

RenderThread::RenderThread(double refreshHz)
    : m_period(std::chrono::nanoseconds(static_cast<int64_t>(
          1e9 / (refreshHz >= 1.0 && refreshHz <= 1000.0 ? refreshHz : 60.0)))) {}

RenderThread::~RenderThread() {
    if (m_thread.joinable()) {
        quit({});
    }
}

void RenderThread::start(Task setup) {
    std::lock_guard lock(m_mutex);
    if (m_thread.joinable()) {
        return;
    }
    m_thread = std::thread([this, setup = std::move(setup)]() mutable { run(std::move(setup)); });
}

bool RenderThread::isRunning() const {
    std::lock_guard lock(m_mutex);
    return m_thread.joinable() && !m_quitting;
}

void RenderThread::post(Task task) {
    {
        std::lock_guard lock(m_mutex);
        if (m_quitting) {
            return;
        }
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

bool RenderThread::runAndWait(const Task& task) {
    if (isRenderThread()) {
        task();
        return true;
    }
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    {
        std::unique_lock lock(m_mutex);
        if (!m_thread.joinable()) {
            return false;
        }
        if (m_quitting) {
            // Whatever the caller wanted done on the thread, the teardown does or makes moot;
            // it must have run before the caller goes on (a core outlives its render context).
            m_finishedChanged.wait(lock, [this] { return m_finished; });
            return false;
        }
        m_tasks.push_back([task, done] {
            task();
            done->set_value();
        });
    }
    m_wake.notify_one();
    finished.wait();
    return true;
}

void RenderThread::setTickCallback(TickCallback callback) {
    std::lock_guard tickLock(m_tickMutex);
    std::lock_guard lock(m_mutex);
    m_tick = std::move(callback);
}

void RenderThread::setTicking(bool on) {
    {
        std::lock_guard lock(m_mutex);
        m_ticking = on;
    }
    if (!on && !isRenderThread()) {
        // A callback that started before the flag changed finishes before we return.
        std::lock_guard wait(m_tickMutex);
    }
    m_wake.notify_one();
}

bool RenderThread::isTicking() const {
    std::lock_guard lock(m_mutex);
    return m_ticking;
}

void RenderThread::quit(Task teardown) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable()) {
            return;
        }
        if (!m_quitting) {
            if (teardown) {
                m_tasks.push_back(std::move(teardown));
            }
            m_quitting = true;
        }
    }
    m_wake.notify_one();
    if (!isRenderThread()) {
        m_thread.join();
    }
}

bool RenderThread::runPendingTasks(std::unique_lock<std::mutex>& lock) {
    while (!m_tasks.empty()) {
        Task task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        if (task) {
            beforeWork();
            task();
        }
        lock.lock();
    }
    return m_quitting;
}

void RenderThread::beforeWork() {
    if (m_beforeWork) {
        m_beforeWork();
    }
}

void RenderThread::run(Task setup) {
    m_id = std::this_thread::get_id();
    pthread_setname_np(pthread_self(), "lumenarc-render");
    if (setup) {
        setup();
    }
    std::unique_lock lock(m_mutex);
    auto nextTick = Clock::now() + m_period;
    for (;;) {
        if (runPendingTasks(lock)) {
            m_finished = true; // the teardown task ran last
            m_finishedChanged.notify_all();
            return;
        }
        if (m_wake.wait_until(lock, nextTick, [this] { return !m_tasks.empty() || m_quitting; })) {
            continue;
        }
        nextTick += m_period;
        if (const auto now = Clock::now(); nextTick <= now) {
            nextTick = now + m_period; // fell behind: skip missed refreshes
        }
        // The frame prepared now goes on screen at the next refresh, never one already past.
        const auto outputTime = nextTick;
        if (!m_ticking || !m_tick) {
            continue;
        }
        lock.unlock();
        {
            std::lock_guard tickLock(m_tickMutex);
            // Turned off while we were getting here: the caller may already rely on silence.
            bool stillTicking;
            TickCallback tick;
            {
                std::lock_guard check(m_mutex);
                stillTicking = m_ticking && !m_quitting;
                tick = m_tick;
            }
            if (stillTicking && tick) {
                beforeWork();
                tick(outputTime);
            }
        }
        lock.lock();
        if (std::exchange(m_tickAgain, false)) {
            nextTick = Clock::now(); // the swap waited for the display: its refresh is now
        } else if (const auto at = std::exchange(m_tickAt, Clock::time_point{});
                   at != Clock::time_point{} && at > Clock::now()) {
            nextTick = at;
        }
    }
}

} // namespace lumenarc
