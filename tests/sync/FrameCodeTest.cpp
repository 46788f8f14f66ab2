#include "sync/FrameCode.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"
#include "sync/FrameCodeReader.h"
#include "sync/MildMeshes.h"
#include "tools/MovieTools.h"

#include <gtest/gtest.h>

#include <set>

namespace lumenarc {
namespace {

using test::FrameCode;
using test::FrameCodeReader;
using test::MovieTools;
using Bit = FrameCode::Bit;

constexpr int kW = FrameCode::kWidth, kH = FrameCode::kHeight;

std::optional<int> readPicture(const std::vector<uint8_t>& rgb, int width, int height) {
    return FrameCodeReader({rgb.data(), width * 3, 3, 0, 0, width, height}).frame();
}

TEST(FrameCode, EveryFrameNumberComesBackAndOneWrongBitNeverReadsAsAnotherFrame) {
    for (int n = 0; n < FrameCode::kFrames; ++n) {
        const auto bits = FrameCode::encode(n);
        ASSERT_EQ(FrameCode::decode(bits), n);
        for (int k = 0; k < FrameCode::kPairs; ++k) {
            auto wrong = bits;
            wrong[k] = wrong[k] == Bit::One ? Bit::Zero : Bit::One;
            ASSERT_EQ(FrameCode::decode(wrong), std::nullopt) << n << " bit " << k;
            wrong[k] = Bit::Unknown;
            ASSERT_EQ(FrameCode::decode(wrong), std::nullopt) << n << " bit " << k;
        }
    }
}

TEST(FrameCode, APictureTornBetweenSuccessiveFramesReadsAsOneOfThem) {
    for (int n = 0; n + 1 < FrameCode::kFrames; ++n) {
        const auto a = FrameCode::encode(n), b = FrameCode::encode(n + 1);
        std::vector<int> differing;
        for (int k = 0; k < FrameCode::kPairs; ++k) {
            if (a[k] != b[k]) {
                differing.push_back(k);
            }
        }
        ASSERT_EQ(differing.size(), 2u) << n; // one code bit and its parity bit
        for (int mix = 0; mix < 4; ++mix) {
            auto torn = a;
            for (size_t i = 0; i < differing.size(); ++i) {
                if ((mix >> i) & 1) {
                    torn[differing[i]] = b[differing[i]];
                }
            }
            const auto read = FrameCode::decode(torn);
            EXPECT_TRUE(!read || *read == n || *read == n + 1) << n << " mix " << mix;
        }
    }
}

class FrameCodeMovieTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = new test::TempDir;
        s_movie = (s_folder->path() / "frames.mp4").string();
        s_made = FrameCode::makeMovie(s_movie, 5);
    }
    static void TearDownTestSuite() {
        delete s_folder;
        s_folder = nullptr;
    }
    // Frame k of the movie as a PNG.
    static std::string still(int k) {
        const auto path = (s_folder->path() / ("frame" + std::to_string(k) + ".png")).string();
        EXPECT_TRUE(
            MovieTools::ffmpeg({"-i", s_movie, "-vf", "select=eq(n\\," + std::to_string(k) + ")",
                                "-frames:v", "1", path}));
        return path;
    }
    static inline test::TempDir* s_folder = nullptr;
    static inline std::string s_movie;
    static inline bool s_made = false;
};

TEST_F(FrameCodeMovieTest, EveryFrameOfTheMovieReadsAsItsNumber) {
    ASSERT_TRUE(s_made);
    EXPECT_EQ(MovieTools::streamEntry(s_movie, "v:0", "width"), "640");
    EXPECT_EQ(MovieTools::streamEntry(s_movie, "v:0", "height"), "360");
    EXPECT_EQ(MovieTools::streamEntry(s_movie, "v:0", "r_frame_rate"), "30/1");
    EXPECT_EQ(MovieTools::streamEntry(s_movie, "a:0", "codec_name"), "aac");
    const auto frames = MovieTools::rgbFrames(s_movie, kW, kH);
    ASSERT_EQ(frames.size(), 150u);
    for (size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(readPicture(frames[k], kW, kH), static_cast<int>(k));
    }
    // The frame times are those the players log: frame k at k / 30 s.
    const auto times = MovieTools::frameTimes(s_movie);
    ASSERT_EQ(times.size(), 150u);
    EXPECT_NEAR(times[90], 3.0, 1e-3);
}

