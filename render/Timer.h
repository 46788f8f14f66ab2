#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace lumenarc {

// The stopwatch behind the frame-rate readout. Ticks come from a monotonic clock in
// nanoseconds (steady_clock unless a test injects its own). Opening a movie resets it on the
// main thread while a frame may be reading it on the drawing thread, so every field is atomic.
class Timer {
public:
    using TickSource = std::function<uint64_t()>;

    Timer();
    explicit Timer(TickSource ticks);

    void reset();
    double getElapsedSeconds();
    void addOffsetTime(float seconds);
    void stop();
    bool isRunning() const { return m_running.load(std::memory_order_relaxed); }

    static uint64_t steadyNanoseconds();

private:
    std::atomic<bool> m_running{false};
    std::atomic<uint64_t> m_startTime{0};
    std::atomic<uint64_t> m_endTime{0};
    std::atomic<float> m_offsetTime{0.0f};
    TickSource m_ticks;
};

} // namespace lumenarc
