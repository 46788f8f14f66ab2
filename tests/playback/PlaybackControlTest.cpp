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

    // Opens and lets the load finish, as the decoder would later.
    std::shared_ptr<FakeMovie> open(const std::string& name = "movie.mp4") {
        playback.openMovie(name);
        finishLoads();
        return movies.count(name) != 0 ? movies[name] : nullptr;
    }

    void finishLoads() {
        auto loads = std::move(pendingLoads);
        pendingLoads.clear();
        for (auto& load : loads) {
            load();
        }
    }

    FakeViewHost host;
    FakeButton playButton;
    FakeSlider position, volume;
    FakeMenuItem loopingItem;
    PrefsManager prefs;
    std::map<std::string, std::shared_ptr<FakeMovie>> movies;
    std::vector<std::function<void()>> pendingLoads;
    MyOpenGLView view;
    // Loads end when the test says so; the pending movie is held only weakly, as the decoder's
    // own steps hold it.
    PlaybackControl playback{
        view,
        [this](const std::string& path, PlaybackControl::OpenDone done) -> std::shared_ptr<Movie> {
            auto movie = std::make_shared<FakeMovie>();
            movie->name = path;
            pendingLoads.push_back([this, path, done, weak = std::weak_ptr<FakeMovie>(movie)] {
                const auto loaded = weak.lock();
                if (!loaded) {
                    return; // abandoned
                }
                if (path.find("broken") != std::string::npos) {
                    done(nullptr, "unrecognized file format");
                    return;
                }
                movies[path] = loaded;
                done(loaded, "");
            });
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
    EXPECT_EQ(view.movieSize().width, 640.0f);
    EXPECT_TRUE(view.frameTimer().isRunning());
    EXPECT_TRUE(host.alerts.empty());
}

// A typo in the open sheet must not stop a running show.
TEST_F(PlaybackControlTest, AFileThatDoesNotOpenLeavesThePlayingMovieAndSaysWhy) {
    const auto first = open("first.mp4");
    open("/shows/broken.mov");
    EXPECT_EQ(view.currentMovie(), first);
    EXPECT_EQ(first->rate(), 1.0f);
    EXPECT_EQ(host.title, "first.mp4");
    EXPECT_EQ(playButton.text, "Pause");
    ASSERT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(host.alerts[0].first, "Movie error");
    EXPECT_EQ(host.alerts[0].second,
              "The movie \"broken.mov\" could not be opened: unrecognized file format.");
    EXPECT_EQ(view.movieSize().width, 640.0f);

    // Without a movie before it, nothing plays and the button says so.
    view.setMovie(nullptr);
    open("/shows/broken.mov");
    EXPECT_EQ(view.currentMovie(), nullptr);
    EXPECT_EQ(playButton.text, "Play");
}

// Opening returns at once; the old movie plays until the new one has loaded, and a newer open
// abandons an older one still loading.
TEST_F(PlaybackControlTest, OpeningIsAsynchronousAndTheNewestOpenWins) {
    const auto first = open("first.mp4");
    playback.openMovie("slow.mp4");
    EXPECT_TRUE(playback.isOpening());
    EXPECT_EQ(view.currentMovie(), first);
    EXPECT_EQ(host.title, "first.mp4");
    playback.openMovie("second.mp4"); // supersedes: the slow load is dropped
    finishLoads();
    EXPECT_EQ(movies.count("slow.mp4"), 0u) << "the abandoned load went on";
    EXPECT_EQ(view.currentMovie(), movies["second.mp4"]);
    EXPECT_EQ(host.title, "second.mp4");
    EXPECT_FALSE(playback.isOpening());

    std::vector<bool> ends;
    playback.setOpenHook([&](bool opened) { ends.push_back(opened); });
    playback.openMovie("third.mp4");
    playback.cancelOpen(); // the end of the run
    finishLoads();
    EXPECT_EQ(view.currentMovie(), movies["second.mp4"]);
    EXPECT_TRUE(ends.empty());
    open("broken.mp4");
    open("fourth.mp4");
    EXPECT_EQ(ends, (std::vector<bool>{false, true}));
}

TEST_F(PlaybackControlTest, SpeedKeysStepOnTheGridOfTenths) {
    const auto movie = open();
    playback.keyDown(PhysicalKey::Comma);
    EXPECT_EQ(movie->rate(), 1.1f);
    movie->setRate(1.0f);
    playback.keyDown(PhysicalKey::Period);
    EXPECT_EQ(movie->rate(), 0.9f);
    movie->setRate(1.0f);
    for (int k = 0; k < 10; ++k) {
        playback.keyDown(PhysicalKey::Period);
    }
    EXPECT_EQ(movie->rate(), 0.0f); // exactly at rest, not backward at -7.3e-8
    EXPECT_FALSE(std::signbit(movie->rate()));
    EXPECT_EQ(playButton.text, "Play");
    movie->setRate(1.0f);
    for (int k = 0; k < 3; ++k) {
        playback.keyDown(PhysicalKey::Comma);
    }
    for (int k = 0; k < 13; ++k) {
        playback.keyDown(PhysicalKey::Period);
    }
    EXPECT_EQ(movie->rate(), 0.0f);
    for (int k = 1; k <= 25; ++k) { // through 0 and on: every step a float multiple of a tenth
        playback.keyDown(PhysicalKey::Period);
        EXPECT_EQ(movie->rate(), static_cast<float>(-k / 10.0)) << k;
    }
    movie->setRate(1.25f); // set from outside, off the grid: the next step lands on it
    playback.keyDown(PhysicalKey::Comma);
    EXPECT_EQ(movie->rate(), 1.4f);
    movie->setRate(1.0f);
    playback.keyDown(PhysicalKey::LeftArrow);
    playback.keyDown(PhysicalKey::RightArrow);
    EXPECT_EQ(movie->stepsBack + movie->stepsForward, 0); // not paused: arrows do nothing
    playback.keyDown(PhysicalKey::Space);
    EXPECT_EQ(movie->rate(), 0.0f);
    EXPECT_EQ(playButton.text, "Play");
    playback.keyDown(PhysicalKey::Period); // from rest into backward play
    EXPECT_EQ(movie->rate(), -0.1f);
    EXPECT_EQ(playButton.text, "Pause"); // the button follows what the movie does
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
    playback.keyDown(PhysicalKey::Return); // plays, and the button says so
    EXPECT_EQ(movie->plays, 1);
    EXPECT_EQ(playButton.text, "Pause");
    movie->setRate(0.0f);
    playback.keyDown(PhysicalKey::Space); // resumes at 1.0, not 1.5
    EXPECT_EQ(movie->rate(), 1.0f);
    EXPECT_EQ(playButton.text, "Pause");
    EXPECT_FALSE(view.showFPS());
    playback.keyDown(PhysicalKey::Tab);
    EXPECT_TRUE(view.showFPS());
    playback.keyDown(PhysicalKey::Other);
    EXPECT_EQ(movie->rate(), 1.0f);
    EXPECT_TRUE(view.showFPS());
}

TEST_F(PlaybackControlTest, SpaceWithoutAMovieChangesNothing) {
    playback.togglePaused();
    EXPECT_EQ(playButton.text, "Play"); // nothing plays
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
    EXPECT_FALSE(view.looping());
    EXPECT_FALSE(first->loops);
    EXPECT_EQ(item.value, 0);
    item.value = -1; // mixed turns it on
    playback.setLooping(item);
    EXPECT_TRUE(view.looping());
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
    // Values whose product lies just below a whole number tell truncation from rounding.
    for (const auto& [slider, expected] : {std::pair{0.6667f, 666}, {0.9999f, 999}}) {
        position.value = slider;
        playback.setPosition();
        EXPECT_EQ(movie->seeks.back().value, expected) << slider;
        EXPECT_EQ(PlaybackControl::seekValue(1000, slider), expected) << slider;
    }
    movie->length = {(int64_t{1} << 24) + 1, 90000, 3};
    position.value = 1.0f;
    playback.setPosition();
    EXPECT_EQ(movie->seeks.back().value, int64_t{1} << 24); // the odd value cannot be held
    EXPECT_EQ(movie->seeks.back().scale, 90000);
    EXPECT_EQ(movie->seeks.back().flags, 3);
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
