#pragma once

#include <cstdint>
#include <vector>

namespace lumenarc {

// Converts instants of one clock (a compositor's CLOCK_MONOTONIC_RAW, say) onto another (the
// steady clock) by a measured offset: each sample reads the target clock, the source, and the
// target again; the sample with the shortest bracket gives the offset. Never assumed: two
// monotonic clocks drift apart as the system clock is slewed.
class ClockBridge {
public:
    struct Sample {
        int64_t targetBefore;
        int64_t source;
        int64_t targetAfter;
    };
    // target - source, from the tightest sample; 0 without samples.
    static int64_t offset(const std::vector<Sample>& samples);
    // Thin: samples the two POSIX clocks now and returns target - source.
    static int64_t measure(int targetClock, int sourceClock);

    static constexpr int kSamples = 5;
};

} // namespace lumenarc
