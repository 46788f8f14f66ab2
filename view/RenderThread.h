#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace lumenarc {

// The one thread that owns the view's GL context and makes every GL call. It runs tasks that
// other threads post (redraws, size changes) as soon as it can, and ticks once per display
// refresh, calling the tick callback while ticking is on: a period after the last tick, at once
// after a swap that waited for the display, or at a refresh the display reported. Turning ticking
// off returns only when no tick callback runs any more; the thread itself stays alive for posted
// tasks.
class RenderThread {
public:
    using Clock = std::chrono::steady_clock;
    using Task = std::function<void()>;
    // Called on the thread each refresh with the time at which the frame being prepared will be
    // on screen (the next refresh).
    using TickCallback = std::function<void(Clock::time_point outputTime)>;

    explicit RenderThread(double refreshHz);
    ~RenderThread();
    RenderThread(const RenderThread&) = delete;
    RenderThread& operator=(const RenderThread&) = delete;

    // Starts the thread; `setup` runs on it first (make the context, prepare it).
    void start(Task setup);
    // Runs on the thread before every task and every tick: makes the GL context current. Set
    // before start.
    void setBeforeWork(Task beforeWork) { m_beforeWork = std::move(beforeWork); }
    // Runs `task` on the thread at its next chance; dropped once the thread is quitting.
    void post(Task task);
    // Runs `task` on the thread and waits for it; runs it at once when called on the thread.
    // False when the thread is not running, and nothing ran: not started, or quitting, in which
    // case it returns only once the teardown has run.
    bool runAndWait(const Task& task);

    void setTickCallback(TickCallback callback);
    // Must not be called from inside the tick callback (it would wait for itself).
    void setTicking(bool on);
    bool isTicking() const;
    // Render thread, from inside the tick: the tick presented through a swap that waits for the
    // display, so the next tick may start at once (the display paces it, not the timer).
    void tickAgainAtOnce() { m_tickAgain = true; }
    // Render thread, from inside the tick: the next tick starts at `when` (a refresh the
    // display itself reported), rather than a nominal period after this one.
    void tickNextAt(Clock::time_point when) { m_tickAt = when; }

    // Runs `teardown` on the thread as its last task, then ends the thread and joins it.
    void quit(Task teardown);
    bool isRenderThread() const { return std::this_thread::get_id() == m_id.load(); }
    bool isRunning() const;

    std::chrono::nanoseconds period() const { return m_period; }

private:
    void run(Task setup);
    bool runPendingTasks(std::unique_lock<std::mutex>& lock);
    void beforeWork();

    const std::chrono::nanoseconds m_period;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    bool m_quitting = false;
    bool m_finished = false; // the teardown ran and the loop ended
    std::condition_variable m_finishedChanged;
    Task m_beforeWork;
    bool m_ticking = false;
    bool m_tickAgain = false;     // render thread only
    Clock::time_point m_tickAt{}; // render thread only; the epoch when unset
    TickCallback m_tick;
    // Held while the tick callback runs, so that turning ticking off can wait for it.
    std::mutex m_tickMutex;
    std::thread m_thread;
    // Set by the thread itself, so that it knows itself before start() has returned.
    std::atomic<std::thread::id> m_id{};
};

} // namespace lumenarc
