#include "playback/PlaybackControl.h"
#include "FakeMovie.h"
#include "FakeViewHost.h"
#include "prefs/PrefsManager.h"
#include "support/TempDir.h"
#include "view/FramePump.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace lumenarc {
namespace {

using namespace test;

// A view without a window or GL, with fake controls and movies that open by name.
class PlaybackControlTest : public ::testing::Test {
protected:
    PlaybackControlTest() : view(host, LUMENARC_SHARE_DIR) {
        view.setControls(&playButton, &position, &volume, &loopingItem);
        playback.setPrefsManager(&prefs);
        view.awakeFromNib();
    }

    std::shared_ptr<FakeMovie> open(const std::string& name = "movie.mp4") {
        playback.openMovie(name);
        return movies.count(name) != 0 ? movies[name] : nullptr;
    }

    FakeViewHost host;
    FakeButton playButton;
    FakeSlider position, volume;
    FakeMenuItem loopingItem;
    PrefsManager prefs;
    std::map<std::string, std::shared_ptr<FakeMovie>> movies;
    MyOpenGLView view;
    PlaybackControl playback{
        view, [this](const std::string& path, std::string* error) -> std::shared_ptr<Movie> {
            if (path.find("broken") != std::string::npos) {
                *error = "unrecognized file format";
                return nullptr;
            }
            auto movie = std::make_shared<FakeMovie>();
            movie->name = path;
            movies[path] = movie;
            return movie;
        }};
};

TEST_F(PlaybackControlTest, OpeningAMovieStartsItWithThePreferredVolume) {
    prefs.setVolume(0.25f);
    const auto movie = open();
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->rate(), 1.0f);
    EXPECT_EQ(movie->volume, 0.25f);
    EXPECT_EQ(volume.value, 0.25f);
    EXPECT_EQ(playButton.text, "Pause");
    EXPECT_EQ(host.title, "movie.mp4");
    EXPECT_EQ(view.movieSize.width, 640.0f);
    EXPECT_TRUE(view.frameTimer().isRunning());
    EXPECT_TRUE(host.alerts.empty());
}

TEST_F(PlaybackControlTest, AFileThatDoesNotOpenLeavesNoMovieAndSaysWhy) {
    open("first.mp4");
    open("/shows/broken.mov");
    EXPECT_EQ(view.currentMovie(), nullptr);
    EXPECT_EQ(host.title, "Lumenarc");
    ASSERT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(host.alerts[0].first, "Movie error");
    EXPECT_EQ(host.alerts[0].second,
              "The movie \"broken.mov\" could not be opened: unrecognized file format.");
    EXPECT_EQ(view.movieSize.width, 640.0f); // the natural size keeps its previous value
}

TEST_F(PlaybackControlTest, SpeedKeysStepByATenthInSinglePrecision) {
    const auto movie = open();
    playback.keyDown(PhysicalKey::Comma);
    EXPECT_EQ(movie->rate(), static_cast<float>(1.0 + 0.1));
    EXPECT_FLOAT_EQ(movie->rate(), 1.10000002f);
    movie->setRate(1.0f);
    playback.keyDown(PhysicalKey::Period);
    EXPECT_EQ(movie->rate(), 0.899999976f);
    movie->setRate(1.0f);
    for (int k = 0; k < 10; ++k) {
        playback.keyDown(PhysicalKey::Period);
    }
    EXPECT_NE(movie->rate(), 0.0f); // rounding: not exactly 0
    EXPECT_NEAR(movie->rate(), -7.3e-8, 1e-8);
    playback.keyDown(PhysicalKey::LeftArrow);
    playback.keyDown(PhysicalKey::RightArrow);
    EXPECT_EQ(movie->stepsBack + movie->stepsForward, 0); // not paused: arrows do nothing
    playback.keyDown(PhysicalKey::Space);
    EXPECT_EQ(movie->rate(), 0.0f);
    EXPECT_EQ(playButton.text, "Play");
    playback.keyDown(PhysicalKey::Period); // from rest into backward play
    EXPECT_EQ(movie->rate(), static_cast<float>(-0.1));
    EXPECT_EQ(playButton.text, "Play"); // the speed keys leave the title alone
}

TEST_F(PlaybackControlTest, PauseResumeStepAndTheOtherKeys) {
    const auto movie = open();
    movie->setRate(1.5f);
    playback.keyDown(PhysicalKey::Space);
    EXPECT_EQ(movie->rate(), 0.0f);
    EXPECT_EQ(playButton.text, "Play");
    playback.keyDown(PhysicalKey::RightArrow);
    playback.keyDown(PhysicalKey::RightArrow);
    playback.keyDown(PhysicalKey::LeftArrow);
    EXPECT_EQ(movie->stepsForward, 2);
    EXPECT_EQ(movie->stepsBack, 1);
    playback.keyDown(PhysicalKey::Return); // plays, title unchanged
    EXPECT_EQ(movie->plays, 1);
    EXPECT_EQ(playButton.text, "Play");
    movie->setRate(0.0f);
    playback.keyDown(PhysicalKey::Space); // resumes at 1.0, not 1.5
    EXPECT_EQ(movie->rate(), 1.0f);
    EXPECT_EQ(playButton.text, "Pause");
    EXPECT_FALSE(view.m_showFPS);
    playback.keyDown(PhysicalKey::Tab);
    EXPECT_TRUE(view.m_showFPS);
    playback.keyDown(PhysicalKey::Other);
    EXPECT_EQ(movie->rate(), 1.0f);
    EXPECT_TRUE(view.m_showFPS);
}

