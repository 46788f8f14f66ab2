#pragma once

#include "view/RenderThread.h"

#include <cstdint>

namespace lumenarc {

// The once-per-refresh callback, driven by the render thread's ticks. Stopping returns only
// when no callback runs, and must not be done from inside the callback. Whether it runs is the
// render thread's ticking and nothing else, so no lock of its own is held while stopping waits.
class DisplayLink {
public:
    using TimeStamp = RenderThread::Clock::time_point;
    using OutputCallback = int32_t (*)(DisplayLink* link, const TimeStamp* now,
                                       const TimeStamp* outputTime, uint64_t flagsIn,
                                       uint64_t* flagsOut, void* context);

    explicit DisplayLink(RenderThread& thread) : m_thread(thread) {}
    ~DisplayLink() { stop(); }
    DisplayLink(const DisplayLink&) = delete;
    DisplayLink& operator=(const DisplayLink&) = delete;

    void setOutputCallback(OutputCallback callback, void* context);
    void start();
    void stop();
    bool isRunning() const;

private:
    RenderThread& m_thread;
};

} // namespace lumenarc
