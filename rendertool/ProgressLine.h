#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace lumenarc {

// One line on a terminal that follows a long render: percent, frames, frames per second,
// elapsed and remaining time, redrawn in place a few times a second. Silent when disabled
// (no terminal, or --quiet).
class ProgressLine {
public:
    ProgressLine(std::FILE* out, bool enabled, std::optional<double> totalSeconds);

    // `frames` written so far, the last of them `seconds` into the cut.
    void update(int64_t frames, double seconds);
    // The final figures, and the line ends.
    void finish(int64_t frames, double seconds);
    // Wipes the line, so that a message can follow on a clean line.
    void clear();

    // The text of the line; the fraction and the remaining time only when the total is known.
    static std::string format(std::optional<double> fraction, int64_t frames, double fps,
                              double elapsed, std::optional<double> remaining);
    // "m:ss" or "h:mm:ss".
    static std::string clock(double seconds);

private:
    void draw(int64_t frames, double seconds);

    using Clock = std::chrono::steady_clock;
    std::FILE* m_out;
    bool m_enabled;
    std::optional<double> m_total;
    Clock::time_point m_started = Clock::now();
    Clock::time_point m_lastDrawn{};
    bool m_drawn = false;
};

} // namespace lumenarc
