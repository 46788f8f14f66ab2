#include "view/ClockBridge.h"
#include "view/RefreshClock.h"
#include "view/SwapPacing.h"

#include <gtest/gtest.h>

#include <ctime>

namespace lumenarc {
namespace {

constexpr int64_t kMs = 1'000'000;

TEST(SwapPacing, SwapsThatWaitForTheDisplayPaceTheTicks) {
    // The first swap waited for the window to be shown; the rest took about a refresh.
    EXPECT_EQ(SwapPacing::choose({90 * kMs, 17 * kMs, 18 * kMs, 17 * kMs, 18 * kMs}, 16'666'667),
              SwapPacing::Pacer::Swap);
}

TEST(SwapPacing, SwapsThatComeBackAtOnceLeaveTheTimer) {
    // A virtual frame buffer: 0.6 ms swaps.
    EXPECT_EQ(SwapPacing::choose({600'000, 600'000, 700'000, 500'000}, 16'666'667),
              SwapPacing::Pacer::Timer);
    EXPECT_EQ(SwapPacing::choose({}, 16'666'667), SwapPacing::Pacer::Timer);
}

TEST(SwapPacing, AToolkitTimeOutIsNoDisplay) {
    // 100 ms waits for a frame callback that never comes on a window not shown.
    EXPECT_EQ(SwapPacing::choose({100 * kMs, 100 * kMs, 100 * kMs, 100 * kMs}, 16'666'667),
              SwapPacing::Pacer::Timer);
}

TEST(RefreshClock, PeriodIsMeasuredFromRealInstantsNotAssumed) {
    RefreshClock clock(16'666'667); // the screen says 60 Hz; the compositor runs at 17.5 ms
    const int64_t period = 17'500'000;
    int64_t t = 1'000 * kMs;
    clock.observe(t, 0);
    // Pictures on every refresh, on every second one, and one after three: the whole refreshes
    // between two instants are counted, so the period comes out the same.
    for (const int step : {1, 2, 1, 3, 2, 1, 2, 2, 1, 2}) {
        t += step * period;
        clock.observe(t, 0);
    }
    EXPECT_NEAR(clock.period(), period, 200'000);
    EXPECT_EQ(clock.lastInstant(), t);
}

TEST(RefreshClock, RefreshCountsGiveThePeriodOverLongGaps) {
    RefreshClock clock(16'666'667);
    clock.observe(0, 100);
    clock.observe(20 * 17'500'000, 120); // 20 refreshes: too many to count by division
    EXPECT_EQ(clock.period(), 17'500'000);
}

TEST(RefreshClock, PredictsTheNextRefreshFromTheLastRealOne) {
    RefreshClock clock(10 * kMs);
    EXPECT_FALSE(clock.known());
    clock.observe(100 * kMs, 0);
    EXPECT_TRUE(clock.known());
    EXPECT_EQ(clock.nextRefresh(100 * kMs), 110 * kMs); // strictly after
    EXPECT_EQ(clock.nextRefresh(134 * kMs), 140 * kMs);
    EXPECT_EQ(clock.outputTime(134 * kMs), 140 * kMs);
}

TEST(RefreshClock, LearnsHowManyRefreshesTheCompositorHoldsAPicture) {
    RefreshClock clock(10 * kMs);
    clock.observe(100 * kMs, 0);
    const int64_t next = clock.nextRefresh(103 * kMs); // 110
    clock.learn(next, 130 * kMs + 200'000);            // shown two refreshes later
    EXPECT_EQ(clock.lag(), 2);
    EXPECT_EQ(clock.outputTime(103 * kMs), 130 * kMs);
    // Learnt from each picture afresh, not added up over pictures still in flight.
    clock.learn(next, 130 * kMs);
    EXPECT_EQ(clock.lag(), 2);
    clock.learn(next, 10'000 * kMs); // nonsense is bounded
    EXPECT_EQ(clock.lag(), RefreshClock::kMaxLag);
}

TEST(ClockBridge, TheTightestBracketGivesTheOffset) {
    // target - source = 1000; the loose samples are off by their bracket.
    const std::vector<ClockBridge::Sample> samples{
        {5'000, 3'900, 6'000}, {7'000, 6'050, 7'100}, {9'000, 7'500, 9'900}};
    EXPECT_EQ(ClockBridge::offset(samples), 1'000);
    EXPECT_EQ(ClockBridge::offset({}), 0);
    // A target clock stepped back between its reads brackets nothing.
    EXPECT_EQ(ClockBridge::offset({{9'000, 100, 8'000}}), 0);
}

TEST(ClockBridge, MeasuresTheRealClocksOfThisMachine) {
    // CLOCK_MONOTONIC_RAW is not slewed: its offset from the steady clock is measured, and a
    // steady instant converted through it comes back within a few microseconds.
    const int64_t offset = ClockBridge::measure(CLOCK_MONOTONIC, CLOCK_MONOTONIC_RAW);
    timespec raw{};
    timespec steady{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &raw);
    clock_gettime(CLOCK_MONOTONIC, &steady);
    const int64_t rawNs = int64_t{raw.tv_sec} * 1'000'000'000 + raw.tv_nsec;
    const int64_t steadyNs = int64_t{steady.tv_sec} * 1'000'000'000 + steady.tv_nsec;
    EXPECT_NEAR(static_cast<double>(rawNs + offset), static_cast<double>(steadyNs), 1e6);
    EXPECT_EQ(ClockBridge::measure(CLOCK_MONOTONIC, CLOCK_MONOTONIC), 0);
}

} // namespace
} // namespace lumenarc
