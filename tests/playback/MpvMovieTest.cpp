#include "playback/MpvMovie.h"

#include "MainQueue.h"

#include "base/MainThread.h"
#include "playback/TestMovies.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <mpv/client.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::MovieSpec;
using test::TestMovies;

constexpr auto kWait = 5s; // the longest any one condition may take
constexpr double kFrame = 1.0 / 25;

double seconds(const MovieTime& time) {
    return static_cast<double>(time.value) / time.scale;
}

double doubleProperty(mpv_handle* core, const char* name) {
    double value = -1;
    EXPECT_GE(mpv_get_property(core, name, MPV_FORMAT_DOUBLE, &value), 0) << name;
    return value;
}

std::string stringProperty(mpv_handle* core, const char* name) {
    char* value = mpv_get_property_string(core, name);
    std::string text = value != nullptr ? value : "(unavailable)";
    mpv_free(value);
    return text;
}

// ThreadSanitizer cannot see the atomics inside the (uninstrumented) decoder's frame threads and
// takes their hand-offs for races; one decoding thread per movie leaves only libmpv's own threads,
// which meet through the locks it sees.
void singleThreadedDecoding(mpv_handle* core) {
    ASSERT_GE(mpv_set_property_string(core, "vd-lavc-threads", "1"), 0);
}

// Real libmpv on movies made by ffmpeg, without pictures or sound. Main-thread tasks go into a
// queue that the test drains while it waits, as the application's event loop would.
class MpvMovieTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_main = std::make_unique<test::MainQueue>();
        m_options.videoOutput = "null";
        m_options.audio = false;
        m_options.beforeLoad = [](MpvMovie& movie) { singleThreadedDecoding(movie.handle()); };
    }

    void TearDown() override { m_main.reset(); }

    std::string makeMovie(const std::string& name, const MovieSpec& spec) {
        const std::string path = (m_dir.path() / name).string();
        EXPECT_TRUE(TestMovies::make(path, spec)) << "ffmpeg could not make " << name;
        return path;
    }

    std::shared_ptr<MpvMovie> open(const std::string& path) {
        std::string error;
        auto movie = MpvMovie::open(path, m_options, &error);
        EXPECT_NE(movie, nullptr) << path << ": " << error;
        return movie;
    }

    // The reason a file is refused; fails the test when the file opens.
    std::string refusal(const std::string& path) {
        std::string error;
        EXPECT_EQ(MpvMovie::open(path, m_options, &error), nullptr) << path;
        return error;
    }

    void runTasks() { m_main->run(); }

    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = kWait) {
        return m_main->waitFor(condition, limit);
    }

    void pumpFor(std::chrono::milliseconds span) {
        waitFor([] { return false; }, span);
    }

    size_t posted() { return m_main->posted(); }

    test::TempDir m_dir;
    MpvMovie::Options m_options;
    std::unique_ptr<test::MainQueue> m_main;
};

TEST_F(MpvMovieTest, OpensPausedAtTheStartWithSizeNameAndDuration) {
    auto movie = open(makeMovie("dome clip.mp4", {.seconds = 2, .width = 320, .height = 240}));
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->naturalSize().width, 320.0f);
    EXPECT_EQ(movie->naturalSize().height, 240.0f);
    EXPECT_EQ(movie->displayName(), "dome clip.mp4");
    EXPECT_EQ(movie->duration().scale, MpvMovie::kTimeScale);
    EXPECT_NEAR(seconds(movie->duration()), 2.0, 0.05);
    EXPECT_EQ(movie->currentTime(), (MovieTime{0, MpvMovie::kTimeScale, 0}));
    EXPECT_EQ(movie->rate(), 0.0f);
    EXPECT_FALSE(movie->isDone());
    EXPECT_EQ(stringProperty(movie->handle(), "pause"), "yes");

    // A container title is the display name; the display size follows the pixel aspect.
    auto titled = open(makeMovie("wide.mp4", {.seconds = 1,
                                              .width = 160,
                                              .height = 120,
                                              .audio = false,
                                              .video = "testsrc2=size=160x120:rate=25,setsar=2",
                                              .title = "Dome test"}));
    ASSERT_NE(titled, nullptr);
    EXPECT_EQ(titled->displayName(), "Dome test");
    EXPECT_EQ(titled->naturalSize().width, 160.0f);
    EXPECT_EQ(titled->naturalSize().height, 120.0f);
    EXPECT_TRUE(waitFor([&] { return titled->videoSize().width == 320.0f; }))
        << titled->videoSize().width;
    EXPECT_EQ(titled->videoSize().height, 120.0f);
}

