#include "base/WallClock.h"

#include <ctime>

namespace lumenarc {

int64_t WallClock::now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return int64_t{now.tv_sec} * kSecond + now.tv_nsec;
}

int64_t WallClock::fromSteady(std::chrono::steady_clock::time_point time) {
    const auto steadyNow = std::chrono::steady_clock::now();
    const int64_t wallNow = now();
    return wallNow + std::chrono::duration_cast<std::chrono::nanoseconds>(time - steadyNow).count();
}

int64_t WallClock::clockNow(int clockId) {
    timespec now{};
    if (clock_gettime(static_cast<clockid_t>(clockId), &now) != 0) {
        return 0;
    }
    return int64_t{now.tv_sec} * kSecond + now.tv_nsec;
}

static_assert(WallClock::kSteadyClockId == CLOCK_MONOTONIC);

} // namespace lumenarc
