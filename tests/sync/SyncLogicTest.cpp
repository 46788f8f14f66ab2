#include "base/WallClock.h"
#include "sync/ClockOffset.h"
#include "sync/FrameLog.h"
#include "sync/SyncCorrection.h"
#include "sync/SyncMessage.h"
#include "sync/SyncTimeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
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