TEST_F(MpvMovieTest, RateReadsBackExactlyAsGiven) {
    auto movie = open(makeMovie("rates.mp4", {.seconds = 1, .width = 160, .height = 120}));
    ASSERT_NE(movie, nullptr);
    float tenSlowerSteps = 1.0f;
    for (int i = 0; i < 10; ++i) {
        tenSlowerSteps = static_cast<float>(static_cast<double>(tenSlowerSteps) - 0.1);
    }
    ASSERT_NE(tenSlowerSteps, 0.0f);
    ASSERT_NEAR(tenSlowerSteps, -7.3e-8, 1e-8);
    for (const float rate : {1.0f, 1.1f, 0.9f, -0.1f, 1.5f, -2.75f, 250.0f, tenSlowerSteps}) {
        movie->setRate(rate);
        EXPECT_EQ(movie->rate(), rate);
    }
    // mpv gets the nearest speed it accepts, in the direction of the rate.
    EXPECT_EQ(doubleProperty(movie->handle(), "speed"), 0.01);
    EXPECT_EQ(stringProperty(movie->handle(), "play-dir"), "backward");
    movie->setRate(250.0f);
    EXPECT_EQ(doubleProperty(movie->handle(), "speed"), 100.0);
    EXPECT_EQ(stringProperty(movie->handle(), "play-dir"), "forward");

    movie->setRate(0.0f);
    EXPECT_EQ(movie->rate(), 0.0f);
    EXPECT_EQ(stringProperty(movie->handle(), "pause"), "yes");
    movie->setRate(-0.0f);
    EXPECT_EQ(movie->rate(), 0.0f);
    movie->play();
    EXPECT_EQ(movie->rate(), 1.0f);
    EXPECT_EQ(doubleProperty(movie->handle(), "speed"), 1.0);
    EXPECT_EQ(stringProperty(movie->handle(), "pause"), "no");
}

TEST_F(MpvMovieTest, PlayingAdvancesTheTimeAndRateZeroHoldsIt) {
    auto movie = open(makeMovie("play.mp4", {.seconds = 2, .width = 160, .height = 120}));
    ASSERT_NE(movie, nullptr);
    movie->setRate(1.0f);
    ASSERT_TRUE(waitFor([&] { return seconds(movie->currentTime()) > 0.3; }));
    EXPECT_EQ(movie->rate(), 1.0f);
    EXPECT_GT(posted(), 0u) << "events reach the main thread through its queue";

    movie->setRate(0.0f);
    EXPECT_EQ(movie->rate(), 0.0f);
    pumpFor(100ms);
    const MovieTime held = movie->currentTime();
    pumpFor(300ms);
    EXPECT_EQ(movie->currentTime(), held);
    EXPECT_EQ(movie->rate(), 0.0f);
    EXPECT_FALSE(movie->isDone());
}

TEST_F(MpvMovieTest, StepsOneFrameForwardAndBackWhilePaused) {
    auto movie = open(makeMovie("steps.mp4", {.seconds = 2, .width = 160, .height = 120}));
    ASSERT_NE(movie, nullptr);
    movie->setCurrentTime({90000, 90000, 0});
    ASSERT_TRUE(waitFor([&] { return std::abs(seconds(movie->currentTime()) - 1.0) < 0.001; }));
    pumpFor(50ms);

    movie->stepForward();
    EXPECT_TRUE(waitFor([&] { return seconds(movie->currentTime()) > 1.0 + kFrame / 2; }));
    EXPECT_NEAR(seconds(movie->currentTime()), 1.0 + kFrame, 0.001);
    EXPECT_EQ(movie->rate(), 0.0f);

    movie->stepBackward();
    EXPECT_TRUE(waitFor([&] { return seconds(movie->currentTime()) < 1.0 + kFrame / 2; }));
    EXPECT_NEAR(seconds(movie->currentTime()), 1.0, 0.001);
    pumpFor(100ms);
    EXPECT_EQ(movie->rate(), 0.0f);
    EXPECT_EQ(stringProperty(movie->handle(), "pause"), "yes");
}

