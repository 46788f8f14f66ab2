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
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <mpv/client.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;

constexpr double kFrame = 1.0 / 30;

using test::seconds;

// A leader's socket that the test speaks for: it answers joins and pings as a leader's does,
// and sends the timelines the test makes, true or forged, from the leader's own address.
class ScriptedLeader {
public:
    bool start() {
        std::string why;
        return m_socket.start("127.0.0.1", 0, true, why);
    }
    uint16_t port() const { return m_socket.port(); }
    void setFollower(uint16_t port) {
        std::string why;
        SyncAddress::resolve("127.0.0.1", port, m_follower, why);
    }
    void send(const SyncTimeline& timeline, int64_t sequence = 0) {
        SyncMessage message;
        message.kind = SyncMessage::Kind::Timeline;
        message.session = 0x5eed;
        message.sequence = sequence != 0 ? sequence : ++m_sequence;
        message.timeline = timeline;
        m_socket.send(message, m_follower);
    }
    void send(const SyncMessage& message) { m_socket.send(message, m_follower); }

private:
    SyncSocket m_socket{[](const SyncMessage&, const SyncAddress&, int64_t) {}};
    SyncAddress m_follower;
    int64_t m_sequence = 0;
};

SyncTimeline showTimeline(const SyncSegment& segment) {
    SyncTimeline timeline;
    timeline.movie = {"show.mp4", 160, 90, 12.0};
    timeline.reset(segment);
    return timeline;
}

// A plain UDP socket on the loopback address, to count what comes back.
class RawPeer {
public:
    explicit RawPeer(const std::string& address = "127.0.0.1") {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, address.c_str(), &local.sin_addr);
        bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
        timeval wait{2, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~RawPeer() { close(m_fd); }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    size_t send(const SyncMessage& message, const SyncAddress& to) {
        const auto bytes = message.encode();
        sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to.address),
               to.length);
        return bytes.size();
    }
    // The next datagram, within 2 s, and its size.
    std::optional<SyncMessage> receive(size_t& size) {
        char buffer[65536];
        const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
        size = got > 0 ? static_cast<size_t>(got) : 0;
        return got > 0 ? SyncMessage::decode(buffer, size) : std::nullopt;
    }
    // Joins the leader at `to` and proves this address with a ping; false when no cookie came.
    bool join(const SyncAddress& to) {
        SyncMessage join;
        join.kind = SyncMessage::Kind::Join;
        send(join, to);
        size_t size = 0;
        const auto cookie = receive(size);
        if (!cookie || cookie->kind != SyncMessage::Kind::Cookie) {
            return false;
        }
        m_cookie = cookie->cookie;
        SyncMessage ping;
        ping.kind = SyncMessage::Kind::Ping;
        ping.t1 = WallClock::now();
        ping.cookie = m_cookie;
        send(ping, to);
        return true;
    }
    const SyncMessage::Cookie& cookie() const { return m_cookie; }

