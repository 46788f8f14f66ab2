#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace lumenarc {

// At most one log line per period, whatever the rate of what is reported: a flood of bad input
// must not flood standard error. Lines held back are counted into the next one. Any thread.
class LogThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit LogThrottle(std::chrono::milliseconds period = std::chrono::seconds(1))
        : m_period(period) {}

    // Writes the line (one line on standard error) unless one went out within the period.
    void write(const std::string& line);
    // The decision alone: the line to write now for `line` at `now`, or "" to hold it back.
    std::string admit(const std::string& line, Clock::time_point now);

private:
    const std::chrono::milliseconds m_period;
    std::mutex m_mutex;
    bool m_wroteOnce = false;
    Clock::time_point m_last{};
    uint64_t m_heldBack = 0;
};

} // namespace lumenarc
