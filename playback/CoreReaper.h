#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace lumenarc {

// A thread of its own that destroys movie cores. Destroying a core waits for the decoder's
// threads, which a slow or stuck file can hold up; neither the main thread nor the render thread
// may wait for that.
class CoreReaper {
public:
    using Job = std::function<void()>;

    static constexpr std::chrono::milliseconds kGrace{3000};

    explicit CoreReaper(std::chrono::milliseconds grace = kGrace);
    // Finishes what was handed over, waiting at most `grace`; a core still stuck after that is
    // left to its thread, which ends with the process. What such a job uses must therefore not
    // belong to anything that goes before the process ends: it holds shares of it.
    ~CoreReaper();
    CoreReaper(const CoreReaper&) = delete;
    CoreReaper& operator=(const CoreReaper&) = delete;

    // Any thread: runs `job` on the reaper's thread, after everything handed over before it.
    void dispose(Job job);
    // Waits until everything handed over so far has run.
    void drain();

private:
    struct Queue;
    const std::chrono::milliseconds m_grace;
    std::shared_ptr<Queue> m_queue;
    std::thread m_thread;
};

} // namespace lumenarc
