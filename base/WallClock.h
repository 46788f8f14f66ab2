#pragma once

#include <chrono>
#include <cstdint>

namespace lumenarc {

// The machines' shared time: CLOCK_REALTIME in nanoseconds, which chrony or PTP keep in step
// across a show network. Steady times (the render thread's refreshes) convert onto it.
class WallClock {
public:
    static int64_t now();
    static int64_t fromSteady(std::chrono::steady_clock::time_point time);
    // Any POSIX clock (CLOCK_MONOTONIC_RAW, ...) now, in nanoseconds; 0 for one that cannot be
    // read.
    static int64_t clockNow(int clockId);
    // The POSIX clock behind std::chrono::steady_clock.
    static constexpr int kSteadyClockId = 1; // CLOCK_MONOTONIC
    static constexpr int64_t kSecond = 1'000'000'000;
};

} // namespace lumenarc
