#include "sync/SyncSocket.h"

#include "base/WallClock.h"
#include "playback/MainQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;

struct Received {
    SyncMessage message;
    SyncAddress from;
    int64_t arrived = 0;
};

// Two real sockets on the loopback address, as a leader and a follower.
class SyncSocketTest : public ::testing::Test {
protected:
    void TearDown() override {
        unsetenv("LUMENARC_SYNC_TEST_DROP");
        unsetenv("LUMENARC_SYNC_TEST_DELAY_MS");
    }

    void startBoth() {
        std::string why;
        ASSERT_TRUE(m_leader.start("127.0.0.1", 0, true, why)) << why;
        ASSERT_TRUE(m_follower.start("127.0.0.1", 0, false, why)) << why;
        ASSERT_TRUE(SyncAddress::resolve("127.0.0.1", m_leader.port(), m_leaderAddress, why));
    }

    SyncMessage command(double value) {
        SyncMessage message;
        message.kind = SyncMessage::Kind::Command;
        message.verb = "seek";
        message.value = value;
        return message;
    }

    test::MainQueue m_main;
    std::vector<Received> m_atLeader;
    std::vector<Received> m_atFollower;
    SyncSocket m_leader{
        [this](const SyncMessage& message, const SyncAddress& from, int64_t arrived) {
            m_atLeader.push_back({message, from, arrived});
        }};
    SyncSocket m_follower{
        [this](const SyncMessage& message, const SyncAddress& from, int64_t arrived) {
            m_atFollower.push_back({message, from, arrived});
        }};
    SyncAddress m_leaderAddress;
};

TEST_F(SyncSocketTest, PingsAreAnsweredOnTheSpotWithTheirTimeStamps) {
    startBoth();
    SyncMessage ping;
    ping.kind = SyncMessage::Kind::Ping;
    ping.t1 = WallClock::now();
    m_follower.send(ping, m_leaderAddress);
    ASSERT_TRUE(m_main.waitFor([&] { return !m_atFollower.empty(); }, 5s));
    const Received& pong = m_atFollower.front();
    EXPECT_EQ(pong.message.kind, SyncMessage::Kind::Pong);
    EXPECT_TRUE(pong.from == m_leaderAddress);
    EXPECT_EQ(pong.message.t1, ping.t1);
    EXPECT_LE(ping.t1, pong.message.t2);
    EXPECT_LE(pong.message.t2, pong.message.t3);
    EXPECT_LE(pong.message.t3, pong.arrived);
    // The leader hears the ping too, and so learns where its follower is.
    ASSERT_TRUE(m_main.waitFor([&] { return !m_atLeader.empty(); }, 5s));
    EXPECT_EQ(m_atLeader.front().from.describe(), "127.0.0.1:" + std::to_string(m_follower.port()));
}

TEST_F(SyncSocketTest, StrayDatagramsAreIgnoredAndNothingRunsAfterStop) {
    startBoth();
    // A timeline with the wrong arguments, and bytes that are no message at all.
    const char junk[] = "/lumenarc/sync/timeline\0,i\0\0\0\0\0\1";
    const int raw = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(raw, 0);
    for (int k = 0; k < 50; ++k) {
        sendto(raw, junk, sizeof junk, 0,
               reinterpret_cast<const sockaddr*>(&m_leaderAddress.address), m_leaderAddress.length);
        sendto(raw, "\xff\xfe", 2, 0, reinterpret_cast<const sockaddr*>(&m_leaderAddress.address),
               m_leaderAddress.length);
        m_follower.send(command(k), m_leaderAddress);
    }
    close(raw);
    ASSERT_TRUE(m_main.waitFor([&] { return m_atLeader.size() == 50; }, 5s));
    EXPECT_EQ(m_atLeader.back().message.value, 49);
    m_follower.send(command(99), m_leaderAddress);
    std::this_thread::sleep_for(100ms);
    m_leader.stop();
    m_main.run();
    EXPECT_EQ(m_atLeader.size(), 50u); // posted before the stop, never run after it
}

TEST_F(SyncSocketTest, TheTestFaultsDropAndReorderWhatArrives) {
    setenv("LUMENARC_SYNC_TEST_DELAY_MS", "40", 1);
    startBoth();
    for (int k = 0; k < 60; ++k) {
        m_follower.send(command(k), m_leaderAddress);
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(m_main.waitFor([&] { return m_atLeader.size() == 60; }, 5s));
    bool reordered = false;
    for (size_t k = 1; k < m_atLeader.size(); ++k) {
        reordered |= m_atLeader[k].message.value < m_atLeader[k - 1].message.value;
    }
    EXPECT_TRUE(reordered);

    m_leader.stop();
    m_atLeader.clear();
    setenv("LUMENARC_SYNC_TEST_DROP", "0.5", 1);
    unsetenv("LUMENARC_SYNC_TEST_DELAY_MS");
    SyncSocket lossy([this](const SyncMessage& message, const SyncAddress& from, int64_t arrived) {
        m_atLeader.push_back({message, from, arrived});
    });
    std::string why;
    ASSERT_TRUE(lossy.start("127.0.0.1", 0, true, why));
    SyncAddress lossyAddress;
    ASSERT_TRUE(SyncAddress::resolve("127.0.0.1", lossy.port(), lossyAddress, why));
    for (int k = 0; k < 200; ++k) {
        m_follower.send(command(k), lossyAddress);
    }
    m_main.waitFor([] { return false; }, 300ms);
    EXPECT_GT(m_atLeader.size(), 40u);
    EXPECT_LT(m_atLeader.size(), 160u);
}

TEST(SyncAddress, NamesResolveAndAddressesCompareByHostAndPort) {
    SyncAddress a, b, c;
    std::string why;
    ASSERT_TRUE(SyncAddress::resolve("localhost", 9000, a, why)) << why;
    ASSERT_TRUE(
        SyncAddress::resolve(a.describe().substr(0, a.describe().rfind(':')), 9000, b, why));
    EXPECT_TRUE(a == b);
    ASSERT_TRUE(SyncAddress::resolve("127.0.0.1", 9001, c, why));
    EXPECT_FALSE(a == c);
    EXPECT_FALSE(SyncAddress::resolve("no-such-host.invalid", 9000, c, why));
    EXPECT_FALSE(why.empty());
}

} // namespace
} // namespace lumenarc