TEST_F(MpvMovieTest, SeeksExactlyToTheGivenTime) {
    auto movie = open(makeMovie("seek.mp4", {.seconds = 2, .width = 160, .height = 120}));
    ASSERT_NE(movie, nullptr);
    movie->setCurrentTime({108000, MpvMovie::kTimeScale, 0}); // 1.2 s, a frame boundary
    EXPECT_EQ(movie->currentTime().value, 108000);
    pumpFor(200ms);
    EXPECT_TRUE(waitFor([&] { return std::abs(seconds(movie->currentTime()) - 1.2) < 0.001; }))
        << seconds(movie->currentTime());

    // Any scale is understood: 300 units at 600 per second is half a second. Between two frames
    // the movie shows the first frame at or after the time asked for.
    movie->setCurrentTime({300, 600, 0});
    EXPECT_EQ(movie->currentTime().value, 45000);
    pumpFor(200ms);
    EXPECT_TRUE(waitFor([&] { return std::abs(seconds(movie->currentTime()) - 0.52) < 0.001; }))
        << seconds(movie->currentTime());
    EXPECT_EQ(movie->rate(), 0.0f);

    // Seeking to where it stands reports the frame's own time again.
    movie->setCurrentTime({46000, MpvMovie::kTimeScale, 0});
    EXPECT_EQ(movie->currentTime().value, 46000);
    EXPECT_TRUE(waitFor([&] { return movie->currentTime().value == 46800; }))
        << movie->currentTime().value;

    movie->setCurrentTime({1, 0, 0}); // no units per second: ignored
    pumpFor(100ms);
    EXPECT_EQ(movie->currentTime().value, 46800);

    // Before the start is the start (mpv would count a negative time from the end).
    movie->setCurrentTime({-45000, MpvMovie::kTimeScale, 0});
    EXPECT_EQ(movie->currentTime().value, 0);
    pumpFor(200ms);
    EXPECT_TRUE(waitFor([&] { return movie->currentTime().value == 0; }))
        << movie->currentTime().value;
}

TEST_F(MpvMovieTest, LoopingMovieKeepsPlayingPastItsEnd) {
    auto movie = open(makeMovie("loop.mp4", {.seconds = 1, .width = 160, .height = 120}));
    ASSERT_NE(movie, nullptr);
    movie->setLoops(true);
    EXPECT_EQ(stringProperty(movie->handle(), "loop-file"), "inf");
    movie->setRate(1.0f);
    double latest = 0;
    bool doneSeen = false;
    const bool wrapped = waitFor([&] {
        doneSeen = doneSeen || movie->isDone();
        const double now = seconds(movie->currentTime());
        const bool back = latest > 0.7 && now < latest - 0.5;
        latest = now;
        return back;
    });
    EXPECT_TRUE(wrapped) << "last time " << latest;
    EXPECT_FALSE(doneSeen);
    pumpFor(100ms);
    EXPECT_FALSE(movie->isDone());
    EXPECT_EQ(movie->rate(), 1.0f);

    movie->setLoops(false);
    EXPECT_EQ(stringProperty(movie->handle(), "loop-file"), "no");
}

TEST_F(MpvMovieTest, EndOfMovieStaysOnTheLastFramePaused) {
    auto movie = open(makeMovie("end.mp4", {.seconds = 1, .width = 160, .height = 120}));
    ASSERT_NE(movie, nullptr);
    movie->setRate(1.0f);
    ASSERT_TRUE(waitFor([&] { return movie->isDone(); }));
    EXPECT_EQ(movie->rate(), 0.0f);
    const double end = seconds(movie->currentTime());
    EXPECT_NEAR(end, seconds(movie->duration()), 2 * kFrame);
    pumpFor(200ms);
    EXPECT_TRUE(movie->isDone());
    EXPECT_EQ(seconds(movie->currentTime()), end);

    // Asked to play on, it stays at the end.
    movie->setRate(1.0f);
    pumpFor(300ms);
    EXPECT_TRUE(movie->isDone());
    EXPECT_EQ(movie->rate(), 0.0f);

    // Back at the start it is no longer done, and still paused.
    movie->setCurrentTime({0, MpvMovie::kTimeScale, 0});
    EXPECT_TRUE(waitFor([&] { return !movie->isDone(); }));
    pumpFor(200ms);
    EXPECT_EQ(movie->rate(), 0.0f);
    EXPECT_EQ(movie->currentTime().value, 0);
}

