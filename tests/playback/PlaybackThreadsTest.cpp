// The threading contract, exercised with real libmpv cores, the real render thread and display
// link, on an offscreen context. Run under ThreadSanitizer as well; debug builds also assert the
// owner thread of every entry point on the way.

#include "LivePlayer.h"
#include "MainQueue.h"
#include "movie/Movie.h"
#include "playback/CoreReaper.h"
#include "playback/MpvMovie.h"
#include "playback/MpvTextureContext.h"
#include "playback/TestMovies.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <mpv/client.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <mutex>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;

class PlaybackThreads : public ::testing::Test {
protected:
    std::string makeMovie(const std::string& name, int width, int height, double seconds = 4) {
        const auto path = (m_dir.path() / name).string();
        EXPECT_TRUE(test::TestMovies::make(
            path, {.seconds = seconds, .width = width, .height = height, .audio = false}));
        return path;
    }

    // A named pipe nobody writes: its load never ends by itself.
    std::string stalledFile() {
        const auto path = (m_dir.path() / "stalled.mp4").string();
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        return path;
    }

    test::TempDir m_dir;
};

// What libmpv holds for a property of the movie on show (main thread).
std::string showing(test::LivePlayer& player, const char* property) {
    const auto* movie = dynamic_cast<const MpvMovie*>(player.view().currentMovie().get());
    if (movie == nullptr) {
        return "(no movie)";
    }
    char* value = mpv_get_property_string(movie->handle(), property);
    const std::string text = value != nullptr ? value : "(unavailable)";
    mpv_free(value);
    return text;
}

TEST_F(PlaybackThreads, MoviesOpenReplaceAndCloseWhileFramesAreDrawn) {
    const auto first = makeMovie("first.mp4", 160, 120);
    const auto second = makeMovie("second.mp4", 96, 64);
    test::LivePlayer player;
    std::vector<std::weak_ptr<Movie>> seen;
    for (int round = 0; round < 3; ++round) {
        for (const auto& path : {first, second}) {
            player.playback().openMovie(path);
            const std::string name = path.substr(path.rfind('/') + 1);
            ASSERT_TRUE(player.waitFor([&] { return player.host.title() == name; })) << name;
            seen.push_back(player.view().currentMovie());
            ASSERT_TRUE(player.waitForFrames(3)) << "no frames from " << name;
        }
        player.view().setMovie(nullptr); // closed while frames are in flight
        player.view().setNeedsDisplay();
    }
    player.quit();
    EXPECT_TRUE(player.host.alerts().empty());
    for (const auto& movie : seen) {
        EXPECT_TRUE(movie.expired()) << "a movie outlived the run";
    }
}

TEST_F(PlaybackThreads, ASecondOpenWhileTheFirstIsLoadingWins) {
    const auto movie = makeMovie("ready.mp4", 160, 120);
    test::LivePlayer player;
    player.playback().openMovie(stalledFile());
    ASSERT_TRUE(player.waitFor([&] { return player.playback().isOpening(); }));
    player.playback().openMovie(movie);
    ASSERT_TRUE(player.waitFor([&] { return player.host.title() == "ready.mp4"; }));
    EXPECT_FALSE(player.playback().isOpening());
    EXPECT_TRUE(player.waitForFrames(3));
    // The abandoned core goes on the reaper's thread, and does not hang there.
    const auto before = std::chrono::steady_clock::now();
    player.mpv().drain();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    EXPECT_TRUE(player.host.alerts().empty());
}

TEST_F(PlaybackThreads, QuittingDuringALoadEndsAtOnce) {
    const auto playing = makeMovie("playing.mp4", 160, 120);
    test::LivePlayer player;
    player.playback().openMovie(playing);
    ASSERT_TRUE(player.waitForFrames(3));
    player.playback().openMovie(stalledFile());
    player.runMainTasks();
    const auto before = std::chrono::steady_clock::now();
    player.quit();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    EXPECT_TRUE(player.host.alerts().empty());
}

// The main thread lets go of the movie while the render thread is in the middle of its frames:
// the core is destroyed on the reaper's thread, after the render thread let go of its render
// context, and the last frame stays on show.
TEST_F(PlaybackThreads, TheLastMovieReferenceGoesWhileAFrameIsInFlight) {
    const auto path = makeMovie("inflight.mp4", 320, 240, 10);
    test::LivePlayer player;
    for (int round = 0; round < 5; ++round) {
        player.playback().openMovie(path);
        ASSERT_TRUE(player.waitFor([&] { return player.view().currentMovie() != nullptr; }));
        ASSERT_TRUE(player.waitForFrames(2));
        std::weak_ptr<Movie> watch = player.view().currentMovie();
        player.view().setMovie(nullptr);
        player.mpv().drain();
        EXPECT_TRUE(watch.expired());
        EXPECT_NE(player.view().currentFrame(), nullptr) << "the last frame left the screen";
        const int presented = player.host.presented;
        player.view().setNeedsDisplay();
        EXPECT_TRUE(player.waitFor([&] { return player.host.presented > presented; }));
    }
}

// A file that does not open leaves the show playing.
TEST_F(PlaybackThreads, AFailedOpenLeavesThePlayingMovie) {
    const auto path = makeMovie("show.mp4", 160, 120);
    test::LivePlayer player;
    player.playback().openMovie(path);
    ASSERT_TRUE(player.waitForFrames(3));
    const auto playing = player.view().currentMovie();
    player.playback().openMovie((m_dir.path() / "typo.mp4").string());
    ASSERT_TRUE(player.waitFor([&] { return !player.host.alerts().empty(); }));
    EXPECT_EQ(player.view().currentMovie(), playing);
    EXPECT_EQ(player.host.title(), "show.mp4");
    EXPECT_TRUE(player.waitForFrames(3)) << "the show stopped";
    EXPECT_EQ(player.host.alerts().front(),
              "Movie error: The movie \"typo.mp4\" could not be opened: file not found.");
}

