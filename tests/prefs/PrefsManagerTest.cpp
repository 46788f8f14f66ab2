#include "prefs/PrefsManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

namespace lumenarc {
namespace {

TEST(PrefsManager, NewManagerHasTheDefaults) {
    const PrefsManager manager;
    EXPECT_FALSE(manager.loopByDefault());
    EXPECT_FALSE(manager.quitWhenMovieFinishes());
    EXPECT_FALSE(manager.startupInFullScreen());
    EXPECT_EQ(manager.volume(), 1.0f);
    ASSERT_TRUE(manager.defaultMapPath().has_value());
    EXPECT_EQ(*manager.defaultMapPath(), "");
    EXPECT_EQ(manager.hscreens(), 1);
    EXPECT_EQ(manager.vscreens(), 1);
    EXPECT_FALSE(manager.hideMouse());
}

TEST(PrefsManager, SettersStoreOutOfRangeValuesAndNoPath) {
    PrefsManager manager;
    manager.setVolume(-3.5f);
    manager.setHScreens(0);
    manager.setVScreens(std::numeric_limits<int32_t>::min());
    manager.setDefaultMapPath(std::nullopt);
    EXPECT_EQ(manager.volume(), -3.5f);
    EXPECT_EQ(manager.hscreens(), 0);
    EXPECT_EQ(manager.vscreens(), std::numeric_limits<int32_t>::min());
    EXPECT_FALSE(manager.defaultMapPath().has_value());

    manager.setDefaultMapPath(std::string());
    ASSERT_TRUE(manager.defaultMapPath().has_value());
    EXPECT_TRUE(manager.defaultMapPath()->empty());
}

// The drawing thread reads the flag at every frame while the main thread may change it.
TEST(PrefsManager, QuitWhenMovieFinishesIsSeenByAnotherThread) {
    PrefsManager manager;
    std::atomic<bool> sawTrue{false};
    std::thread drawing([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (manager.quitWhenMovieFinishes()) {
                sawTrue = true;
                return;
            }
            std::this_thread::yield();
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    manager.setQuitWhenMovieFinishes(true);
    drawing.join();
    EXPECT_TRUE(sawTrue);
}

} // namespace
} // namespace lumenarc
