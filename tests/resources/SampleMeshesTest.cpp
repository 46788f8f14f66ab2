#include "resources/SampleMeshes.h"
#include "image/ImageFile.h"
#include "image/PngWriter.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace lumenarc {
namespace {

using resources::SampleMeshes;
using test::binPath;
using test::runProcess;
using test::TempDir;

const std::string kMeshes = LUMENARC_SHARE_DIR "/meshes/";

// A picture that says where it was sampled: red grows from 0 at the left edge to 255 at the
// right, green is full everywhere. Drawn at brightness i, green reads i and red / green reads u.
std::string writeRamp(const TempDir& dir) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 256; ++x) {
            rgba.insert(rgba.end(), {static_cast<uint8_t>(x), 255, 0, 255});
        }
    }
    const auto path = (dir.path() / "ramp.png").string();
    EXPECT_TRUE(PngWriter::write(path, 256, 4, 4, rgba, PngWriter::RowOrder::TopFirst));
    return path;
}

struct Row {
    std::vector<double> light; // the light a projector of the mesh's gamma gives, 0..1
    std::vector<double> u;     // the picture position shown, where the light allows reading it
};

// The middle row of the picture drawn through `mesh` at width x height.
Row drawMiddleRow(const TempDir& dir, const std::string& mesh, int width, int height) {
    const auto out = (dir.path() / "out.png").string();
    const auto result = runProcess({binPath("lumenarc-warp"), "--mesh", mesh, "--image",
                                    writeRamp(dir), "--out", out, "--no-overlay", "--size",
                                    std::to_string(width) + "x" + std::to_string(height)});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto image = ImageFile::read(out);
    Row row;
    if (!image || image->width() != static_cast<uint32_t>(width)) {
        ADD_FAILURE() << "no picture";
        return row;
    }
    const auto* line = &image->pixels()[static_cast<size_t>(height / 2) * width * 4];
    for (int x = 0; x < width; ++x) {
        const double red = line[x * 4], green = line[x * 4 + 1];
        row.light.push_back(std::pow(green / 255.0, SampleMeshes::kProjectorGamma));
        row.u.push_back(green > 40 ? red / green : -1.0);
    }
    return row;
}

TEST(SampleMeshes, Flat16x9FillsA16x9ViewEdgeToEdge) {
    TempDir dir;
    const auto flat = drawMiddleRow(dir, kMeshes + "flat-16x9.data", 1600, 900);
    ASSERT_EQ(flat.light.size(), 1600u);
    for (const int x : {0, 1, 800, 1598, 1599}) {
        EXPECT_GT(flat.light[x], 0.97) << x;
    }
    EXPECT_LT(flat.u[1], 0.02);
    EXPECT_GT(flat.u[1598], 0.97);
    // The built-in mesh spans x -1..1: a square picture in the middle, black at the sides.
    const auto square = drawMiddleRow(dir, LUMENARC_SHARE_DIR "/rect.data", 1600, 900);
    EXPECT_EQ(square.light[100], 0.0);
    EXPECT_EQ(square.light[1500], 0.0);
    EXPECT_GT(square.light[800], 0.97);
}

// Two 16:9 projectors side by side: one 32:9 view, the left half of it one projector's picture,
// the right half the other's. Where they overlap, their light adds up to that of one.
TEST(SampleMeshes, TheBlendedWallsProjectorsAddUpToEvenLightAcrossTheOverlap) {
    TempDir dir;
    constexpr int kHalf = 800;
    const auto row = drawMiddleRow(dir, kMeshes + "wall-2x1-blend.data", 2 * kHalf, 450);
    ASSERT_EQ(row.light.size(), 2u * kHalf);
    const int overlap = static_cast<int>(std::lround(SampleMeshes::kBlendOverlap * kHalf));
    // Pixel k of the left projector's overlap and pixel k of the right one's show the same
    // point of the picture.
    double previous = 1.0;
    for (int k = 0; k < overlap; ++k) {
        const int left = kHalf - overlap + k, right = kHalf + k;
        EXPECT_NEAR(row.light[left] + row.light[right], 1.0, 0.03) << k;
        if (row.u[left] >= 0 && row.u[right] >= 0) {
            EXPECT_NEAR(row.u[left], row.u[right], 0.01) << k;
        }
        EXPECT_LE(row.light[left], previous + 0.01) << k; // the left one only fades out
        previous = row.light[left];
    }
    EXPECT_GT(row.light[kHalf - overlap], 0.97);
    EXPECT_LT(row.light[kHalf - 1], 0.02);
    EXPECT_LT(row.light[kHalf], 0.02);
    EXPECT_GT(row.light[kHalf + overlap - 1], 0.97);
    // Outside the overlap each projector alone gives full light, the picture continuing from
    // the left edge of the view to its right edge.
    for (int x = 0; x < 2 * kHalf; x += 40) {
        if (x < kHalf - overlap || x >= kHalf + overlap) {
            EXPECT_GT(row.light[x], 0.97) << x;
        }
    }
    EXPECT_LT(row.u[0], 0.02);
    EXPECT_GT(row.u[2 * kHalf - 1], 0.97);
    // The overlap is the middle of the picture: each projector shows a little over half.
    const double share = 1.0 / (2.0 - SampleMeshes::kBlendOverlap);
    EXPECT_NEAR(row.u[kHalf - overlap], 1.0 - share, 0.01);
    EXPECT_NEAR(row.u[kHalf + overlap], share, 0.01);
}

TEST(SampleMeshes, TheBlendRampsAreSmoothAndComplementary) {
    for (double k = 0; k <= 1.0; k += 0.05) {
        EXPECT_NEAR(SampleMeshes::blendShare(k) + SampleMeshes::blendShare(1 - k), 1.0, 1e-12);
        const double brightness = SampleMeshes::blendBrightness(SampleMeshes::blendShare(k));
        EXPECT_NEAR(std::pow(brightness, SampleMeshes::kProjectorGamma),
                    SampleMeshes::blendShare(k), 1e-12);
    }
    EXPECT_EQ(SampleMeshes::blendShare(0), 0.0);
    EXPECT_EQ(SampleMeshes::blendShare(1), 1.0);
    // Flat at both ends: the fade begins and ends without a visible edge.
    EXPECT_LT(SampleMeshes::blendShare(0.02), 0.002);
    EXPECT_GT(SampleMeshes::blendShare(0.98), 0.998);
}

} // namespace
} // namespace lumenarc