TEST_F(FrameCodeMovieTest, FramesDrawnThroughEachMeshReadAsTheirNumbers) {
    ASSERT_TRUE(s_made);
    std::vector<std::string> meshes;
    for (int v = 0; v < test::MildMeshes::kCount; ++v) {
        meshes.push_back(
            s_folder->write("mild" + std::to_string(v) + ".data", test::MildMeshes::text(v)));
    }
    // and the built-in mesh, which squeezes the picture into a square
    meshes.push_back(std::string(LUMENARC_SHARE_DIR) + "/rect.data");
    for (const int k : {0, 1, 77, 149}) {
        const auto frame = still(k);
        for (const auto& mesh : meshes) {
            const auto out = (s_folder->path() / "warped.png").string();
            const auto warp =
                test::runProcess({test::binPath("lumenarc-warp"), "--mesh", mesh, "--image", frame,
                                  "--out", out, "--size", "800x581"});
            ASSERT_EQ(warp.exitCode, 0) << warp.err;
            const auto pixels = MovieTools::rgbFrames(out, 800, 581);
            ASSERT_EQ(pixels.size(), 1u);
            EXPECT_EQ(readPicture(pixels[0], 800, 581), k) << mesh;
            // The picture anywhere in a larger screenshot, with other things beside it.
            std::vector<uint8_t> screen(1000 * 700 * 4, 40);
            for (int y = 0; y < 581; ++y) {
                for (int x = 0; x < 800; ++x) {
                    const uint8_t* from = &pixels[0][(static_cast<size_t>(y) * 800 + x) * 3];
                    uint8_t* to = &screen[(static_cast<size_t>(y + 100) * 1000 + x + 150) * 4];
                    std::copy(from, from + 3, to);
                }
            }
            EXPECT_EQ(FrameCodeReader({screen.data(), 1000 * 4, 4, 150, 100, 800, 581}).frame(), k)
                << mesh;
        }
    }
}

TEST_F(FrameCodeMovieTest, ABlendOfTwoFramesOrAnotherPictureReadsAsNothing) {
    ASSERT_TRUE(s_made);
    const auto frames = MovieTools::rgbFrames(s_movie, kW, kH);
    ASSERT_EQ(frames.size(), 150u);
    // Half of each, as a picture caught between two frames that a seek put far apart.
    int unread = 0;
    for (const auto& [a, b] : std::vector<std::pair<int, int>>{{3, 100}, {10, 21}, {0, 149}}) {
        std::vector<uint8_t> blend(frames[a].size());
        for (size_t i = 0; i < blend.size(); ++i) {
            blend[i] = static_cast<uint8_t>((frames[a][i] + frames[b][i]) / 2);
        }
        const auto read = readPicture(blend, kW, kH);
        EXPECT_TRUE(!read || *read == a || *read == b) << a << "/" << b;
        unread += read ? 0 : 1;
    }
    EXPECT_EQ(unread, 3);
    // Black, and a picture that is not a frame code at all.
    const std::vector<uint8_t> black(static_cast<size_t>(kW) * kH * 3, 0);
    EXPECT_EQ(readPicture(black, kW, kH), std::nullopt);
    test::TempDir folder;
    const auto other = (folder.path() / "other.png").string();
    ASSERT_TRUE(MovieTools::ffmpeg(
        {"-f", "lavfi", "-i", "testsrc2=size=640x360", "-frames:v", "1", other}));
    const auto picture = MovieTools::rgbFrames(other, kW, kH);
    ASSERT_EQ(picture.size(), 1u);
    EXPECT_EQ(readPicture(picture[0], kW, kH), std::nullopt);
    // Too small to hold one.
    EXPECT_EQ(FrameCodeReader({frames[5].data(), kW * 3, 3, 0, 0, 40, 20}).frame(), std::nullopt);
}

} // namespace
} // namespace lumenarc
