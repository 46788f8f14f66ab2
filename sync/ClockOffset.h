#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace lumenarc {

// A follower's view of the leader's clock, from the four time stamps of each ping exchange:
// t1 sent here, t2 received there, t3 answered there, t4 received here. The exchange with the
// shortest round trip of the recent ones gives the offset, as queueing only ever adds delay.
class ClockOffset {
public:
    struct Sample {
        int64_t offset = 0;    // leader's clock minus ours, nanoseconds
        int64_t roundTrip = 0; // nanoseconds, without the leader's own time
    };

    static Sample measure(int64_t t1, int64_t t2, int64_t t3, int64_t t4);
    // Keeps the exchange; refuses one that cannot be (a negative round trip, time stamps out of
    // order, clocks further apart than kMaxOffset).
    bool add(int64_t t1, int64_t t2, int64_t t3, int64_t t4);
    static bool plausible(int64_t t1, int64_t t2, int64_t t3, int64_t t4);
    // The best estimate so far, or nothing before the first exchange.
    std::optional<Sample> best() const;
    void clear() { m_samples.clear(); }

    // True when the offset is beyond `limit` whatever the exchange's delays were: the true
    // offset lies within half the round trip of the measured one.
    static bool surelyBeyond(const Sample& sample, int64_t limit) {
        return (sample.offset < 0 ? -sample.offset : sample.offset) - sample.roundTrip / 2 > limit;
    }

    static constexpr size_t kKept = 64;
    // Beyond this the machines' clocks are not in step, and the log says so.
    static constexpr int64_t kWarnAbove = 2'000'000;
    // Clocks further apart than a day belong to no show.
    static constexpr int64_t kMaxOffset = 86'400'000'000'000;
    // Time stamps are of this era: before the year 2200.
    static constexpr int64_t kLatest = 7'258'118'400'000'000'000;

private:
    std::deque<Sample> m_samples;
};

} // namespace lumenarc