private:
    int m_fd = -1;
    SyncMessage::Cookie m_cookie{};
};

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
    SyncSession& leader(const std::string& bind = "127.0.0.1", const std::string& secret = "") {
        return session({SyncSession::Role::Leader, bind, 0, "", 0, secret});
    }
    SyncSession& follower(const SyncSession& of, const std::string& host = "127.0.0.1",
                          const std::string& secret = "") {
        return follower(of.port(), host, secret);
    }
    SyncSession& follower(uint16_t port, const std::string& host = "127.0.0.1",
                          const std::string& secret = "", const std::string& bind = "127.0.0.1") {
        return session({SyncSession::Role::Follower, bind, 0, host, port, secret});
    }
    // Pumps the loop until `done`, at most `limit`.
    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            pump(10ms);
        }
        return true;
    }

    // Waits until the follower plays at rate 1 within 3 frames of a leader past `after` s.
    bool followsWithin(const std::shared_ptr<SyncedMovie>& led,
                       const std::shared_ptr<SyncedMovie>& following, double after) {
        return waitFor(
            [&] {
                return following->movie()->rate() == 1.0f && seconds(led->currentTime()) > after &&
                       std::fabs(seconds(following->currentTime()) - seconds(led->currentTime())) <
                           3 * kFrame;
            },
            8s);
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

// One line when a follower first hears its leader, one when the leader goes quiet and one when
// it is heard again, never one per timeline.
TEST_F(SyncSessionTest, AFollowerSaysOnceThatItFollowsLosesAndFindsItsLeaderAgain) {
    ScriptedLeader scripted;
    ASSERT_TRUE(scripted.start());
    SyncSession& follow = follower(scripted.port());
    scripted.setFollower(follow.port());
    show(follow, "show.mp4");
    const SyncTimeline playing = showTimeline({WallClock::now(), 1.0, 1.0, false, false});
    const std::string leader =
        "sync: following the leader 127.0.0.1:" + std::to_string(scripted.port());
    const auto count = [&](const std::string& text) {
        const std::string all = log();
        int found = 0;
        for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) {
            ++found;
        }
        return found;
    };
    const auto sendUntil = [&](const std::string& text) {
        return waitFor(
            [&] {
                scripted.send(playing);
                pump(100ms);
                return count(text) > 0;
            },
            5s);
    };
    ASSERT_TRUE(sendUntil(leader + "\n")) << log();
    for (int k = 0; k < 5; ++k) {
        scripted.send(playing);
        pump(100ms);
    }
    ASSERT_TRUE(waitFor([&] { return count("sync: lost the leader") > 0; }, 5s)) << log();
    EXPECT_EQ(count("sync: lost the leader 127.0.0.1:" + std::to_string(scripted.port()) +
                    ": no timeline for "),
              1)
        << log();
    ASSERT_TRUE(sendUntil(leader + " again, after ")) << log();
    for (int k = 0; k < 5; ++k) {
        scripted.send(playing);
        pump(100ms);
    }
    EXPECT_EQ(count("sync: following the leader"), 2) << log();
    EXPECT_EQ(count("sync: lost the leader"), 1) << log();
}

// Hostile datagrams. Each test below stands for one way a sender on the show network could
// once take a show apart; the genuine leader's address is the test's own socket.

TEST_F(SyncSessionTest, OneForgedLastSequenceDoesNotShutOutTheLeader) {
    ScriptedLeader scripted;
    ASSERT_TRUE(scripted.start());
    SyncSession& follow = follower(scripted.port());
    scripted.setFollower(follow.port());
    auto following = show(follow, "show.mp4");
    const SyncTimeline playing = showTimeline({WallClock::now(), 1.0, 1.0, false, false});
    for (int k = 0; k < 3; ++k) {
        scripted.send(playing);
        pump(100ms);
    }
    scripted.send(playing, INT64_MAX); // the largest sequence there is
    const SyncTimeline paused = showTimeline({WallClock::now(), 8.0, 1.0, true, false});
    EXPECT_TRUE(waitFor(
        [&] {
            scripted.send(paused);
            return following->movie()->rate() == 0.0f &&
                   std::fabs(seconds(following->currentTime()) - 8.0) < kFrame;
        },
        5s))
        << seconds(following->currentTime());
}