// A view whose first presentation waits until the test lets it go (or gives up after a while).
class HeldPresentHost : public test::OffscreenViewHost {
public:
    void presentDrawable() override {
        test::OffscreenViewHost::presentDrawable();
        std::unique_lock lock(m_mutex);
        if (m_done) {
            return;
        }
        m_presenting = true;
        m_changed.notify_all();
        m_releasedInTime = m_changed.wait_for(lock, 5s, [this] { return m_released; });
        m_done = true;
        m_changed.notify_all();
    }
    bool waitUntilPresenting() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [this] { return m_presenting; });
    }
    // Lets the presentation go; whether it was still waiting for that.
    bool release() {
        std::unique_lock lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_done; });
        return m_releasedInTime;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_presenting = false;
    bool m_released = false;
    bool m_releasedInTime = false;
    bool m_done = false;
};

// A frame on its way to the screen (the window system may hold it for a whole refresh) never
// holds up the main thread, which reads the view for every widget update.
TEST(ViewLock, TheMainThreadDoesNotWaitForAPresentation) {
    test::MainQueue main;
    HeldPresentHost host;
    MyOpenGLView view(host, LUMENARC_SHARE_DIR);
    view.awakeFromNib();
    view.startRendering();
    ASSERT_TRUE(host.waitUntilPresenting());
    EXPECT_EQ(view.currentMovie(), nullptr);
    (void)view.distortionMatrix();
    (void)view.movieStatus();
    view.showProgress(0.5f);
    EXPECT_TRUE(host.release()) << "the main thread waited for the presentation";
    view.cleanUp();
}

// The reaper gives up on a core that takes too long to go, and the run ends without it. When it
// goes at last, it frees its render context through a render thread that has ended but is still
// there, though the view that made it is gone.
TEST_F(PlaybackThreads, ACoreDestroyedAfterTheViewFindsTheRenderThreadEnded) {
    const auto path = makeMovie("late.mp4", 160, 120);
    test::MainQueue main;
    test::OffscreenViewHost host;
    auto view = std::make_unique<MyOpenGLView>(host, LUMENARC_SHARE_DIR);
    auto context = std::make_shared<MpvTextureContext>(
        view->sharedRenderThread(),
        [](void*, const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); },
        nullptr);
    view->setTextureContext(context);
    view->awakeFromNib();
    view->startRendering();
    MpvMovie::Options options;
    options.audio = false;
    options.beforeLoad = [&context](MpvMovie& movie) {
        context->attachCore(movie.handle(), movie.status());
    };
    options.beforeDestroy = [context](mpv_handle* core) { context->detachCore(core); };
    std::string error;
    std::shared_ptr<MpvMovie> movie = MpvMovie::open(path, options, &error);
    ASSERT_NE(movie, nullptr) << error;

    auto gate = std::make_shared<std::promise<void>>();
    auto destroyed = std::make_shared<std::promise<void>>();
    {
        CoreReaper reaper(std::chrono::milliseconds(10));
        reaper.dispose(
            [opened = gate->get_future().share(), destroyed, movie = std::move(movie)]() mutable {
                opened.wait(); // stuck, until the view is gone
                movie.reset();
                destroyed->set_value();
            });
    } // gives up waiting
    view->cleanUp();
    view.reset();
    gate->set_value();
    EXPECT_EQ(destroyed->get_future().wait_for(10s), std::future_status::ready);
}

// The sound's device and delay reach the core of the movie on show and of those opened later.
TEST_F(PlaybackThreads, TheAudioDeviceAndDelayReachTheMovieOnShowAndTheNextOne) {
    const auto first = makeMovie("first.mp4", 160, 120);
    const auto second = makeMovie("second.mp4", 96, 64);
    test::LivePlayer player;
    player.playback().openMovie(first);
    ASSERT_TRUE(player.waitFor([&] { return player.host.title() == "first.mp4"; }));
    player.mpv().setAudioDevice("null");
    std::string why;
    ASSERT_TRUE(player.mpv().setAudioDelay(0.25, &why)) << why;
    EXPECT_FALSE(player.mpv().setAudioDelay(2.5, &why)); // refused, and changes nothing
    EXPECT_EQ(why, "the audio delay must be between -2 and 2 seconds, not 2.5");
    EXPECT_EQ(showing(player, "audio-device"), "null");
    EXPECT_EQ(showing(player, "audio-delay"), "0.250000");

    player.playback().openMovie(second);
    ASSERT_TRUE(player.waitFor([&] { return player.host.title() == "second.mp4"; }));
    EXPECT_EQ(showing(player, "audio-device"), "null");
    EXPECT_EQ(showing(player, "audio-delay"), "0.250000");
    EXPECT_TRUE(player.waitForFrames(3));
}

// LUMENARC_HWDEC chooses the decoding whatever the renderer, and pictures still come.
TEST_F(PlaybackThreads, TheHardwareDecodingSettingReachesEveryMovie) {
    const auto path = makeMovie("show.mp4", 160, 120);
    setenv("LUMENARC_HWDEC", "auto-safe", 1);
    test::LivePlayer player;
    unsetenv("LUMENARC_HWDEC");
    player.playback().openMovie(path);
    ASSERT_TRUE(player.waitFor([&] { return player.host.title() == "show.mp4"; }));
    EXPECT_EQ(showing(player, "hwdec"), "auto-safe");
    EXPECT_TRUE(player.waitForFrames(3));
}

} // namespace
} // namespace lumenarc