TEST_F(MpvMovieTest, RefusesWhatIsNotAMovieWithAReason) {
    EXPECT_EQ(refusal(m_dir.write("notes.txt", "Dome show at eight.\nBring the mesh.\n")),
              "unrecognized file format");
    std::string garbage(4096, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<char>((i * 7919 + 13) % 251);
    }
    EXPECT_EQ(refusal(m_dir.write("garbage.mp4", garbage)), "unrecognized file format");
    EXPECT_FALSE(refusal(m_dir.write("empty.mov", "")).empty());
    EXPECT_EQ(refusal((m_dir.path() / "missing.mp4").string()), "file not found");
    EXPECT_EQ(refusal(m_dir.path().string()), "a folder, not a movie file");
    EXPECT_EQ(refusal("/dev/null"), "not a regular file");
    EXPECT_EQ(MpvMovie::open("/no/such/movie.mp4", m_options, nullptr), nullptr);

    const std::string movie = makeMovie("slow.mp4", {.seconds = 1, .width = 160, .height = 120});
    EXPECT_EQ(refusal(m_dir.write("show.m3u", "#EXTM3U\n" + movie + "\n")),
              "a playlist, not a movie file");
    m_options.openTimeout = 0ms;
    EXPECT_EQ(refusal(movie), "the file took too long to open");
}

TEST_F(MpvMovieTest, CallsItsHooksAroundTheCoresLife) {
    std::vector<std::string> calls;
    mpv_handle* loaded = nullptr;
    m_options.beforeLoad = [&](MpvMovie& movie) {
        mpv_handle* core = movie.handle();
        singleThreadedDecoding(core);
        loaded = core;
        calls.push_back("load, idle " + stringProperty(core, "idle-active"));
    };
    m_options.beforeDestroy = [&](mpv_handle* core) {
        calls.push_back(core == loaded ? "destroy" : "destroy another core");
    };
    auto movie = open(makeMovie("hooks.mp4", {.seconds = 1, .width = 160, .height = 120}));
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->handle(), loaded);
    EXPECT_EQ(calls, (std::vector<std::string>{"load, idle yes"}));
    movie.reset();
    EXPECT_EQ(calls, (std::vector<std::string>{"load, idle yes", "destroy"}));

    // A file that fails after its core started still lets the hook free what it made.
    calls.clear();
    refusal(m_dir.write("bad.mp4", "not a movie"));
    EXPECT_EQ(calls, (std::vector<std::string>{"load, idle yes", "destroy"}));
}

TEST_F(MpvMovieTest, OpensAPictureAsAOneFrameMovie) {
    const std::string path = (m_dir.path() / "still.png").string();
    ASSERT_TRUE(TestMovies::makeImage(path, 64, 48));
    auto movie = open(path);
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->naturalSize().width, 64.0f);
    EXPECT_EQ(movie->naturalSize().height, 48.0f);
    EXPECT_EQ(movie->displayName(), "still.png");
    EXPECT_LE(seconds(movie->duration()), kFrame);
    movie->play();
    EXPECT_TRUE(waitFor([&] { return movie->isDone(); }));
    EXPECT_EQ(movie->rate(), 0.0f);
}

TEST_F(MpvMovieTest, VolumeOneIsMpvsFullVolume) {
    auto movie = open(makeMovie("volume.mp4", {.seconds = 1, .width = 160, .height = 120}));
    ASSERT_NE(movie, nullptr);
    movie->setVolume(0.25f);
    EXPECT_EQ(doubleProperty(movie->handle(), "volume"), 25.0);
    movie->setVolume(1.0f);
    EXPECT_EQ(doubleProperty(movie->handle(), "volume"), 100.0);
    movie->setVolume(3.0f);
    EXPECT_EQ(doubleProperty(movie->handle(), "volume"), 100.0);
    movie->setVolume(-1.0f);
    EXPECT_EQ(doubleProperty(movie->handle(), "volume"), 0.0);
    movie->setVolume(std::nanf(""));
    EXPECT_EQ(doubleProperty(movie->handle(), "volume"), 0.0);
}

