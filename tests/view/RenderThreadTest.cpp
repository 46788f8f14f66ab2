#include "view/RenderThread.h"
#include "view/DisplayLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

TEST(RenderThread, TicksOncePerRefreshWithTheNextRefreshAsOutputTime) {
    RenderThread thread(200); // 5 ms
    std::atomic<int> ticks{0};
    std::atomic<bool> ahead{true};
    thread.setTickCallback([&](RenderThread::Clock::time_point output) {
        if (output <= RenderThread::Clock::now()) {
            ahead = false;
        }
        ++ticks;
    });
    thread.start({});
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ticks.load(), 0); // not ticking until asked
    thread.setTicking(true);
    std::this_thread::sleep_for(200ms);
    thread.setTicking(false);
    EXPECT_GT(ticks.load(), 10);
    EXPECT_LT(ticks.load(), 80);
    EXPECT_TRUE(ahead.load());
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
