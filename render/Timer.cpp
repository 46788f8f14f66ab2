#include "render/Timer.h"

#include <chrono>

namespace lumenarc {
namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}

uint64_t Timer::steadyNanoseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

Timer::Timer() : Timer(&Timer::steadyNanoseconds) {}

Timer::Timer(TickSource ticks) : m_ticks(std::move(ticks)) {}

void Timer::reset() {
    m_running.store(true, kRelaxed);
    m_offsetTime.store(0.0f, kRelaxed);
    m_startTime.store(m_ticks(), kRelaxed);
}

double Timer::getElapsedSeconds() {
    if (m_running.load(kRelaxed)) {
        m_endTime.store(m_ticks(), kRelaxed);
    }
    // Ticks are nanoseconds already; the difference wraps as an unsigned subtraction.
    const uint64_t nanoseconds = m_endTime.load(kRelaxed) - m_startTime.load(kRelaxed);
    return static_cast<double>(nanoseconds) / 1000000000.0 +
           static_cast<double>(m_offsetTime.load(kRelaxed));
}

void Timer::addOffsetTime(float seconds) {
    // Single-precision sum; only the main thread adds, so load + store is enough.
    m_offsetTime.store(seconds + m_offsetTime.load(kRelaxed), kRelaxed);
}

void Timer::stop() {
    const uint64_t now = m_ticks();
    m_running.store(false, kRelaxed);
    m_endTime.store(now, kRelaxed);
}

} // namespace lumenarc
