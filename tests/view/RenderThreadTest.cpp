#include "view/RenderThread.h"
#include "view/DisplayLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;

TEST(RenderThread, RunsTasksInOrderOnItsOwnThread) {
    RenderThread thread(100);
    EXPECT_FALSE(thread.runAndWait([] {})); // not started: nothing runs
    std::thread::id setupOn;
    thread.start([&] { setupOn = std::this_thread::get_id(); });
    std::vector<int> order;
    for (int k = 0; k < 5; ++k) {
        thread.post([&order, k] { order.push_back(k); });
    }
    std::thread::id ranOn;
    EXPECT_TRUE(thread.runAndWait([&] { ranOn = std::this_thread::get_id(); }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(ranOn, setupOn);
    EXPECT_NE(ranOn, std::this_thread::get_id());
    bool nested = false;
    thread.runAndWait([&] { thread.runAndWait([&] { nested = true; }); }); // no self-deadlock
    EXPECT_TRUE(nested);
}

TEST(RenderThread, QuitRunsTheTeardownLastAndDropsLaterWork) {
    RenderThread thread(100);
    thread.start({});
    std::vector<std::string> log;
    thread.post([&] { log.push_back("task"); });
    thread.quit([&] { log.push_back("teardown"); });
    EXPECT_EQ(log, (std::vector<std::string>{"task", "teardown"}));
    thread.post([&] { log.push_back("late"); });
    EXPECT_FALSE(thread.runAndWait([&] { log.push_back("late"); }));
    EXPECT_EQ(log.size(), 2u);
    EXPECT_FALSE(thread.isRunning());
}

// Checked by what the ticks report, not by how many come in a given time: a busy machine may
// run the thread late, but never makes it tick twice for one refresh or aim at a past one.
TEST(RenderThread, TicksOncePerRefreshWithTheNextRefreshAsOutputTime) {
    using Clock = RenderThread::Clock;
    RenderThread thread(50); // 20 ms
    constexpr size_t kTicks = 12;
    struct Tick {
        Clock::time_point called, output;
    };
    std::mutex mutex;
    std::condition_variable enough;
    std::vector<Tick> ticks;
    thread.setTickCallback([&](Clock::time_point output) {
        const auto called = Clock::now();
        std::lock_guard lock(mutex);
        ticks.push_back({called, output});
        enough.notify_all();
    });
    thread.start({});
    std::this_thread::sleep_for(3 * thread.period());
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(ticks.empty()); // not ticking until asked
    }
    thread.setTicking(true);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(enough.wait_for(lock, 10s, [&] { return ticks.size() >= kTicks; }));
    }
    thread.setTicking(false);
    thread.quit({});
    size_t ahead = 0;
    for (size_t k = 0; k < ticks.size(); ++k) {
        if (k > 0) {
            // One tick per refresh: each aims at least one period after the one before.
            EXPECT_GE(ticks[k].output - ticks[k - 1].output, thread.period()) << "tick " << k;
        }
        ahead += ticks[k].output > ticks[k].called ? 1 : 0;
    }
    // Aimed at the next refresh, not the one just past: only a thread held up for a whole
    // period between its wake-up and the call sees its aim already passed.
    EXPECT_GT(ahead, ticks.size() / 2);
}

// A swap that waited for the display, or a refresh the display reported, sets when the next
// tick starts: not the nominal period, which here is a whole second.
TEST(RenderThread, TheDisplayRatherThanTheTimerSetsTheNextTick) {
    using Clock = RenderThread::Clock;
    RenderThread thread(1); // 1 s
    std::mutex mutex;
    std::condition_variable enough;
    int ticks = 0;
    thread.setTickCallback([&](Clock::time_point) {
        std::lock_guard lock(mutex);
        ++ticks;
        if (ticks == 2) {
            thread.tickAgainAtOnce();
        } else if (ticks == 3) {
            thread.tickNextAt(Clock::now() + 10ms);
        }
        enough.notify_all();
    });
    thread.start({});
    thread.setTicking(true);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(enough.wait_for(lock, 5s, [&] { return ticks >= 2; })); // two timer ticks
    const auto second = Clock::now();
    ASSERT_TRUE(enough.wait_for(lock, 5s, [&] { return ticks >= 4; }));
    // Ticks three and four came well inside the one period the timer alone would take each.
    EXPECT_LT(Clock::now() - second, 500ms);
    lock.unlock();
    thread.setTicking(false);
    thread.quit({});
}

// Once stopping returns, no callback runs, even one that was under way.
TEST(DisplayLink, NoCallbackRunsAfterStopReturns) {
    RenderThread thread(500);
    thread.start({});
    DisplayLink link(thread);
    static std::atomic<int> inside{0};
    static std::atomic<int> calls{0};
    link.setOutputCallback(
        [](DisplayLink*, const DisplayLink::TimeStamp*, const DisplayLink::TimeStamp*, uint64_t,
           uint64_t*, void*) -> int32_t {
            ++inside;
            std::this_thread::sleep_for(5ms);
            ++calls;
            --inside;
            return 0;
        },
        nullptr);
    EXPECT_FALSE(link.isRunning());
    for (int round = 0; round < 20; ++round) {
        link.start();
        EXPECT_TRUE(link.isRunning());
        std::this_thread::sleep_for(7ms);
        link.stop();
        EXPECT_FALSE(link.isRunning());
        EXPECT_EQ(inside.load(), 0);
        const int before = calls.load();
        std::this_thread::sleep_for(10ms);
        EXPECT_EQ(calls.load(), before);
    }
    EXPECT_GT(calls.load(), 0);
    thread.quit({});
}

} // namespace
} // namespace lumenarc
