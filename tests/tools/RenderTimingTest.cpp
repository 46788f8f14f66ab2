#include "rendertool/FrameClock.h"
#include "rendertool/ProgressLine.h"
#include "rendertool/TimeWindow.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

namespace lumenarc {
namespace {

constexpr AVRational kMp4{1, 12800}; // 25 fps: 512 ticks a frame
constexpr AVRational kAudio{1, 48000};

TEST(TimeWindow, WithoutACutEverythingIsInsideAndUnmoved) {
    const TimeWindow all(0, kMp4, 0, std::nullopt);
    EXPECT_EQ(all.place(0, kMp4), TimeWindow::Place::Inside);
    EXPECT_EQ(all.place(1'000'000, kMp4), TimeWindow::Place::Inside);
    // Sound before the first frame (an encoder's priming) stays, at its own time.
    EXPECT_EQ(all.place(-1024, kAudio), TimeWindow::Place::Inside);
    EXPECT_EQ(all.shift(-1024, kAudio), -1024);
    EXPECT_EQ(all.shift(512, kMp4), 512);
}

TEST(TimeWindow, CutsOnFrameBoundariesAndMovesEverythingByTheStart) {
    // Frames every 512 ticks; 0.5 s is 6400 ticks, between frame 12 (6144) and 13 (6656).
    const TimeWindow cut(0, kMp4, 0.5, 0.4);
    EXPECT_EQ(cut.begin(), 6400);
    EXPECT_EQ(cut.end(), 6400 + 5120);
    EXPECT_EQ(cut.place(6144, kMp4), TimeWindow::Place::Before);
    EXPECT_EQ(cut.place(6656, kMp4), TimeWindow::Place::Inside);
    EXPECT_EQ(cut.place(11264, kMp4), TimeWindow::Place::Inside); // frame 22, 0.88 s
    EXPECT_EQ(cut.place(11776, kMp4), TimeWindow::Place::After);  // frame 23, 0.92 s
    EXPECT_EQ(cut.shift(6656, kMp4), 256);
    EXPECT_DOUBLE_EQ(cut.secondsFromBegin(6656), 0.02);
    // Other streams are compared and moved in their own time base.
    EXPECT_EQ(cut.place(23999, kAudio), TimeWindow::Place::Before);
    EXPECT_EQ(cut.place(24000, kAudio), TimeWindow::Place::Inside);
    EXPECT_EQ(cut.shift(24000 + 480, kAudio), 480);
    // A decimal start lands on the frame it names, and the origin is the first frame's time.
    const TimeWindow exact(1024, kMp4, 0.52, std::nullopt);
    EXPECT_EQ(exact.place(1024 + 6656, kMp4), TimeWindow::Place::Inside);
    EXPECT_EQ(exact.place(1024 + 6655, kMp4), TimeWindow::Place::Before);
    EXPECT_EQ(exact.shift(1024 + 6656, kMp4), 0);
}

// A frame exactly at S is the first one kept and a frame exactly at S + D the first one left
// out, in every time base, for decimal times that are a hair off a whole tick in binary
// (0.28 s is 3584.0000000000005 ticks, 0.29 s 3711.9999999999995).
TEST(TimeWindow, AFrameAtTheStartIsKeptAndOneAtTheEndIsNot) {
    const int64_t origin = 1024; // 0.08 s
    const TimeWindow cut(origin, kMp4, 0.28, 0.29);
    const int64_t start = origin + 3584, end = origin + 3584 + 3712;
    EXPECT_EQ(cut.place(start - 1, kMp4), TimeWindow::Place::Before);
    EXPECT_EQ(cut.place(start, kMp4), TimeWindow::Place::Inside);
    EXPECT_EQ(cut.place(end - 1, kMp4), TimeWindow::Place::Inside);
    EXPECT_EQ(cut.place(end, kMp4), TimeWindow::Place::After);
    EXPECT_EQ(cut.shift(start, kMp4), 0);
    // The sound at 48 kHz: 0.36 s is sample 17280, 0.65 s sample 31200.
    EXPECT_EQ(cut.place(17279, kAudio), TimeWindow::Place::Before);
    EXPECT_EQ(cut.place(17280, kAudio), TimeWindow::Place::Inside);
    EXPECT_EQ(cut.shift(17280, kAudio), 0);
    EXPECT_EQ(cut.place(31199, kAudio), TimeWindow::Place::Inside);
    EXPECT_EQ(cut.place(31200, kAudio), TimeWindow::Place::After);
}

// Times too large for the time base are held at what it counts, never wrapped round.
TEST(TimeWindow, TimesBeyondTheTimeBaseAreHeldNotWrapped) {
    EXPECT_DOUBLE_EQ(TimeWindow::maxSeconds(kMp4), 0x1p61 / 12800);
    for (const double huge : {1e15, 1e308}) {
        const TimeWindow far(0, kMp4, huge, huge);
        EXPECT_EQ(far.place(1'000'000, kMp4), TimeWindow::Place::Before) << huge;
        const TimeWindow whole(0, kMp4, 0, huge);
        EXPECT_EQ(whole.place(1'000'000'000, kMp4), TimeWindow::Place::Inside) << huge;
    }
}

TEST(FrameClock, KeepsGoodTimesAndRepairsMissingOrBackwardOnes) {
    FrameClock clock;
    EXPECT_EQ(clock.next(0, 512), 0);
    EXPECT_EQ(clock.next(512, 512), 512);
    EXPECT_EQ(clock.next(std::nullopt, 512), 1024); // missing: one frame on
    EXPECT_EQ(clock.next(1024, 512), 1025);         // not forward: one tick on
    EXPECT_EQ(clock.next(900, 0), 1026);
    EXPECT_EQ(clock.next(std::nullopt, 0), 1027); // no duration known: one tick
    EXPECT_EQ(clock.next(4096, 512), 4096);       // a gap is kept: variable frame rate
    FrameClock fresh;
    EXPECT_EQ(fresh.next(std::nullopt, 512), 0);
}

TEST(ProgressLine, FormatsPercentFramesRateAndTimes) {
    EXPECT_EQ(ProgressLine::format(0.5, 150, 29.97, 65, 65.4),
              " 50%  150 frames  30.0 fps  elapsed 1:05  remaining 1:05");
    EXPECT_EQ(ProgressLine::format(std::nullopt, 3, 1.5, 2, std::nullopt),
              "  ?%  3 frames  1.5 fps  elapsed 0:02  remaining ?");
    EXPECT_EQ(ProgressLine::format(1.7, 1, 0, 0, 0), "100%  1 frames  0.0 fps  elapsed 0:00  "
                                                     "remaining 0:00");
    EXPECT_EQ(ProgressLine::clock(3725.4), "1:02:05");
    EXPECT_EQ(ProgressLine::clock(59.6), "1:00");
    EXPECT_EQ(ProgressLine::clock(-3), "0:00");
}

std::string written(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        text.push_back(static_cast<char>(c));
    }
    return text;
}

TEST(ProgressLine, RedrawsInPlaceAFewTimesASecondAndEndsTheLine) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ProgressLine line(file, true, 10.0);
    line.update(1, 0.04);
    line.update(2, 0.08); // too soon: not drawn
    EXPECT_EQ(written(file).find("2 frames"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    line.update(125, 5.0);
    line.finish(250, 9.96);
    const auto text = written(file);
    EXPECT_EQ(text.rfind("\r  0%  1 frames", 0), 0u) << text;
    EXPECT_NE(text.find("\r 50%  125 frames"), std::string::npos) << text;
    EXPECT_NE(text.find("\r100%  250 frames"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');
    std::fclose(file);
}

TEST(ProgressLine, DisabledPrintsNothing) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ProgressLine line(file, false, 10.0);
    line.update(1, 1);
    line.clear();
    line.finish(2, 2);
    EXPECT_EQ(written(file), "");
    std::fclose(file);
}

} // namespace
} // namespace lumenarc
