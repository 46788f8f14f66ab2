#include "prefs/PrefsLimits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace lumenarc {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr int32_t kMinInt = std::numeric_limits<int32_t>::min();
constexpr int32_t kMaxInt = std::numeric_limits<int32_t>::max();

TEST(PrefsLimits, ScreenCountsFromOneToSixteen) {
    for (const int32_t count : {kMinInt, -3, 0, 17, 100000, kMaxInt}) {
        EXPECT_FALSE(PrefsLimits::isValidScreenCount(count)) << count;
    }
    for (const int32_t count : {1, 2, 16}) {
        EXPECT_TRUE(PrefsLimits::isValidScreenCount(count)) << count;
        EXPECT_EQ(PrefsLimits::clampScreenCount(count), count);
    }
    EXPECT_EQ(PrefsLimits::clampScreenCount(-3), 1);
    EXPECT_EQ(PrefsLimits::clampScreenCount(0), 1);
    EXPECT_EQ(PrefsLimits::clampScreenCount(kMinInt), 1);
    EXPECT_EQ(PrefsLimits::clampScreenCount(17), 16);
    EXPECT_EQ(PrefsLimits::clampScreenCount(kMaxInt), 16);
}

TEST(PrefsLimits, VolumeFiniteFromSilenceToFull) {
    for (const float volume : {kNaN, -kNaN, kInf, -kInf, -0.01f, 1.01f}) {
        EXPECT_FALSE(PrefsLimits::isValidVolume(volume)) << volume;
    }
    for (const float volume : {0.0f, -0.0f, 0.5f, 1.0f}) {
        EXPECT_TRUE(PrefsLimits::isValidVolume(volume)) << volume;
    }
    EXPECT_EQ(PrefsLimits::clampVolume(kNaN), 0.0f); // the player plays NaN as silence
    EXPECT_EQ(PrefsLimits::clampVolume(kInf), 1.0f);
    EXPECT_EQ(PrefsLimits::clampVolume(-kInf), 0.0f);
    EXPECT_EQ(PrefsLimits::clampVolume(1.5f), 1.0f);
    EXPECT_EQ(PrefsLimits::clampVolume(0.25f), 0.25f);
}

TEST(PrefsLimits, ClampChangesOnlyWhatIsOutOfRangeAndSaysSo) {
    PrefsManager manager;
    manager.setVolume(0.3f);
    manager.setHScreens(4);
    EXPECT_TRUE(PrefsLimits::clamp(manager).empty());
    EXPECT_EQ(manager.volume(), 0.3f);
    EXPECT_EQ(manager.hscreens(), 4);

    manager.setVolume(kNaN);
    manager.setHScreens(-3);
    manager.setVScreens(100000);
    const auto changes = PrefsLimits::clamp(manager);
    EXPECT_EQ(manager.volume(), 0.0f);
    EXPECT_EQ(manager.hscreens(), 1);
    EXPECT_EQ(manager.vscreens(), 16);
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0], "Volume nan is outside 0..1, using 0");
    EXPECT_EQ(changes[1], "hscreens -3 is outside 1..16, using 1");
    EXPECT_EQ(changes[2], "vscreens 100000 is outside 1..16, using 16");
}

} // namespace
} // namespace lumenarc
