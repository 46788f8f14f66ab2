#include "base/MainThread.h"

#include <gtest/gtest.h>

#include <thread>

namespace lumenarc {
namespace {

bool isCurrentOnAnotherThread() {
    bool current = true;
    std::thread([&] { current = MainThread::isCurrent(); }).join();
    return current;
}

// The thread asserts mean something only if exactly one thread is the main thread, with or
// without a queue installed.
TEST(MainThread, OnlyOneThreadIsTheMainThread) {
    EXPECT_TRUE(MainThread::isCurrent()); // the process's first thread, where the tests run
    EXPECT_FALSE(isCurrentOnAnotherThread());

    bool installer = false;
    std::thread([&] {
        MainThread::setPoster([](MainThread::Task task) { task(); });
        installer = MainThread::isCurrent();
    }).join();
    EXPECT_TRUE(installer);
    EXPECT_FALSE(MainThread::isCurrent());

    MainThread::setPoster(nullptr);
    EXPECT_TRUE(MainThread::isCurrent());
    EXPECT_FALSE(isCurrentOnAnotherThread());
}

} // namespace
} // namespace lumenarc