TEST_F(PlaybackControlTest, SpaceWithoutAMovieOnlyRetitles) {
    playback.togglePaused();
    EXPECT_EQ(playButton.text, "Pause");
    playback.keyDown(PhysicalKey::Comma);
    playback.keyDown(PhysicalKey::Return);
    playback.setPosition();
    EXPECT_EQ(view.currentMovie(), nullptr);
}

TEST_F(PlaybackControlTest, LoopingFollowsTheSenderAndCarriesOverToNewMovies) {
    const auto first = open("first.mp4");
    FakeMenuItem item;
    item.value = 1;
    playback.setLooping(item);
    EXPECT_FALSE(view.m_looping);
    EXPECT_FALSE(first->loops);
    EXPECT_EQ(item.value, 0);
    item.value = -1; // mixed turns it on
    playback.setLooping(item);
    EXPECT_TRUE(view.m_looping);
    EXPECT_TRUE(first->loops);
    EXPECT_EQ(item.value, 1);
    FakeButton box;
    playback.setLooping(box);
    EXPECT_EQ(box.value, 1);
    const auto second = open("second.mp4");
    EXPECT_TRUE(second->loops);
    playback.setLoopingProg(false); // from code: no control touched
    EXPECT_FALSE(second->loops);
    EXPECT_EQ(box.value, 1);
    EXPECT_EQ(item.value, 1);
}

TEST_F(PlaybackControlTest, LoopByDefaultTicksTheMenuAndLoopsTheFirstMovie) {
    PrefsManager looping;
    looping.setLoopByDefault(true);
    playback.setPrefsManager(&looping);
    EXPECT_EQ(loopingItem.value, 1);
    EXPECT_TRUE(open()->loops);
    PrefsManager plain;
    playback.setPrefsManager(&plain);
    EXPECT_EQ(loopingItem.value, 0);
}

TEST_F(PlaybackControlTest, SeekingTruncatesTheSinglePrecisionProduct) {
    const auto movie = open();
    position.value = 0.5f;
    playback.setPosition();
    ASSERT_EQ(movie->seeks.size(), 1u);
    EXPECT_EQ(movie->seeks[0], (MovieTime{500, 600, 0}));
    position.value = 0.3333f;
    playback.setPosition();
    EXPECT_EQ(movie->seeks[1].value, 333);
    movie->length = {(int64_t{1} << 24) + 1, 90000, 3};
    position.value = 1.0f;
    playback.setPosition();
    EXPECT_EQ(movie->seeks[2].value, int64_t{1} << 24); // the odd value cannot be held
    EXPECT_EQ(movie->seeks[2].scale, 90000);
    EXPECT_EQ(movie->seeks[2].flags, 3);
    EXPECT_EQ(PlaybackControl::seekValue((int64_t{1} << 24) + 3, 1.0f), (int64_t{1} << 24) + 4);
}

TEST_F(PlaybackControlTest, VolumeGoesToThePreferencesAndTheMovie) {
    const auto movie = open("one.mp4");
    FakeSlider slider;
    slider.value = 0.25f;
    playback.setVolume(slider);
    EXPECT_EQ(prefs.volume(), 0.25f);
    EXPECT_EQ(movie->volume, 0.25f);
    volume.value = 0.9f;
    const auto next = open("two.mp4");
    EXPECT_EQ(next->volume, 0.25f);
    EXPECT_EQ(volume.value, 0.25f);
    slider.value = 3.0f; // no clamping
    playback.setVolume(slider);
    EXPECT_EQ(next->volume, 3.0f);
}

TEST(FramePumpLogic, SliderPositionAndTheEndOfTheShow) {
    EXPECT_EQ(FramePump::sliderPosition({0, 600, 0}, {1000, 600, 0}), 0.0f);
    EXPECT_EQ(FramePump::sliderPosition({500, 600, 0}, {1000, 600, 0}), 0.5f);
    EXPECT_EQ(FramePump::sliderPosition({1000, 600, 0}, {1000, 600, 0}), 1.0f);
    EXPECT_EQ(FramePump::sliderPosition({5, 600, 0}, {0, 600, 0}), 0.0f); // no NaN on a 0 duration
    EXPECT_TRUE(FramePump::shouldTerminate(true, false, true));
    EXPECT_FALSE(FramePump::shouldTerminate(true, true, true));
    EXPECT_FALSE(FramePump::shouldTerminate(true, false, false));
    EXPECT_FALSE(FramePump::shouldTerminate(false, false, true));
}

TEST(KeyMapTest, PhysicalKeysByScanCode) {
    EXPECT_EQ(KeyMap::fromNativeScanCode(36), PhysicalKey::Return);
    EXPECT_EQ(KeyMap::fromNativeScanCode(59), PhysicalKey::Comma);
    EXPECT_EQ(KeyMap::fromNativeScanCode(60), PhysicalKey::Period);
    EXPECT_EQ(KeyMap::fromNativeScanCode(23), PhysicalKey::Tab);
    EXPECT_EQ(KeyMap::fromNativeScanCode(65), PhysicalKey::Space);
    EXPECT_EQ(KeyMap::fromNativeScanCode(113), PhysicalKey::LeftArrow);
    EXPECT_EQ(KeyMap::fromNativeScanCode(114), PhysicalKey::RightArrow);
    EXPECT_EQ(KeyMap::fromNativeScanCode(38), PhysicalKey::Other); // A
    EXPECT_EQ(KeyMap::fromNativeScanCode(0), PhysicalKey::Other);
}

} // namespace
} // namespace lumenarc
