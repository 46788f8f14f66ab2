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
    static constexpr int64_t kSecond = 1'000'000'000;
};

} // namespace lumenarc
