#include "sync/SyncSession.h"

#include "base/DeveloperLog.h"
#include "base/MainThread.h"
#include "base/WallClock.h"
#include "playback/MainQueue.h"
#include "playback/MpvMovie.h"
#include "playback/TestMovies.h"
#include "support/TempDir.h"
#include "sync/QuietCores.h"
#include "sync/SyncedMovie.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <mpv/client.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;

constexpr double kFrame = 1.0 / 30;

using test::seconds;

// A leader and followers on the loopback address, each with a real libmpv core (no pictures,
// no sound), driven by a real event loop as in the player.
class SyncSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_sync_session";
        static char* argv[] = {name, nullptr};
        s_application = new QCoreApplication(argc, argv);
        s_dir = new test::TempDir;
        for (const auto& [file, length] : {std::pair{"show.mp4", 12.0}, {"other.mp4", 6.0}}) {
            ASSERT_TRUE(test::TestMovies::make(
                (s_dir->path() / file).string(),
                {.seconds = length, .width = 160, .height = 90, .fps = 30, .audio = false}));
        }
    }
    static void TearDownTestSuite() {
        delete s_dir;
        delete s_application;
    }

    void SetUp() override {
        // Work from other threads waits in a queue of the test's (the sanitizer sees its
        // locks), and the toolkit's loop runs the sessions' timers.
        m_main = std::make_unique<test::MainQueue>();
        DeveloperLog::setSink([this](std::string_view line) {
            std::lock_guard lock(m_logMutex);
            m_log += std::string(line) + "\n";
        });
    }
    void TearDown() override {
        m_sessions.clear();
        pump(50ms);
        DeveloperLog::setSink(nullptr);
        m_main.reset();
    }

    SyncSession& session(SyncSession::Settings settings) {
        m_sessions.push_back(std::make_unique<SyncSession>(std::move(settings)));
        std::string why;
        EXPECT_TRUE(m_sessions.back()->start(why)) << why;
        return *m_sessions.back();
    }
    SyncSession& leader() { return session({SyncSession::Role::Leader, "127.0.0.1", 0, "", 0}); }
    SyncSession& follower(const SyncSession& of) {
        return session({SyncSession::Role::Follower, "127.0.0.1", 0, "127.0.0.1", of.port()});
    }

    // Opens a movie of the test folder into the session, as the player does once it is shown.
    std::shared_ptr<SyncedMovie> show(SyncSession& into, const std::string& file) {
        const std::string path = (s_dir->path() / file).string();
        auto movie = test::openQuietCore(path);
        movie->setRate(1.0f); // as playback control starts every movie
        auto synced = std::make_shared<SyncedMovie>(movie, path, into);
        into.movieOpened(synced);
        return synced;
    }

    void pump(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            m_main->run();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        }
    }
    std::string log() {
        std::lock_guard lock(m_logMutex);
        return m_log;
    }

    std::unique_ptr<test::MainQueue> m_main;
    std::vector<std::unique_ptr<SyncSession>> m_sessions;
    std::mutex m_logMutex;
    std::string m_log;
    static inline QCoreApplication* s_application = nullptr;
    static inline test::TempDir* s_dir = nullptr;
};

TEST_F(SyncSessionTest, AFollowersTransportGoesToTheLeaderAndEveryMachineMakesIt) {
    SyncSession& lead = leader();
    SyncSession& follow = follower(lead);
    auto led = show(lead, "show.mp4");
    auto following = show(follow, "show.mp4");
    pump(2500ms);
    const double playing = seconds(led->currentTime());
    EXPECT_GT(playing, 1.0);
    EXPECT_NEAR(seconds(following->currentTime()), playing, 3 * kFrame);
    EXPECT_EQ(following->rate(), 1.0f);

    following->setRate(0.0f); // Space on the follower
    pump(800ms);
    EXPECT_EQ(lead.requestedRate(), 0.0f);
    EXPECT_EQ(led->movie()->rate(), 0.0f);
    EXPECT_EQ(following->movie()->rate(), 0.0f);
    EXPECT_EQ(following->rate(), 0.0f);
    EXPECT_NEAR(seconds(following->currentTime()), seconds(led->currentTime()), kFrame / 2);

    following->setCurrentTime({9 * 90000, 90000, 0}); // the follower's position slider
    following->setRate(1.0f);
    pump(1500ms);
    const double resumed = seconds(led->currentTime());
    EXPECT_GT(resumed, 9.5);
    EXPECT_NEAR(seconds(following->currentTime()), resumed, 3 * kFrame);
}

TEST_F(SyncSessionTest, AnotherMovieIsRefusedAndOnlyTheLeaderGiven) {
    SyncSession& lead = leader();
    SyncSession& wrong = follower(lead);
    show(lead, "show.mp4");
    auto other = show(wrong, "other.mp4");
    // An impostor leader with the follower's movie, sending from a port of its own.
    SyncSession& impostor = leader();
    auto impostorMovie = show(impostor, "other.mp4");
    SyncSocket spoof([](const SyncMessage&, const SyncAddress&, int64_t) {});
    std::string why;
    ASSERT_TRUE(spoof.start("127.0.0.1", 0, false, why));
    SyncAddress followerAddress;
    ASSERT_TRUE(SyncAddress::resolve("127.0.0.1", wrong.port(), followerAddress, why));
    SyncMessage fake;
    fake.kind = SyncMessage::Kind::Timeline;
    fake.session = 1;
    fake.timeline.movie = {"other.mp4", 160, 90, 6.0};
    fake.timeline.reset({WallClock::now(), 0.0, 1.0, false, false});
    for (int k = 0; k < 10; ++k) {
        fake.sequence = k;
        spoof.send(fake, followerAddress);
        pump(100ms);
    }
    pump(500ms);
    EXPECT_NE(log().find("sync: not following: the leader plays \"show.mp4\" (160x90, 12.000 s), "
                         "this instance has \"other.mp4\" (160x90, 6.000 s)"),
              std::string::npos)
        << log();
    EXPECT_EQ(log().find("sync: not following", log().find("sync: not following") + 1),
              std::string::npos);            // said once
    EXPECT_EQ(other->movie()->rate(), 0.0f); // waits on its first frame
    EXPECT_LT(seconds(other->currentTime()), 2 * kFrame);
    EXPECT_GT(seconds(impostorMovie->currentTime()), 1.0);
}

} // namespace
} // namespace lumenarc
