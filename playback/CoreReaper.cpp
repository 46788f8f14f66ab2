#include "playback/CoreReaper.h"

#include "base/DeveloperLog.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>

namespace lumenarc {

struct CoreReaper::Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    bool running = false; // a job is being run
    bool stopping = false;
    bool finished = false;

    void run() {
        pthread_setname_np(pthread_self(), "lumenarc-reaper");
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (jobs.empty()) {
                finished = true;
                changed.notify_all();
                return;
            }
            Job job = std::move(jobs.front());
            jobs.pop_front();
            running = true;
            lock.unlock();
            job();
            job = nullptr; // whatever the job held goes here too, not under the lock
            lock.lock();
            running = false;
            changed.notify_all();
        }
    }
};

CoreReaper::CoreReaper(std::chrono::milliseconds grace)
    : m_grace(grace), m_queue(std::make_shared<Queue>()) {
    m_thread = std::thread([queue = m_queue] { queue->run(); });
}

CoreReaper::~CoreReaper() {
    bool finished = false;
    {
        std::unique_lock lock(m_queue->mutex);
        m_queue->stopping = true;
        m_queue->changed.notify_all();
        finished = m_queue->changed.wait_for(lock, m_grace, [this] { return m_queue->finished; });
    }
    if (finished) {
        m_thread.join();
    } else {
        DeveloperLog::write("A movie's decoder did not close in time; it is left to end with "
                            "the program");
        m_thread.detach(); // the queue it uses is shared with it, and outlives this object
    }
}

void CoreReaper::dispose(Job job) {
    std::lock_guard lock(m_queue->mutex);
    m_queue->jobs.push_back(std::move(job));
    m_queue->changed.notify_all();
}

void CoreReaper::drain() {
    std::unique_lock lock(m_queue->mutex);
    m_queue->changed.wait(lock, [this] { return m_queue->jobs.empty() && !m_queue->running; });
}

} // namespace lumenarc