TEST_F(MpvMovieTest, WithoutARenderContextTheMoviePlaysWithoutPictures) {
    m_options.videoOutput = "libmpv";
    auto movie =
        open(makeMovie("blind.mp4", {.seconds = 10, .width = 160, .height = 120, .audio = false}));
    ASSERT_NE(movie, nullptr);
    const auto output = [&] { return stringProperty(movie->handle(), "current-vo"); };
    EXPECT_TRUE(waitFor([&] { return output() == "null"; })) << output();
    movie->play();
    EXPECT_TRUE(waitFor([&] { return seconds(movie->currentTime()) > 0.2; }));
    EXPECT_FALSE(movie->isDone());
}

// A container that claims a picture size the decoder refuses around a small stream: the decoder
// cannot start. With sound the core would play on without pictures; either way it is refused,
// with the decoder's reason.
TEST_F(MpvMovieTest, PicturesThatCannotBeDecodedAreRefusedWithTheReason) {
    for (const bool audio : {false, true}) {
        const std::string path =
            makeMovie(audio ? "huge-sound.mp4" : "huge.mp4",
                      {.seconds = 1, .width = 64, .height = 36, .audio = audio});
        ASSERT_TRUE(TestMovies::claimPictureSize(path, 16384, 16384));
        const std::string reason = refusal(path);
        EXPECT_NE(reason.find("the pictures cannot be decoded"), std::string::npos) << reason;
    }
}

// A busy main thread reads the core's events late, when the end of the load and the decoder's
// complaint are both waiting: the reason still reaches the caller.
TEST_F(MpvMovieTest, TheDecodersReasonSurvivesAMainThreadThatReadsLate) {
    const std::string path =
        makeMovie("late.mp4", {.seconds = 1, .width = 64, .height = 36, .audio = false});
    ASSERT_TRUE(TestMovies::claimPictureSize(path, 16384, 16384));
    std::string error;
    auto movie = MpvMovie::create(m_options, &error);
    ASSERT_NE(movie, nullptr) << error;
    std::optional<std::string> outcome;
    movie->beginLoad(path, [&](const std::string& reason) { outcome = reason; });
    std::this_thread::sleep_for(1500ms); // the core gives up meanwhile; nothing is read
    ASSERT_TRUE(waitFor([&] { return outcome.has_value(); }));
    EXPECT_NE(outcome->find("the pictures cannot be decoded ("), std::string::npos) << *outcome;
}

// Loading runs on the core's threads and ends in an event: the caller never waits, also not for
// a named pipe that nobody writes yet. Dropping such a movie ends its core at once.
TEST_F(MpvMovieTest, LoadingReportsLaterAndAStalledLoadCanBeDropped) {
    const std::string path = makeMovie("later.mp4", {.seconds = 1, .width = 160, .height = 120});
    std::string error;
    auto movie = MpvMovie::create(m_options, &error);
    ASSERT_NE(movie, nullptr) << error;
    std::optional<std::string> outcome;
    movie->beginLoad(path, [&](const std::string& reason) { outcome = reason; });
    EXPECT_FALSE(outcome.has_value());
    EXPECT_FALSE(movie->isLoaded());
    ASSERT_TRUE(waitFor([&] { return outcome.has_value(); }));
    EXPECT_EQ(*outcome, "");
    EXPECT_TRUE(movie->isLoaded());
    EXPECT_EQ(movie->naturalSize().width, 160.0f);

    const std::string pipe = (m_dir.path() / "pipe.mp4").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    auto stalled = MpvMovie::create(m_options, &error);
    ASSERT_NE(stalled, nullptr) << error;
    outcome.reset();
    stalled->beginLoad(pipe, [&](const std::string& reason) { outcome = reason; });
    pumpFor(300ms);
    EXPECT_FALSE(outcome.has_value()) << "a pipe without a writer cannot have loaded";
    const auto before = std::chrono::steady_clock::now();
    stalled.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_FALSE(outcome.has_value());
}

