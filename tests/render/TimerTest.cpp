#include "render/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace lumenarc {
namespace {

// A clock the test moves by hand, in nanoseconds.
struct ManualClock {
    std::atomic<uint64_t> now{1000};
    Timer::TickSource source() {
        return [this] { return now.load(); };
    }
};

TEST(Timer, NewStopwatchIsStoppedAtZero) {
    ManualClock clock;
    Timer timer(clock.source());
    EXPECT_FALSE(timer.isRunning());
    clock.now += 5'000'000'000;
    EXPECT_EQ(timer.getElapsedSeconds(), 0.0);
}

TEST(Timer, RunningReadingsFollowTheClock) {
    ManualClock clock;
    Timer timer(clock.source());
    timer.reset();
    EXPECT_TRUE(timer.isRunning());
    EXPECT_EQ(timer.getElapsedSeconds(), 0.0);
    clock.now += 16'666'667;
    EXPECT_DOUBLE_EQ(timer.getElapsedSeconds(), 0.016666667);
    clock.now += 1'000'000'000;
    EXPECT_DOUBLE_EQ(timer.getElapsedSeconds(), 1.016666667);
}

TEST(Timer, StopFreezesTheReadingAndResetRestarts) {
    ManualClock clock;
    Timer timer(clock.source());
    timer.reset();
    clock.now += 2'000'000'000;
    timer.stop();
    EXPECT_FALSE(timer.isRunning());
    clock.now += 7'000'000'000;
    EXPECT_EQ(timer.getElapsedSeconds(), 2.0);
    EXPECT_EQ(timer.getElapsedSeconds(), 2.0);
    timer.reset();
    EXPECT_TRUE(timer.isRunning());
    clock.now += 500'000'000;
    EXPECT_EQ(timer.getElapsedSeconds(), 0.5);
}

TEST(Timer, OffsetsAddInSinglePrecisionUntilReset) {
    ManualClock clock;
    Timer timer(clock.source());
    timer.addOffsetTime(1.5f);
    timer.addOffsetTime(0.25f);
    EXPECT_EQ(timer.getElapsedSeconds(), 1.75); // stopped: offset alone
    timer.reset();
    EXPECT_EQ(timer.getElapsedSeconds(), 0.0); // reset discards the offset
    timer.addOffsetTime(0.1f);
    timer.addOffsetTime(0.2f);
    EXPECT_EQ(timer.getElapsedSeconds(), static_cast<double>(0.2f + 0.1f));
    timer.addOffsetTime(-5.0f);
    EXPECT_LT(timer.getElapsedSeconds(), 0.0);
}

TEST(Timer, SteadyClockReadingsNeverDecrease) {
    Timer timer;
    timer.reset();
    double previous = timer.getElapsedSeconds();
    EXPECT_GE(previous, 0.0);
    for (int k = 0; k < 1000; ++k) {
        const double now = timer.getElapsedSeconds();
        EXPECT_GE(now, previous);
        previous = now;
    }
}

TEST(Timer, ResetOnOneThreadWhileAnotherReads) {
    Timer timer;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done.load()) {
            EXPECT_GE(timer.getElapsedSeconds(), -1.0);
        }
    });
    for (int k = 0; k < 10000; ++k) {
        timer.reset();
    }
    done = true;
    reader.join();
}

} // namespace
} // namespace lumenarc