TEST_F(SyncSessionTest, TimelinesWithAnchorsFarAwayAreRefusedAndFreezeNothing) {
    ScriptedLeader scripted;
    ASSERT_TRUE(scripted.start());
    SyncSession& follow = follower(scripted.port());
    scripted.setFollower(follow.port());
    auto following = show(follow, "show.mp4");
    const int64_t start = WallClock::now();
    const SyncTimeline playing = showTimeline({start, 0.0, 1.0, false, false});
    for (int k = 0; k < 3; ++k) {
        scripted.send(playing);
        pump(100ms);
    }
    // The ends of the anchor's range, and a start three years away.
    for (const int64_t anchor : {INT64_MIN, INT64_MAX, start + 100'000'000'000'000'000}) {
        scripted.send(showTimeline({anchor, 0.0, 1.0, false, false}));
        scripted.send(showTimeline({anchor, 0.0, 1.0, false, false}));
        pump(200ms);
    }
    int64_t sent = 0;
    EXPECT_TRUE(waitFor(
        [&] {
            if (WallClock::now() - sent > 100'000'000) {
                sent = WallClock::now();
                scripted.send(playing);
            }
            return following->movie()->rate() == 1.0f && seconds(following->currentTime()) > 1.5;
        },
        8s))
        << seconds(following->currentTime());
    EXPECT_NE(log().find("sync: ignoring a timeline from the leader"), std::string::npos);
}

TEST_F(SyncSessionTest, ALeaderTakesCommandsOnlyFromProvenFollowersAndWithinRange) {
    SyncSession& lead = leader();
    bool looping = false;
    lead.setChangeHook([&](bool loops) { looping = loops; });
    show(lead, "show.mp4");
    SyncAddress leaderAddress;
    std::string why;
    ASSERT_TRUE(SyncAddress::resolve("127.0.0.1", lead.port(), leaderAddress, why));
    RawPeer peer;
    SyncMessage command;
    command.kind = SyncMessage::Kind::Command;
    command.verb = "loop";
    command.value = 1;
    peer.send(command, leaderAddress); // no cookie: not a follower's
    ASSERT_TRUE(peer.join(leaderAddress));
    command.cookie = peer.cookie();
    command.verb = "rate";
    for (const double rate : {1000.0, 1e300, -101.0}) {
        command.value = rate;
        peer.send(command, leaderAddress);
    }
    command.verb = "loop";
    command.value = 1;
    peer.send(command, leaderAddress);
    ASSERT_TRUE(waitFor([&] { return looping; }, 5s));
    EXPECT_EQ(lead.requestedRate(), 1.0f);
}

TEST_F(SyncSessionTest, AnAddressNotProvenIsSentNoMoreThanItSentAndCannotFillTheTable) {
    SyncSession& lead = leader();
    show(lead, "show.mp4");
    SyncAddress leaderAddress;
    std::string why;
    ASSERT_TRUE(SyncAddress::resolve("127.0.0.1", lead.port(), leaderAddress, why));
    RawPeer probe;
    size_t sent = 0;
    SyncMessage ping;
    ping.kind = SyncMessage::Kind::Ping;
    ping.t1 = WallClock::now();
    SyncMessage step;
    step.kind = SyncMessage::Kind::Command;
    step.verb = "step";
    step.value = 1;
    for (int k = 0; k < 10; ++k) {
        sent += probe.send(ping, leaderAddress);
        sent += probe.send(step, leaderAddress);
    }
    SyncMessage join;
    join.kind = SyncMessage::Kind::Join;
    const size_t joinSize = probe.send(join, leaderAddress);
    pump(300ms);
    // The first answer is the cookie: nothing came for the pings or the commands.
    size_t size = 0;
    const auto first = probe.receive(size);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->kind, SyncMessage::Kind::Cookie);
    EXPECT_LE(size, joinSize);
    EXPECT_GT(sent, 10 * size);

    // Many proven senders on one machine fill its share of the table, not all of it.
    std::vector<std::unique_ptr<RawPeer>> crowd;
    for (int k = 0; k < 300; ++k) {
        crowd.push_back(std::make_unique<RawPeer>());
        ASSERT_TRUE(crowd.back()->join(leaderAddress)) << k;
    }
    pump(200ms);
    auto led = show(lead, "show.mp4");
    SyncSession& follow = follower(lead.port(), "127.0.0.1", "", "127.0.0.2");
    auto following = show(follow, "show.mp4");
    EXPECT_TRUE(followsWithin(led, following, 0.5));
    const std::string said = log();
    const size_t full = said.find("followers already");
    EXPECT_NE(full, std::string::npos) << said;
    EXPECT_EQ(said.find("followers already", full + 1), std::string::npos); // throttled
}