// What the owner does when a load ends (an alert, the move into the full-screen window) may run
// the event loop; the core's event that ended the load must not be in hand then, as the next
// read of the core's events ends its life. So the end is told in a turn of its own.
TEST_F(MpvMovieTest, ALoadsEndIsToldOutsideTheReadingOfEvents) {
    const std::string path = makeMovie("own.mp4", {.seconds = 1, .width = 160, .height = 120});
    const std::string text = (m_dir.path() / "text.mp4").string();
    std::ofstream(text) << "not a movie at all\n";
    for (const std::string& file : {path, text}) {
        std::string error;
        auto movie = MpvMovie::create(m_options, &error);
        ASSERT_NE(movie, nullptr) << error;
        m_options.beforeLoad(*movie);
        bool reading = false;
        bool toldWhileReading = false;
        std::optional<std::string> outcome;
        movie->beginLoad(file, [&](const std::string& reason) {
            toldWhileReading = reading;
            outcome = reason;
            movie->processEvents(); // as an event loop run from here drains the movie
        });
        // The core's events read here, the queue left alone, until the load has ended.
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        while (!movie->isLoaded() && !movie->isDone() &&
               std::chrono::steady_clock::now() < deadline) {
            reading = true;
            movie->processEvents();
            reading = false;
            std::this_thread::sleep_for(2ms);
        }
        ASSERT_TRUE(movie->isLoaded() || movie->isDone()) << file;
        EXPECT_FALSE(toldWhileReading) << file;
        runTasks();
        ASSERT_TRUE(outcome.has_value()) << file;
        EXPECT_EQ(outcome->empty(), file == path) << file << ": " << *outcome;
        // Events keep coming after a drain that was entered twice.
        if (file == path) {
            movie->setRate(1.0f);
            EXPECT_TRUE(waitFor([&] { return seconds(movie->currentTime()) > 0.2; }));
        }
    }
}

TEST_F(MpvMovieTest, EventsForADestroyedMovieAreDropped) {
    auto movie = open(makeMovie("gone.mp4", {.seconds = 1, .width = 160, .height = 120}));
    ASSERT_NE(movie, nullptr);
    movie->setRate(1.0f);
    // Events pile up, undrained.
    for (const auto deadline = std::chrono::steady_clock::now() + kWait;
         posted() == 0 && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(10ms);
    }
    const size_t before = posted();
    EXPECT_GT(before, 0u);
    std::weak_ptr<MpvMovie> watch = movie;
    movie.reset();
    EXPECT_TRUE(watch.expired());
    runTasks(); // tasks of the destroyed movie do nothing
}

TEST_F(MpvMovieTest, WithoutAMainThreadQueueTheOwnerDrainsEvents) {
    m_main.reset();
    auto movie = open(makeMovie("plain.mp4", {.seconds = 2, .width = 160, .height = 120}));
    ASSERT_NE(movie, nullptr);
    movie->setRate(1.0f);
    std::this_thread::sleep_for(400ms); // time to play, in which nothing may drain
    EXPECT_EQ(movie->currentTime().value, 0) << "nothing drains by itself";
    // What the owner drains: positions, as far as the core has played (which on a busy machine
    // may take a while).
    movie->processEvents();
    for (const auto deadline = std::chrono::steady_clock::now() + kWait;
         seconds(movie->currentTime()) <= 0.2 && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(10ms);
        movie->processEvents();
    }
    EXPECT_GT(seconds(movie->currentTime()), 0.2);
}

TEST(MpvMovieFileTypes, ListsMovieAndPictureExtensionsSortedWithoutDots) {
    const auto types = MpvMovie::movieUnfilteredFileTypes();
    for (const char* expected : {"mp4", "mov", "mkv", "avi", "mpg", "mpeg", "ts", "m2ts", "vob",
                                 "wmv", "asf", "gif", "png", "jpg", "tif", "bmp", "webm"}) {
        EXPECT_TRUE(std::binary_search(types.begin(), types.end(), expected)) << expected;
    }
    EXPECT_TRUE(std::is_sorted(types.begin(), types.end()));
    EXPECT_EQ(std::adjacent_find(types.begin(), types.end()), types.end());
    for (const auto& type : types) {
        EXPECT_FALSE(type.empty());
        EXPECT_EQ(type.find('.'), std::string::npos) << type;
        EXPECT_EQ(type.find(' '), std::string::npos) << type;
        EXPECT_TRUE(std::none_of(type.begin(), type.end(), [](char c) { return std::isupper(c); }))
            << type;
    }
}

} // namespace
} // namespace lumenarc
