#pragma once

#include <chrono>
#include <cstddef>

namespace lumenarc {

// The bytes a listener may send in answer over time: a request of a few bytes from a forged
// source would otherwise have the player send a reply a hundred times its size to someone who
// never asked. A bucket of `burst` bytes, filled at `perSecond`; a reply that does not fit is not
// sent. Main thread only.
class ReplyBudget {
public:
    using Clock = std::chrono::steady_clock;

    explicit ReplyBudget(size_t perSecond = 32 * 1024, size_t burst = 32 * 1024)
        : m_perSecond(static_cast<double>(perSecond)), m_burst(static_cast<double>(burst)),
          m_left(static_cast<double>(burst)) {}

    // True, and the bytes spent, when a reply of `bytes` may go at `now`.
    bool take(size_t bytes, Clock::time_point now);

private:
    const double m_perSecond;
    const double m_burst;
    double m_left;
    Clock::time_point m_filled{};
    bool m_started = false;
};

} // namespace lumenarc
