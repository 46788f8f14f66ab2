#include "prefs/PrefsMerge.h"

#include <gtest/gtest.h>

#include <limits>

namespace lumenarc {
namespace {

TEST(PrefsMerge, TheRunsOwnChangesWinAndTheFilesOthersStay) {
    PrefsManager read; // what the run loaded: the defaults
    PrefsManager mine; // the run changed the volume and the map
    mine.setVolume(0.4f);
    mine.setDefaultMapPath("/maps/mine.data");
    PrefsManager now; // meanwhile the file got other settings, and another map
    now.setHScreens(2);
    now.setStartupInFullScreen(true);
    now.setDefaultMapPath("/maps/theirs.data");
    now.setQuitWhenMovieFinishes(true);
    now.setVolume(0.9f);

    const auto merged = PrefsMerge::merge(mine, read, now);
    EXPECT_EQ(merged->volume(), 0.4f);
    EXPECT_EQ(merged->defaultMapPath(), "/maps/mine.data");
    EXPECT_EQ(merged->hscreens(), 2);
    EXPECT_TRUE(merged->startupInFullScreen());
    EXPECT_TRUE(merged->quitWhenMovieFinishes());
    EXPECT_EQ(merged->vscreens(), 1);
    EXPECT_FALSE(merged->loopByDefault());
    EXPECT_FALSE(merged->hideMouse());
}

TEST(PrefsMerge, ARunThatChangedNothingWritesTheFileAsItIsNow) {
    PrefsManager read;
    read.setVolume(std::numeric_limits<float>::quiet_NaN());
    read.setDefaultMapPath(std::nullopt);
    const auto mine = PrefsMerge::copyOf(read);
    EXPECT_FALSE(mine->defaultMapPath().has_value());
    PrefsManager now;
    now.setVolume(0.5f);
    now.setVScreens(3);
    now.setLoopByDefault(true);
    now.setHideMouse(true);
    const auto merged = PrefsMerge::merge(*mine, read, now);
    EXPECT_EQ(merged->volume(), 0.5f); // an untouched NaN is no change of the run's
    EXPECT_EQ(merged->defaultMapPath(), "");
    EXPECT_EQ(merged->vscreens(), 3);
    EXPECT_TRUE(merged->loopByDefault());
    EXPECT_TRUE(merged->hideMouse());
}

} // namespace
} // namespace lumenarc
