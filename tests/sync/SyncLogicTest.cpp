#include "base/WallClock.h"
#include "sync/ClockOffset.h"
#include "sync/DatagramSeal.h"
#include "sync/FrameLog.h"
#include "sync/SyncCorrection.h"
#include "sync/SyncFollowers.h"
#include "sync/SyncMessage.h"
#include "sync/SyncSequence.h"
#include "sync/SyncTimeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <vector>

namespace lumenarc {
namespace {

constexpr int64_t kS = WallClock::kSecond;
constexpr int64_t kMs = 1'000'000;
constexpr double kFrame = 1.0 / 30;

SyncTimeline timeline(double duration, const SyncSegment& segment) {
    SyncTimeline out;
    out.movie = {"show.mp4", 640, 360, duration};
    out.reset(segment);
    return out;
}

TEST(SyncTimeline, PositionsFollowRatePauseLoopAndTheMoviesEnds) {
    const SyncSegment playing{10 * kS, 4.0, 1.5, false, false};
    EXPECT_DOUBLE_EQ(playing.positionAt(12 * kS, 20), 7.0);
    EXPECT_DOUBLE_EQ(playing.positionAt(9 * kS, 20), 2.5); // before its anchor, by the same motion
    EXPECT_DOUBLE_EQ(playing.positionAt(30 * kS, 20), 20.0); // held at the end
    SyncSegment looping = playing;
    looping.looping = true;
    EXPECT_NEAR(looping.positionAt(22 * kS, 20), 2.0, 1e-9); // 4 + 18 wraps to 2
    SyncSegment backward{10 * kS, 1.0, -1.0, false, true};
    EXPECT_NEAR(backward.positionAt(12 * kS, 20), 19.0, 1e-9); // wraps below the start
    backward.looping = false;
    EXPECT_DOUBLE_EQ(backward.positionAt(12 * kS, 20), 0.0);
    SyncSegment paused = playing;
    paused.paused = true;
    EXPECT_DOUBLE_EQ(paused.positionAt(99 * kS, 20), 4.0);
    EXPECT_DOUBLE_EQ(playing.positionAt(12 * kS, 0), 7.0); // unknown length: no wrap, no hold
}

TEST(SyncTimeline, ChangesTakeEffectAfterTheLeadAndThoseWithinItJoinTheSameInstant) {
    SyncTimeline show = timeline(60, {0, 0.0, 1.0, false, false});
    SyncSegment& pause = show.change(10 * kS, 200 * kMs);
    pause.paused = true;
    EXPECT_EQ(show.after.anchor, 10 * kS + 200 * kMs);
    EXPECT_NEAR(show.after.position, 10.2, 1e-9); // where the movie will be at that instant
    EXPECT_NEAR(show.positionAt(10 * kS + 100 * kMs), 10.1, 1e-9); // still playing until then
    EXPECT_NEAR(show.positionAt(11 * kS), 10.2, 1e-9);
    // A seek asked for before the pause is due joins it: paused at the new position.
    show.change(10 * kS + 50 * kMs, 200 * kMs).position = 30;
    EXPECT_EQ(show.after.anchor, 10 * kS + 200 * kMs);
    EXPECT_TRUE(show.after.paused);
    EXPECT_DOUBLE_EQ(show.positionAt(12 * kS), 30.0);
    // Once due, the next change starts from it.
    SyncSegment& play = show.change(20 * kS, 200 * kMs);
    play.paused = false;
    play.rate = 2;
    EXPECT_TRUE(show.before.paused);
    EXPECT_DOUBLE_EQ(show.before.position, 30.0);
    EXPECT_NEAR(show.positionAt(21 * kS + 200 * kMs), 32.0, 1e-9);
}

TEST(SyncTimeline, DifferencesGoTheShortWayRoundALoop) {
    EXPECT_NEAR(SyncTimeline::difference(0.1, 19.9, 20, true), 0.2, 1e-9);
    EXPECT_NEAR(SyncTimeline::difference(19.9, 0.1, 20, true), -0.2, 1e-9);
    EXPECT_NEAR(SyncTimeline::difference(0.1, 19.9, 20, false), -19.8, 1e-9);
}

TEST(ClockOffset, TheExchangeWithTheShortestRoundTripGivesTheOffset) {
    // The leader's clock is 5 ms ahead; one exchange was queued 30 ms on its way out.
    constexpr int64_t ahead = 5 * kMs;
    ClockOffset offset;
    EXPECT_FALSE(offset.best());
    ASSERT_TRUE(offset.add(0, 30 * kMs + ahead, 31 * kMs + ahead, 32 * kMs));
    EXPECT_EQ(offset.best()->offset, ahead + 14 * kMs + kMs / 2); // skewed by the queueing
    ASSERT_TRUE(offset.add(100 * kMs, 101 * kMs + ahead, 102 * kMs + ahead, 103 * kMs));
    EXPECT_EQ(offset.best()->offset, ahead);
    EXPECT_EQ(offset.best()->roundTrip, 2 * kMs);
    // Exchanges that cannot be are refused.
    EXPECT_FALSE(offset.add(200 * kMs, 201 * kMs, 202 * kMs, 199 * kMs));
    EXPECT_FALSE(offset.add(200 * kMs, 203 * kMs, 202 * kMs, 205 * kMs));
    EXPECT_EQ(offset.best()->offset, ahead);
    // Only the recent exchanges count.
    for (int k = 0; k < static_cast<int>(ClockOffset::kKept); ++k) {
        const int64_t t1 = (300 + k * 10) * kMs;
        ASSERT_TRUE(offset.add(t1, t1 + 4 * kMs, t1 + 4 * kMs, t1 + 6 * kMs));
    }
    EXPECT_EQ(offset.best()->offset, 1 * kMs);
    // An offset is only known to be too large when half the round trip cannot explain it.
    EXPECT_FALSE(ClockOffset::surelyBeyond({3 * kMs, 4 * kMs}, 2 * kMs));
    EXPECT_TRUE(ClockOffset::surelyBeyond({-5 * kMs, 4 * kMs}, 2 * kMs));
    EXPECT_FALSE(ClockOffset::surelyBeyond({-1 * kMs, 0}, 2 * kMs));
}

TEST(SyncCorrection, SmallErrorsTrimTheSpeedAndLargeOnesSeek) {
    SyncCorrection correction;
    correction.add(0.020);
    correction.add(0.020);
    EXPECT_EQ(correction.decide(kFrame, 1).trim, 1.0); // too few reports to act on
    correction.add(0.020);
    SyncCorrection::Decision ahead = correction.decide(kFrame, 1);
    EXPECT_FALSE(ahead.seek);
    EXPECT_NEAR(ahead.trim, 0.98, 1e-9); // 20 ms ahead: 2 % slower, in 1 % steps
    EXPECT_NEAR(SyncCorrection::trimFor(-0.5 * kFrame, 1), 1.02, 1e-9);
    EXPECT_NEAR(SyncCorrection::trimFor(0.004, 1), 1.0, 1e-9); // within the dead band
    EXPECT_NEAR(SyncCorrection::trimFor(0.09, 1), 0.95, 1e-9); // never beyond 5 %
    EXPECT_NEAR(SyncCorrection::trimFor(-0.09, 1), 1.05, 1e-9);
    EXPECT_NEAR(SyncCorrection::trimFor(0.02, -1), 1.02, 1e-9); // backward: ahead means faster
    EXPECT_NEAR(SyncCorrection::trimFor(0.04, 2), 0.98, 1e-9);  // in the movie's time at 2x
    // One late report among many moves nothing; a lasting error of 5 frames seeks.
    SyncCorrection steady;
    for (double error : {0.0, 0.001, -0.001, 0.5, 0.0}) {
        steady.add(error);
    }
    EXPECT_EQ(steady.decide(kFrame, 1).trim, 1.0);
    EXPECT_FALSE(steady.decide(kFrame, 1).seek);
    SyncCorrection behind;
    for (int k = 0; k < 5; ++k) {
        behind.add(-5 * kFrame);
    }
    EXPECT_TRUE(behind.decide(kFrame, 1).seek);
    EXPECT_FALSE(behind.decide(kFrame, 2).seek); // at 2x, 5 frames of movie are 2.5 shown
    behind.add(std::nan(""));
    EXPECT_EQ(behind.size(), 5u);
}

TEST(SyncMessage, EveryKindSurvivesTheWireAndDamagedOnesAreRefused) {
    SyncMessage timelineMessage;
    timelineMessage.session = 0xfedcba9876543210u;
    timelineMessage.sequence = 42;
    timelineMessage.timeline = timeline(61.5, {7 * kS, 3.25, 1.5, false, true});
    timelineMessage.timeline.after = {8 * kS, 9.0, 0.8, true, false};
    const auto bytes = timelineMessage.encode();
    const auto back = SyncMessage::decode(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, SyncMessage::Kind::Timeline);
    EXPECT_EQ(back->session, timelineMessage.session);
    EXPECT_EQ(back->sequence, 42);
    EXPECT_TRUE(back->timeline.movie.sameAs(timelineMessage.timeline.movie));
    EXPECT_EQ(back->timeline.before, timelineMessage.timeline.before);
    EXPECT_EQ(back->timeline.after, timelineMessage.timeline.after);

    SyncMessage pong;
    pong.kind = SyncMessage::Kind::Pong;
    pong.t1 = 1;
    pong.t2 = -2;
    pong.t3 = int64_t{1} << 62;
    const auto pongBytes = pong.encode();
    const auto pongBack = SyncMessage::decode(pongBytes.data(), pongBytes.size());
    ASSERT_TRUE(pongBack);
    EXPECT_EQ(pongBack->t3, pong.t3);
    EXPECT_EQ(pongBack->t2, -2);

    SyncMessage command;
    command.kind = SyncMessage::Kind::Command;
    command.verb = "seek";
    command.value = 12.5;
    const auto commandBytes = command.encode();
    const auto commandBack = SyncMessage::decode(commandBytes.data(), commandBytes.size());
    ASSERT_TRUE(commandBack);
    EXPECT_EQ(commandBack->verb, "seek");
    EXPECT_EQ(commandBack->value, 12.5);

    // Cut short anywhere, or cut into random pieces, a timeline is refused and nothing breaks.
    for (size_t size = 0; size < bytes.size(); ++size) {
        EXPECT_FALSE(SyncMessage::decode(bytes.data(), size)) << size;
    }
    std::mt19937 random(7);
    for (int k = 0; k < 2000; ++k) {
        auto damaged = bytes;
        damaged[random() % damaged.size()] = static_cast<char>(random());
        if (const auto decoded = SyncMessage::decode(damaged.data(), damaged.size())) {
            EXPECT_TRUE(std::isfinite(decoded->timeline.after.rate));
            EXPECT_LE(std::fabs(decoded->timeline.after.rate), 100.0);
        }
    }
    // Show-control messages are not sync messages.
    SyncMessage absurd = timelineMessage;
    absurd.timeline.after.rate = 1e9;
    const auto absurdBytes = absurd.encode();
    EXPECT_FALSE(SyncMessage::decode(absurdBytes.data(), absurdBytes.size()));
    const char osc[] = "/lumenarc/play\0\0,\0\0\0";
    EXPECT_FALSE(SyncMessage::decode(osc, sizeof osc - 1));
}

TEST(SyncCorrection, BackwardPlayIsTheMirrorOfForwardAndTheSeekBoundaryIsExclusive) {
    const auto decide = [](double error, double rate) {
        SyncCorrection correction;
        for (int k = 0; k < 5; ++k) {
            correction.add(error);
        }
        return correction.decide(kFrame, rate);
    };
    for (const double rate : {2.0, -2.0}) {
        // At twice the speed either way, 5 frames of movie are 2.5 shown: a trim takes them.
        EXPECT_FALSE(decide(5 * kFrame, rate).seek) << rate;
        EXPECT_FALSE(decide(-5 * kFrame, rate).seek) << rate;
        EXPECT_TRUE(decide(9 * kFrame, rate).seek) << rate;
        EXPECT_TRUE(decide(-9 * kFrame, rate).seek) << rate;
    }
    EXPECT_EQ(decide(0.02, -1).trim, decide(-0.02, 1).trim); // mirrored errors, mirrored trims
    EXPECT_NEAR(decide(-0.02, -1).trim, 0.98, 1e-9);
    // Exactly the seek threshold still trims; just past it seeks.
    const double threshold = SyncCorrection::kSeekFrames * kFrame;
    EXPECT_FALSE(decide(threshold, 1).seek);
    EXPECT_FALSE(decide(-threshold, -1).seek);
    EXPECT_TRUE(decide(std::nextafter(threshold, 1.0), 1).seek);
    EXPECT_TRUE(decide(-std::nextafter(threshold, 1.0), -1).seek);
}

TEST(SyncMessage, EveryNumberMustBeFiniteAndWithinItsRangeToTheLastValue) {
    SyncMessage good;
    good.session = 5;
    good.sequence = 9;
    good.timeline = timeline(30, {7 * kS, 3.25, 1.5, false, true});
    good.timeline.after = {8 * kS, 9.0, -0.8, true, false};
    const auto decodes = [](const SyncMessage& message) {
        const auto bytes = message.encode();
        return SyncMessage::decode(bytes.data(), bytes.size()).has_value();
    };
    ASSERT_TRUE(decodes(good));
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<std::function<double&(SyncMessage&)>> fields{
        [](SyncMessage& m) -> double& { return m.timeline.movie.duration; },
        [](SyncMessage& m) -> double& { return m.timeline.before.position; },
        [](SyncMessage& m) -> double& { return m.timeline.before.rate; },
        [](SyncMessage& m) -> double& { return m.timeline.after.position; },
        [](SyncMessage& m) -> double& { return m.timeline.after.rate; },
    };
    for (size_t k = 0; k < fields.size(); ++k) {
        for (const double bad : {std::nan(""), inf, -inf}) {
            SyncMessage damaged = good;
            fields[k](damaged) = bad;
            EXPECT_FALSE(decodes(damaged)) << "field " << k << " = " << bad;
        }
    }
    // Rates up to the player's own limit either way, and not a hair beyond.
    for (const double rate : {SyncMessage::kMaxRate, -SyncMessage::kMaxRate}) {
        SyncMessage edge = good;
        edge.timeline.before.rate = rate;
        edge.timeline.after.rate = rate;
        EXPECT_TRUE(decodes(edge)) << rate;
        edge.timeline.after.rate = std::nextafter(rate, 2 * rate);
        EXPECT_FALSE(decodes(edge)) << rate;
        edge.timeline.after.rate = rate;
        edge.timeline.before.rate = std::nextafter(rate, 2 * rate);
        EXPECT_FALSE(decodes(edge)) << rate;
    }
    SyncMessage named = good;
    named.timeline.movie.name.assign(SyncMessage::kMaxNameLength, 'x');
    EXPECT_TRUE(decodes(named));
    named.timeline.movie.name += 'x';
    EXPECT_FALSE(decodes(named));
    SyncMessage negative = good;
    negative.timeline.movie.duration = -std::numeric_limits<double>::denorm_min();
    EXPECT_FALSE(decodes(negative));
    negative.timeline.movie.duration = 0; // unknown length
    EXPECT_TRUE(decodes(negative));

    SyncMessage command;
    command.kind = SyncMessage::Kind::Command;
    for (const char* verb : {"rate", "seek", "loop", "step"}) {
        command.verb = verb;
        for (const double bad : {std::nan(""), inf, -inf}) {
            command.value = bad;
            EXPECT_FALSE(decodes(command)) << verb << " " << bad;
        }
    }
    command.verb = "rate";
    command.value = SyncMessage::kMaxRate;
    EXPECT_TRUE(decodes(command));
    command.value = -SyncMessage::kMaxRate;
    EXPECT_TRUE(decodes(command));
    command.value = std::nextafter(SyncMessage::kMaxRate, 1e300);
    EXPECT_FALSE(decodes(command));
    command.value = 1e300;
    EXPECT_FALSE(decodes(command));
    command.verb = "seek";
    command.value = 0;
    EXPECT_TRUE(decodes(command));
    command.value = -1;
    EXPECT_FALSE(decodes(command));
    command.verb = "jump";
    command.value = 1;
    EXPECT_FALSE(decodes(command)); // not a verb of ours
}

TEST(SyncMessage, NoAnswerIsLargerThanWhatItAnswers) {
    SyncMessage join, cookie, ping, pong;
    join.kind = SyncMessage::Kind::Join;
    cookie.kind = SyncMessage::Kind::Cookie;
    ping.kind = SyncMessage::Kind::Ping;
    pong.kind = SyncMessage::Kind::Pong;
    EXPECT_LE(cookie.encode().size(), join.encode().size());
    EXPECT_LE(pong.encode().size(), ping.encode().size());
}

TEST(SyncTimeline, TimeStampsAtTheEndsOfTheirRangeNeitherOverflowNorCount) {
    // Movie time a whole range away from its anchor: the end of the movie, not a wrap.
    const SyncSegment ancient{INT64_MIN, 0.0, 1.0, false, false};
    EXPECT_DOUBLE_EQ(ancient.positionAt(INT64_MAX, 20), 20.0);
    const int64_t now = 1'800'000'000 * kS;
    SyncTimeline show = timeline(20, {now - 3600 * kS, 1.0, 1.0, false, false});
    EXPECT_TRUE(show.plausibleAt(now)); // the last change an hour ago
    show.change(now, 200 * kMs);
    EXPECT_TRUE(show.plausibleAt(now));
    for (const int64_t anchor : {INT64_MAX, INT64_MIN, now + 6 * kS, now - 400 * 86400 * kS}) {
        EXPECT_FALSE(timeline(20, {anchor, 1.0, 1.0, false, false}).plausibleAt(now)) << anchor;
    }
    ClockOffset offset;
    EXPECT_FALSE(offset.add(0, INT64_MAX, INT64_MAX, 1));
    EXPECT_FALSE(offset.add(INT64_MIN, 0, 0, 1));
    EXPECT_FALSE(offset.add(now, now + 2 * 86400 * kS, now + 2 * 86400 * kS, now + kMs));
    EXPECT_FALSE(offset.best());
}

TEST(SyncSequence, OneStrayTimelineCannotTakeOverButTwoThatAgreeDo) {
    using Verdict = SyncSequence::Verdict;
    SyncSequence order;
    EXPECT_EQ(order.admit(7, 1), Verdict::Candidate);
    EXPECT_EQ(order.admit(7, 2), Verdict::TakeOver);
    EXPECT_EQ(order.admit(7, 3), Verdict::Next);
    EXPECT_EQ(order.admit(7, 3), Verdict::Stale);
    EXPECT_EQ(order.admit(7, INT64_MAX), Verdict::Candidate); // one stray, however late
    EXPECT_EQ(order.admit(7, 4), Verdict::Next);
    EXPECT_EQ(order.admit(9, 1), Verdict::Candidate); // another leader's run
    EXPECT_EQ(order.admit(7, 4 + SyncSequence::kMaxStep), Verdict::Next);
    // After a long gap the same leader is taken back at its second timeline.
    const int64_t later = 5 + 2 * SyncSequence::kMaxStep;
    EXPECT_EQ(order.admit(7, later), Verdict::Candidate);
    EXPECT_EQ(order.admit(7, later + 5), Verdict::TakeOver);
    EXPECT_EQ(order.admit(7, 0), Verdict::Stale);
    EXPECT_EQ(order.admit(7, -1), Verdict::Stale);
    EXPECT_EQ(order.session(), 7u);
}

TEST(SyncFollowers, TheTableIsBoundedPerHostAndInAllAndForgetsTheSilent) {
    using Heard = SyncFollowers::Heard;
    const auto address = [](int host, int port) {
        SyncAddress out;
        std::string why;
        SyncAddress::resolve("127.0." + std::to_string(host / 256) + "." +
                                 std::to_string(host % 256),
                             static_cast<uint16_t>(port), out, why);
        return out;
    };
    SyncFollowers followers;
    const int64_t now = 1'800'000'000 * kS;
    for (int port = 0; port < static_cast<int>(SyncFollowers::kMaxPerHost); ++port) {
        EXPECT_EQ(followers.heard(address(1, 9000 + port), now), Heard::Added);
    }
    EXPECT_EQ(followers.heard(address(1, 8999), now), Heard::HostFull);
    EXPECT_EQ(followers.heard(address(1, 9000), now + kS), Heard::Renewed);
    for (int host = 2; followers.size() < SyncFollowers::kMaxTotal; ++host) {
        ASSERT_EQ(followers.heard(address(host, 9000), now + kS), Heard::Added);
    }
    EXPECT_EQ(followers.heard(address(999, 9000), now + kS), Heard::TableFull);
    // Those not heard from for kForget are forgotten, and make room.
    followers.expire(now + SyncFollowers::kForget + kS / 2);
    EXPECT_EQ(followers.size(), SyncFollowers::kMaxTotal - SyncFollowers::kMaxPerHost + 1);
    EXPECT_EQ(followers.heard(address(1, 8999), now + SyncFollowers::kForget + kS / 2),
              Heard::Added);
    followers.expire(now + 2 * SyncFollowers::kForget + kS);
    EXPECT_EQ(followers.size(), 0u);
}

TEST(DatagramSeal, OnlyATrueSealOfTheRecentPastOpensAndOnlyOnce) {
    const std::vector<unsigned char> key(32, 0x5a);
    DatagramSeal seal(key);
    const int64_t now = 1'800'000'000 * kS;
    const std::string text = "/lumenarc/sync/ping";
    const auto sealed = seal.seal(text.data(), text.size(), now);
    ASSERT_EQ(sealed.size(), text.size() + DatagramSeal::kOverhead);
    DatagramSeal other(std::vector<unsigned char>(32, 0x5b));
    EXPECT_FALSE(other.open(sealed.data(), sealed.size(), now));
    for (size_t k = 0; k < sealed.size(); k += 7) {
        auto damaged = sealed;
        damaged[k] ^= 1;
        EXPECT_FALSE(seal.open(damaged.data(), damaged.size(), now)) << k;
    }
    EXPECT_FALSE(seal.open(sealed.data(), sealed.size(), now + DatagramSeal::kWindow + 1));
    EXPECT_FALSE(seal.open(sealed.data(), DatagramSeal::kOverhead - 1, now));
    EXPECT_EQ(seal.open(sealed.data(), sealed.size(), now + kS), text.size());
    EXPECT_FALSE(seal.open(sealed.data(), sealed.size(), now + kS)); // a replay

    const std::string path = testing::TempDir() + "/short.secret";
    std::ofstream(path) << "fifteen bytes!!";
    std::string why;
    EXPECT_FALSE(DatagramSeal::fromFile(path, why));
    EXPECT_NE(why.find("16 to 4096 bytes"), std::string::npos) << why;
    EXPECT_FALSE(DatagramSeal::fromFile(path + ".missing", why));
}

TEST(MovieIdentity, CopiesOfOneMasterAgreeAndOtherMoviesDoNot) {
    const MovieIdentity master = MovieIdentity::ofFile("/shows/a/dome.mp4", 4096, 4096, 600.02);
    EXPECT_EQ(master.name, "dome.mp4");
    EXPECT_TRUE(master.sameAs(MovieIdentity::ofFile("/other/dome.mp4", 4096, 4096, 600.0)));
    EXPECT_FALSE(master.sameAs(MovieIdentity::ofFile("/shows/a/dome.mp4", 4096, 4096, 599.0)));
    EXPECT_FALSE(master.sameAs(MovieIdentity::ofFile("/shows/a/dome.mp4", 2048, 2048, 600.02)));
    EXPECT_FALSE(master.sameAs(MovieIdentity::ofFile("/shows/a/dome2.mp4", 4096, 4096, 600.02)));
    EXPECT_EQ(master.describe(), "\"dome.mp4\" (4096x4096, 600.020 s)");
}

TEST(FrameLog, WritesTheHeaderAndOneLinePerFrameAndSaysWhyItCannot) {
    EXPECT_EQ(FrameLog::line(1796716693123456789, {900000, 90000, 0}),
              "1796716693.123456789 10.000000\n");
    EXPECT_EQ(FrameLog::line(5 * kS + 7, {3003, 90000, 0}), "5.000000007 0.033367\n");
    const std::string path = ::testing::TempDir() + "/frames.log";
    std::string why;
    {
        auto log = FrameLog::create(path, "lumenarc sync log 1 role=alone", why);
        ASSERT_NE(log, nullptr) << why;
        const int64_t now = WallClock::now();
        for (int k = 0; k < 3; ++k) {
            log->presented(now + k * 33 * kMs, {k * 3000, 90000, 0});
        }
    }
    std::ifstream in(path);
    std::string header, line;
    std::getline(in, header);
    EXPECT_EQ(header, "# lumenarc sync log 1 role=alone");
    std::vector<std::pair<double, double>> frames;
    while (std::getline(in, line)) {
        double wall = 0, time = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf", &wall, &time), 2) << line;
        frames.emplace_back(wall, time);
    }
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_NEAR(frames[2].first - frames[0].first, 0.066, 0.002); // the times as given
    EXPECT_NEAR(frames[0].first, WallClock::now() / 1e9, 5.0);
    EXPECT_DOUBLE_EQ(frames[1].second, 0.033333); // six decimals
    EXPECT_EQ(FrameLog::create("/nonexistent-folder/x.log", "h", why), nullptr);
    EXPECT_EQ(why, "No such file or directory");
}

} // namespace
} // namespace lumenarc
