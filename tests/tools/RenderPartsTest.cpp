#define GL_GLEXT_PROTOTYPES 1
#include "offscreen/OffscreenGL.h"
#include "rendertool/BoundedQueue.h"
#include "rendertool/ColourChoice.h"
#include "rendertool/OutputConverter.h"
#include "rendertool/ReadbackRing.h"
#include "rendertool/RgbaConverter.h"
#include "support/TempDir.h"
#include "toolsupport/TempOutput.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace lumenarc {
namespace {

using test::readFile;
using test::TempDir;

TEST(ColourChoice, UntaggedInputIsReadByItsSize) {
    const Colour none;
    const auto sd = ColourChoice::input(none, AV_PIX_FMT_YUV420P, 720, 576);
    EXPECT_EQ(sd.matrix, AVCOL_SPC_SMPTE170M);
    EXPECT_EQ(sd.range, AVCOL_RANGE_MPEG);
    EXPECT_EQ(sd.primaries, AVCOL_PRI_BT470BG);
    EXPECT_EQ(ColourChoice::input(none, AV_PIX_FMT_YUV420P, 720, 480).primaries,
              AVCOL_PRI_SMPTE170M);
    const auto hd = ColourChoice::input(none, AV_PIX_FMT_YUV420P, 1280, 544);
    EXPECT_EQ(hd.matrix, AVCOL_SPC_BT709);
    EXPECT_EQ(hd.primaries, AVCOL_PRI_BT709);
    EXPECT_EQ(hd.transfer, AVCOL_TRC_BT709);
    EXPECT_EQ(ColourChoice::input(none, AV_PIX_FMT_YUV420P, 960, 720).matrix, AVCOL_SPC_BT709);
    EXPECT_EQ(ColourChoice::input(none, AV_PIX_FMT_YUVJ420P, 320, 240).range, AVCOL_RANGE_JPEG);
}

TEST(ColourChoice, TagsWinAndTheOutputFollowsItsOwnSize) {
    const Colour tagged{AVCOL_SPC_BT709, AVCOL_RANGE_JPEG, AVCOL_PRI_BT2020, AVCOL_TRC_SMPTE2084};
    const auto in = ColourChoice::input(tagged, AV_PIX_FMT_YUV420P, 320, 240);
    EXPECT_EQ(in.matrix, AVCOL_SPC_BT709);
    EXPECT_EQ(in.range, AVCOL_RANGE_JPEG);
    const auto hd = ColourChoice::output(in, false, 1920, 1080);
    EXPECT_EQ(hd.matrix, AVCOL_SPC_BT709);
    EXPECT_EQ(hd.range, AVCOL_RANGE_MPEG);
    EXPECT_EQ(hd.primaries, AVCOL_PRI_BT2020); // the RGB passes through untouched
    EXPECT_EQ(hd.transfer, AVCOL_TRC_SMPTE2084);
    EXPECT_EQ(ColourChoice::output(in, false, 640, 480).matrix, AVCOL_SPC_SMPTE170M);
    const auto rgb = ColourChoice::output(in, true, 640, 480);
    EXPECT_EQ(rgb.matrix, AVCOL_SPC_RGB);
    EXPECT_EQ(rgb.range, AVCOL_RANGE_JPEG);
    EXPECT_EQ(ColourChoice::swsMatrix(AVCOL_SPC_BT709), 1);
    EXPECT_EQ(ColourChoice::swsMatrix(AVCOL_SPC_BT470BG), 5);
    EXPECT_EQ(ColourChoice::swsMatrix(AVCOL_SPC_BT2020_NCL), 9);
}

TEST(BoundedQueue, HoldsAtMostItsCapacityAndKeepsTheOrder) {
    BoundedQueue<int> queue(2);
    const auto never = [] { return false; };
    std::atomic<int> pushed{0};
    std::thread producer([&] {
        for (int k = 0; k < 100; ++k) {
            queue.push(k, never);
            ++pushed;
        }
        queue.close();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(pushed.load(), 2) << "the producer waits for room";
    EXPECT_EQ(queue.size(), 2u);
    int expected = 0;
    while (auto item = queue.pop(never)) {
        EXPECT_EQ(*item, expected++);
        EXPECT_LE(queue.size(), 2u);
    }
    producer.join();
    EXPECT_EQ(expected, 100);
    EXPECT_FALSE(queue.push(1, never)) << "closed";
}

TEST(BoundedQueue, AStopReleasesBothWaits) {
    BoundedQueue<int> full(1), empty(1);
    const auto never = [] { return false; };
    full.push(0, never);
    std::atomic<bool> stop{false};
    const auto stopped = [&] { return stop.load(); };
    std::atomic<int> released{0};
    std::thread pusher([&] { released += full.push(1, stopped) ? 0 : 1; });
    std::thread popper([&] { released += empty.pop(stopped) ? 0 : 1; });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(released.load(), 0);
    stop = true;
    pusher.join();
    popper.join();
    EXPECT_EQ(released.load(), 2);
}

TEST(TempOutput, WritesBesideOutAndReplacesItOnlyOnCommit) {
    TempDir dir;
    const auto out = dir.write("show.mp4", "earlier");
    std::string temporary;
    {
        auto temp = TempOutput::create(out, nullptr);
        ASSERT_TRUE(temp);
        temporary = temp->path();
        EXPECT_EQ(std::filesystem::path(temporary).parent_path(), dir.path());
        EXPECT_TRUE(std::filesystem::path(temporary).filename().string().starts_with(".show.mp4."));
        dir.write(std::filesystem::path(temporary).filename().string(), "half");
    }
    EXPECT_FALSE(std::filesystem::exists(temporary)) << "removed when not committed";
    EXPECT_EQ(readFile(out), "earlier");
    auto temp = TempOutput::create(out, nullptr);
    ASSERT_TRUE(temp);
    dir.write(std::filesystem::path(temp->path()).filename().string(), "complete");
    std::string error;
    ASSERT_TRUE(temp->commit(&error)) << error;
    EXPECT_EQ(readFile(out), "complete");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(TempOutput, RefusesAFolderAndAMissingOne) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(TempOutput::create(dir.path().string(), &error));
    EXPECT_EQ(error, "it is a folder");
    EXPECT_FALSE(TempOutput::create((dir.path() / "none" / "o.mp4").string(), &error));
    EXPECT_EQ(error, "No such file or directory");
}

// Under umasks of its own, so that the live one cannot hide a wrong mode.
TEST(TempOutput, TheFileGetsTheModeANewFileGets) {
    TempDir dir;
    const mode_t before = umask(0);
    for (const mode_t mask : {mode_t{0}, mode_t{027}}) {
        umask(mask);
        const auto temp = TempOutput::create((dir.path() / "show.mp4").string(), nullptr);
        ASSERT_TRUE(temp);
        struct stat info {};
        ASSERT_EQ(stat(temp->path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0666 & ~mask) << "umask " << std::oct << mask;
    }
    umask(before);
}

// The longest name a folder takes (255 bytes here) still gets a temporary file beside it.
TEST(TempOutput, ALongNameGetsAShortenedTemporaryName) {
    TempDir dir;
    for (const size_t length : {size_t{242}, size_t{249}, size_t{255}}) {
        const std::string name = std::string(length - 4, 'm') + ".mp4";
        const auto out = (dir.path() / name).string();
        std::string error;
        auto temp = TempOutput::create(out, &error);
        ASSERT_TRUE(temp) << length << ": " << error;
        EXPECT_EQ(std::filesystem::path(temp->path()).parent_path(), dir.path());
        EXPECT_LE(std::filesystem::path(temp->path()).filename().string().size(), 255u);
        ASSERT_TRUE(temp->commit(&error)) << error;
        EXPECT_TRUE(std::filesystem::exists(out));
    }
    // A cut never splits a character: the name stays UTF-8.
    const std::string a250(250, 'a');
    const std::string cut = TempOutput::temporaryName(a250 + "\u00e9", 264);
    EXPECT_EQ(cut, std::string(".").append(a250).append(".XXXXXX.part"));
    EXPECT_EQ(TempOutput::temporaryName("show.mp4", 255), ".show.mp4.XXXXXX.part");
}

// Only the temporary file is ever replaced or removed: a device or FIFO named as OUT is
// refused, and a symbolic link stays a link to the new file.
TEST(TempOutput, RefusesWhatIsNotARegularFileAndKeepsALink) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(TempOutput::create("/dev/null", &error));
    EXPECT_EQ(error, "it is not a regular file");
    const auto fifo = dir.path() / "fifo.mp4";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(TempOutput::create(fifo.string(), &error));
    EXPECT_EQ(error, "it is not a regular file");
    const auto real = dir.write("real.mp4", "earlier");
    const auto link = dir.path() / "link.mp4";
    std::filesystem::create_symlink(real, link);
    auto temp = TempOutput::create(link.string(), &error);
    ASSERT_TRUE(temp) << error;
    dir.write(std::filesystem::path(temp->path()).filename().string(), "new");
    ASSERT_TRUE(temp->commit(&error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(real), "new");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// A 4 x 2 YUV 4:2:0 frame: top row white, bottom row black.
AVFrame* twoRowFrame() {
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = 4;
    frame->height = 2;
    av_frame_get_buffer(frame, 0);
    for (int x = 0; x < 4; ++x) {
        frame->data[0][x] = 235;
        frame->data[0][frame->linesize[0] + x] = 16;
    }
    for (int x = 0; x < 2; ++x) {
        frame->data[1][x] = 128;
        frame->data[2][x] = 128;
    }
    return frame;
}

TEST(RgbaConverter, GivesGlsRowOrderAndFullRange) {
    AVFrame* frame = twoRowFrame();
    const int stride = RgbaConverter::rowStride(4);
    EXPECT_EQ(stride, 64) << "room for whole blocks of vector writes";
    EXPECT_EQ(RgbaConverter::rowStride(16), 64);
    EXPECT_EQ(RgbaConverter::rowStride(17), 128);
    std::vector<uint8_t> rgba(static_cast<size_t>(stride) * 2, 7);
    RgbaConverter converter(4, 2);
    ASSERT_TRUE(converter.convert(frame, rgba.data(), stride));
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(rgba[static_cast<size_t>(x) * 4], 0) << "bottom row first: black";
        EXPECT_EQ(rgba[static_cast<size_t>(stride + x * 4)], 255) << "then the top row: white";
        EXPECT_EQ(rgba[static_cast<size_t>(stride + x * 4 + 3)], 255) << "opaque";
    }
    av_frame_free(&frame);
}

TEST(OutputConverter, KeepsRgbExactlyAndFlipsToTopFirst) {
    const int stride = RgbaConverter::rowStride(3);
    std::vector<uint8_t> rgba(static_cast<size_t>(stride) * 2);
    for (size_t k = 0; k < rgba.size(); ++k) {
        rgba[k] = static_cast<uint8_t>(k * 37 + 11);
    }
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_BGR0;
    frame->width = 3;
    frame->height = 2;
    ASSERT_EQ(av_frame_get_buffer(frame, 0), 0);
    OutputConverter converter(3, 2, AV_PIX_FMT_BGR0, Colour{});
    ASSERT_TRUE(converter.valid());
    ASSERT_TRUE(converter.convert(rgba.data(), stride, frame));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const uint8_t* out = frame->data[0] + y * frame->linesize[0] + x * 4;
            const uint8_t* in = &rgba[static_cast<size_t>((1 - y) * stride + x * 4)];
            EXPECT_EQ(out[0], in[2]);
            EXPECT_EQ(out[1], in[1]);
            EXPECT_EQ(out[2], in[0]);
        }
    }
    av_frame_free(&frame);
}

// The movie tool draws without a depth buffer, which nothing tests, to spare the rasteriser
// clearing one with every frame.
TEST(OffscreenGL, AColourOnlyFramebufferHasNoDepthAndDrawsAlike) {
    std::string error;
    const auto gl = OffscreenGL::create(16, 8, &error, OffscreenGL::Buffers::ColourOnly);
    ASSERT_NE(gl, nullptr) << error;
    GLint depthBits = -1;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_EQ(depthBits, 0);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    EXPECT_EQ(gl->pixel(3, 3).g, 255);
    ASSERT_TRUE(gl->resize(4, 4));
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_EQ(depthBits, 0) << "still without depth";
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(gl->pixel(3, 3).g, 255);
    const auto usual = OffscreenGL::create(16, 8, &error);
    ASSERT_NE(usual, nullptr) << error;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_EQ(depthBits, 24) << "depth and stencil unless asked otherwise";
}

TEST(ReadbackRing, SlotsHoldWhatGlReadsBack) {
    std::string error;
    const auto gl = OffscreenGL::create(32, 16, &error);
    ASSERT_TRUE(gl) << error;
    const auto ring = ReadbackRing::create(2, 32, 16, 32 * 4, &error);
    ASSERT_TRUE(ring) << error;
    const auto fill = [](float red, float green) {
        glDisable(GL_SCISSOR_TEST);
        glClearColor(red, green, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 32, 1); // the bottom row blue
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    };
    fill(1, 0);
    ring->read(0);
    const auto first = gl->readPixels();
    fill(0, 1);
    ring->read(1);
    ASSERT_TRUE(ring->wait(0));
    ASSERT_TRUE(ring->wait(1));
    EXPECT_TRUE(std::equal(first.begin(), first.end(), ring->pixels(0)));
    const auto second = gl->readPixels();
    EXPECT_TRUE(std::equal(second.begin(), second.end(), ring->pixels(1)));
    EXPECT_EQ(ring->pixels(0)[2], 255) << "bottom row first";
    EXPECT_EQ(ring->pixels(0)[32 * 4], 255) << "red above it";
    EXPECT_EQ(ring->pixels(1)[32 * 4 + 1], 255) << "green in the second slot";
}

} // namespace
} // namespace lumenarc
