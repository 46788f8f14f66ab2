#include "sync/SyncSocket.h"

#include "base/WallClock.h"
#include "playback/MainQueue.h"
#include "sync/LossyNetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    void TearDown() override { test::LossyNetwork::uninstall(); }

    void startBoth() {
        std::string why;
        ASSERT_TRUE(m_leader.start("127.0.0.1", 0, true, why)) << why;
        ASSERT_TRUE(m_follower.start("127.0.0.1", 0, false, why)) << why;
        ASSERT_TRUE(SyncAddress::resolve("127.0.0.1", m_leader.port(), m_leaderAddress, why));
    }

    // The follower's cookie from the leader, as a follower joins.
    SyncMessage::Cookie joinLeader() {
        SyncMessage join;
        join.kind = SyncMessage::Kind::Join;
        m_follower.send(join, m_leaderAddress);
        EXPECT_TRUE(m_main.waitFor(
            [&] {
                return std::any_of(m_atFollower.begin(), m_atFollower.end(), [](const auto& r) {
                    return r.message.kind == SyncMessage::Kind::Cookie;
                });
            },
            5s));
        for (const Received& received : m_atFollower) {
            if (received.message.kind == SyncMessage::Kind::Cookie) {
                return received.message.cookie;
            }
        }
        return {};
    }

    SyncMessage command(double value) {
        SyncMessage message;
        message.kind = SyncMessage::Kind::Command;
        message.verb = "seek";
        message.value = value;
        message.cookie = m_cookie;
        return message;
    }

    SyncMessage pong(int64_t t1) {
        SyncMessage message;
        message.kind = SyncMessage::Kind::Pong;
        message.t1 = t1;
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
    SyncMessage::Cookie m_cookie{};
};

TEST_F(SyncSocketTest, PingsWithTheCookieAreAnsweredOnTheSpotWithTheirTimeStamps) {
    startBoth();
    SyncMessage ping;
    ping.kind = SyncMessage::Kind::Ping;
    ping.t1 = WallClock::now();
    ping.nonce = 77;
    // Without the cookie of this address, a ping is neither answered nor heard.
    m_follower.send(ping, m_leaderAddress);
    ping.cookie = joinLeader();
    EXPECT_EQ(m_atFollower.size(), 1u); // the cookie alone
    EXPECT_TRUE(m_atLeader.empty());
    m_atFollower.clear();
    m_follower.send(ping, m_leaderAddress);
    ASSERT_TRUE(m_main.waitFor([&] { return !m_atFollower.empty(); }, 5s));
    const Received& pong = m_atFollower.front();
    EXPECT_EQ(pong.message.kind, SyncMessage::Kind::Pong);
    EXPECT_TRUE(pong.from == m_leaderAddress);
    EXPECT_EQ(pong.message.t1, ping.t1);
    EXPECT_EQ(pong.message.nonce, 77u);
    EXPECT_LE(ping.t1, pong.message.t2);
    EXPECT_LE(pong.message.t2, pong.message.t3);
    EXPECT_LE(pong.message.t3, pong.arrived);
    // The leader hears the ping too, and so learns where its follower is.
    ASSERT_TRUE(m_main.waitFor([&] { return !m_atLeader.empty(); }, 5s));
    EXPECT_EQ(m_atLeader.front().from.describe(), "127.0.0.1:" + std::to_string(m_follower.port()));
}

TEST_F(SyncSocketTest, StrayDatagramsAreIgnoredAndNothingRunsAfterStop) {
    startBoth();
    m_cookie = joinLeader();
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
    test::LossyNetwork::installFromEnvironment();
    unsetenv("LUMENARC_SYNC_TEST_DELAY_MS");
    startBoth();
    SyncAddress followerAddress;
    std::string why;
    ASSERT_TRUE(SyncAddress::resolve("127.0.0.1", m_follower.port(), followerAddress, why));
    for (int k = 0; k < 60; ++k) {
        m_leader.send(pong(k), followerAddress);
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(m_main.waitFor([&] { return m_atFollower.size() == 60; }, 5s));
    bool reordered = false;
    for (size_t k = 1; k < m_atFollower.size(); ++k) {
        reordered |= m_atFollower[k].message.t1 < m_atFollower[k - 1].message.t1;
    }
    EXPECT_TRUE(reordered);

    m_atFollower.clear();
    test::LossyNetwork::install(0.5, 0);
    SyncSocket lossy([this](const SyncMessage& message, const SyncAddress& from, int64_t arrived) {
        m_atFollower.push_back({message, from, arrived});
    });
    ASSERT_TRUE(lossy.start("127.0.0.1", 0, false, why));
    SyncAddress lossyAddress;
    ASSERT_TRUE(SyncAddress::resolve("127.0.0.1", lossy.port(), lossyAddress, why));
    for (int k = 0; k < 200; ++k) {
        m_leader.send(pong(k), lossyAddress);
    }
    m_main.waitFor([] { return false; }, 300ms);
    EXPECT_GT(m_atFollower.size(), 40u);
    EXPECT_LT(m_atFollower.size(), 160u);
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