TEST_F(SyncSessionTest, ALeaderCannotGrowAFollowersMemoryOrFloodItsLog) {
    ScriptedLeader scripted;
    ASSERT_TRUE(scripted.start());
    SyncSession& follow = follower(scripted.port());
    scripted.setFollower(follow.port());
    int opened = 0;
    follow.setOpener([&](const std::string&) { ++opened; });
    auto following = show(follow, "show.mp4");
    const SyncTimeline playing = showTimeline({WallClock::now(), 1.0, 1.0, false, false});
    for (int k = 0; k < 3; ++k) {
        scripted.send(playing);
        pump(100ms);
    }
    SyncTimeline strange = playing;
    for (int k = 0; k < 500; ++k) {
        strange.movie.name = std::to_string(k) + std::string(1000, 'x');
        scripted.send(strange);
        if (k % 50 == 0) {
            pump(20ms);
        }
    }
    pump(500ms);
    const std::string said = log();
    size_t lines = 0;
    for (size_t at = said.find("sync: not following"); at != std::string::npos;
         at = said.find("sync: not following", at + 1)) {
        ++lines;
    }
    EXPECT_GE(lines, 1u);
    EXPECT_LE(lines, 2u);
    EXPECT_EQ(opened, 0);
}

TEST_F(SyncSessionTest, PongsThatAnswerNoPingOfOursMoveNoClock) {
    ScriptedLeader scripted;
    ASSERT_TRUE(scripted.start());
    SyncSession& follow = follower(scripted.port());
    scripted.setFollower(follow.port());
    show(follow, "show.mp4");
    ASSERT_TRUE(waitFor([&] { return follow.clockOffset().best().has_value(); }, 5s));
    // 400 answers to no ping, ten seconds ahead, some with round trips shorter than any true
    // one; and the ends of the time stamps' range.
    for (int k = 0; k < 400; ++k) {
        SyncMessage pong;
        pong.kind = SyncMessage::Kind::Pong;
        pong.nonce = 1000 + k;
        pong.t1 = WallClock::now();
        pong.t2 = pong.t1 + 10'000'000'000;
        pong.t3 = pong.t2 + k * 10'000;
        scripted.send(pong);
    }
    for (const auto& [t1, t2] : {std::pair{INT64_MIN, int64_t{0}}, {int64_t{0}, INT64_MAX}}) {
        SyncMessage pong;
        pong.kind = SyncMessage::Kind::Pong;
        pong.t1 = t1;
        pong.t2 = t2;
        pong.t3 = t2;
        scripted.send(pong);
    }
    pump(500ms);
    ASSERT_TRUE(follow.clockOffset().best());
    EXPECT_LT(std::abs(follow.clockOffset().best()->offset), 5'000'000);
}

TEST_F(SyncSessionTest, ALeaderWithSeveralAddressesAnswersFromTheOneAsked) {
    SyncSession& lead = leader("0.0.0.0");
    SyncSession& follow = follower(lead.port(), "127.0.0.2");
    auto led = show(lead, "show.mp4");
    auto following = show(follow, "show.mp4");
    EXPECT_TRUE(followsWithin(led, following, 0.5));
}

TEST_F(SyncSessionTest, WithASecretOnlyMachinesThatHoldItTakePart) {
    const std::string secret = (s_dir->path() / "show.secret").string();
    std::ofstream(secret) << "a show's own secret, 32 bytes at least";
    SyncSession& lead = leader("127.0.0.1", secret);
    SyncSession& member = follower(lead, "127.0.0.1", secret);
    SyncSession& stranger = follower(lead);
    auto led = show(lead, "show.mp4");
    auto following = show(member, "show.mp4");
    auto outside = show(stranger, "show.mp4");
    EXPECT_TRUE(followsWithin(led, following, 1.0));
    EXPECT_EQ(outside->movie()->rate(), 0.0f); // waits on its first frame for a leader
    EXPECT_LT(seconds(outside->currentTime()), 2 * kFrame);
    EXPECT_FALSE(stranger.clockOffset().best());

    const std::string shortSecret = (s_dir->path() / "short.secret").string();
    std::ofstream(shortSecret) << "too short";
    SyncSession refused({SyncSession::Role::Leader, "127.0.0.1", 0, "", 0, shortSecret});
    std::string why;
    EXPECT_FALSE(refused.start(why));
    EXPECT_NE(why.find("short.secret"), std::string::npos) << why;
}

} // namespace
} // namespace lumenarc
