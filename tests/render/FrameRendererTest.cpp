#include "GLTestScene.h"
#include "render/Timer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace lumenarc {
namespace {

using test::GLTestScene;

std::vector<uint8_t> solid(int texels, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    std::vector<uint8_t> out;
    for (int k = 0; k < texels; ++k) {
        out.insert(out.end(), {r, g, b, a});
    }
    return out;
}

#define EXPECT_RGB_NEAR(pixel, R, G, B, tolerance)                                                 \
    do {                                                                                           \
        const auto p_ = (pixel);                                                                   \
        EXPECT_NEAR(p_.r, R, tolerance);                                                           \
        EXPECT_NEAR(p_.g, G, tolerance);                                                           \
        EXPECT_NEAR(p_.b, B, tolerance);                                                           \
    } while (0)

class FrameRendererTest : public ::testing::TestWithParam<FrameRenderer::Mode> {
protected:
    FrameRenderer renderer{GetParam()};
};

TEST_P(FrameRendererTest, BrightnessIsAlphaOverBlack) {
    GLTestScene scene(64, 64);
    ASSERT_TRUE(scene.ok()) << scene.error();
    const auto frame = GLTestScene::frameFor(GLTestScene::texture(1, 1, solid(1, 200, 100, 50)));
    for (double i : {1.0, 0.5, 0.0, 1.5, -0.2}) {
        const auto mesh = GLTestScene::gridMesh(1, 2, 2, i);
        renderer.renderBits(scene.inputs(mesh.get(), &frame));
        const double k = std::clamp(i, 0.0, 1.0);
        SCOPED_TRACE(i);
        EXPECT_RGB_NEAR(scene.at(0.5, 0.5), 200 * k, 100 * k, 50 * k, 1.5);
    }
}

TEST_P(FrameRendererTest, AspectScalingCentresTheMeshSquare) {
    const auto white = solid(1, 255, 255, 255);
    struct Case {
        int w, h;
        double insideX, insideY, outsideX, outsideY;
    };
    for (const Case c : {Case{200, 100, 0.27, 0.5, 0.23, 0.5}, Case{100, 200, 0.5, 0.27, 0.5, 0.23},
                         Case{100, 100, 0.01, 0.99, -1, -1}}) {
        GLTestScene scene(c.w, c.h);
        ASSERT_TRUE(scene.ok());
        const auto frame = GLTestScene::frameFor(GLTestScene::texture(1, 1, white));
        const auto mesh = GLTestScene::gridMesh(1, 2, 2);
        renderer.renderBits(scene.inputs(mesh.get(), &frame));
        EXPECT_EQ(scene.at(c.insideX, c.insideY).r, 255) << c.w << "x" << c.h;
        if (c.outsideX >= 0) {
            EXPECT_EQ(scene.at(c.outsideX, c.outsideY).r, 0) << c.w << "x" << c.h;
        }
    }
}

// Left texel red, right texel green: a pan of half a frame shows what lies beyond the edge.
TEST_P(FrameRendererTest, PannedCylinderWrapsWhilePlanarRepeatsItsEdge) {
    GLTestScene scene(64, 64);
    ASSERT_TRUE(scene.ok());
    std::vector<uint8_t> texels = solid(1, 255, 0, 0);
    const auto green = solid(1, 0, 255, 0);
    texels.insert(texels.end(), green.begin(), green.end());
    const auto frame = GLTestScene::frameFor(GLTestScene::texture(2, 1, texels));
    for (int type : {1, 3, 4, 13, 14, 11, 7}) {
        const auto mesh = GLTestScene::gridMesh(type, 4, 2);
        mesh->offsetX(0.5f, 0.0f);
        renderer.renderBits(scene.inputs(mesh.get(), &frame));
        const auto right = scene.at(0.9, 0.5); // u = 1.45: beyond the right edge
        const bool wraps = type == 3 || type == 4 || type == 13 || type == 14;
        EXPECT_EQ(right.r, wraps ? 255 : 0) << type;
        EXPECT_EQ(right.g, wraps ? 0 : 255) << type;
    }
}

TEST_P(FrameRendererTest, SphericalAlsoWrapsVertically) {
    GLTestScene scene(64, 64);
    ASSERT_TRUE(scene.ok());
    std::vector<uint8_t> texels = solid(1, 255, 0, 0); // bottom row red, top row blue
    const auto blue = solid(1, 0, 0, 255);
    texels.insert(texels.end(), blue.begin(), blue.end());
    const auto frame = GLTestScene::frameFor(GLTestScene::texture(1, 2, texels));
    for (int type : {4, 3}) {
        const auto mesh = GLTestScene::gridMesh(type, 2, 2);
        mesh->offsetX(0.0f, 0.5f);
        renderer.renderBits(scene.inputs(mesh.get(), &frame));
        const auto top = scene.at(0.5, 0.9); // v = 1.45
        EXPECT_EQ(top.r, type == 4 ? 255 : 0) << type;
        EXPECT_EQ(top.b, type == 4 ? 0 : 255) << type;
    }
}

TEST_P(FrameRendererTest, StereoLeavesTheColumnsBetweenItsHalvesUndrawn) {
    GLTestScene scene(90, 90);
    ASSERT_TRUE(scene.ok());
    const auto frame = GLTestScene::frameFor(GLTestScene::texture(1, 1, solid(1, 255, 255, 255)));
    for (int type : {1, 11, 15}) {
        const auto mesh = GLTestScene::gridMesh(type, 4, 2); // columns at -1, -1/3, 1/3, 1
        renderer.renderBits(scene.inputs(mesh.get(), &frame));
        EXPECT_EQ(scene.at(0.5, 0.5).r, type == 1 ? 255 : 0) << type;
        EXPECT_EQ(scene.at(0.2, 0.5).r, 255) << type;
        EXPECT_EQ(scene.at(0.8, 0.5).r, 255) << type;
    }
}

TEST_P(FrameRendererTest, WithoutAFrameNothingButTheOverlayIsDrawn) {
    GLTestScene scene(64, 64);
    ASSERT_TRUE(scene.ok());
    const auto mesh = GLTestScene::gridMesh(1, 3, 3);
    auto in = scene.inputs(mesh.get(), nullptr);
    renderer.renderBits(in);
    for (const auto& p : {scene.at(0.5, 0.5), scene.at(0.1, 0.9), scene.at(0.5, 0.1)}) {
        EXPECT_EQ(p.r + p.g + p.b, 0);
    }
    // The overlay band along the bottom of the mesh square: an opaque white image shows at half
    // strength with green and blue halved.
    in.overlayTexture = GLTestScene::texture(1, 1, solid(1, 255, 255, 255));
    in.drawOverlay = true;
    renderer.renderBits(in);
    EXPECT_RGB_NEAR(scene.at(0.5, 0.1), 128, 64, 64, 1.5);
    EXPECT_EQ(scene.at(0.5, 0.5).r, 0);  // above the band
    EXPECT_EQ(scene.at(0.05, 0.1).r, 0); // left of it (x < -0.8)
    EXPECT_EQ(scene.at(0.5, 0.3).r, 0);  // just above y = -0.5
    // With no mesh at all the overlay still draws.
    in.mesh = nullptr;
    renderer.renderBits(in);
    EXPECT_RGB_NEAR(scene.at(0.5, 0.1), 128, 64, 64, 1.5);
}

TEST_P(FrameRendererTest, GridIsTiledTwentyTimesAndShadesYellowToWhite) {
    GLTestScene scene(400, 400);
    ASSERT_TRUE(scene.ok());
    const auto mesh = GLTestScene::gridMesh(1, 2, 2);
    auto in = scene.inputs(mesh.get(), nullptr);
    in.showDistortionMatrix = true;
    // Texels: one opaque white column, one transparent: each tile is half lit.
    std::vector<uint8_t> texels = solid(1, 255, 255, 255);
    const auto clear = solid(1, 0, 0, 0, 0);
    texels.insert(texels.end(), clear.begin(), clear.end());
    in.gridTexture = GLTestScene::texture(2, 1, texels);
    renderer.renderBits(in);
    const auto pixels = scene.gl().readPixels();
    int rises = 0;
    bool lit = false;
    const int row = 200;
    for (int x = 0; x < 400; ++x) {
        const bool now = pixels[(row * 400 + x) * 4] > 128;
        rises += now && !lit ? 1 : 0;
        lit = now;
    }
    EXPECT_EQ(rises, 20);
    // Opaque everywhere: bottom row yellowish (blue 0.5), top row white.
    in.gridTexture = GLTestScene::texture(1, 1, solid(1, 255, 255, 255));
    renderer.renderBits(in);
    EXPECT_RGB_NEAR(scene.gl().pixel(200, 0), 255, 255, 128, 2);
    EXPECT_RGB_NEAR(scene.gl().pixel(200, 399), 255, 255, 254, 2);
    EXPECT_RGB_NEAR(scene.gl().pixel(200, 200), 255, 255, 191, 3);
}

TEST_P(FrameRendererTest, MeshLinesAreDrawnAtTheNodes) {
    GLTestScene scene(101, 101);
    ASSERT_TRUE(scene.ok());
    const auto mesh = GLTestScene::gridMesh(1, 3, 3); // lines at -1, 0, 1
    auto in = scene.inputs(mesh.get(), nullptr);
    in.showGridLines = true;
    renderer.renderBits(in);
    EXPECT_EQ(scene.gl().pixel(50, 20).r, 255); // the vertical line through x = 0
    EXPECT_EQ(scene.gl().pixel(20, 50).r, 255); // the horizontal line through y = 0
    EXPECT_EQ(scene.gl().pixel(25, 25).r, 0);   // inside a cell
}

// Meshes claiming a width or height of 0 or less load without nodes; with every pass on they
// draw nothing at all, however extreme the claim.
TEST_P(FrameRendererTest, MeshesWithoutNodesDrawNothing) {
    GLTestScene scene(64, 48);
    ASSERT_TRUE(scene.ok()) << scene.error();
    const auto frame = GLTestScene::frameFor(GLTestScene::texture(1, 1, solid(1, 255, 255, 255)));
    const auto grid = GLTestScene::texture(1, 1, solid(1, 255, 255, 255));
    const auto litPixels = [&scene] {
        const auto pixels = scene.gl().readPixels();
        size_t lit = 0;
        for (size_t k = 0; k < pixels.size(); k += 4) {
            lit += pixels[k] + pixels[k + 1] + pixels[k + 2] > 0 ? 1 : 0;
        }
        return lit;
    };
    for (const char* text :
         {"1 -2147483648 2", "1 2 -2147483648", "12 -2147483648 2", "1 -2147483648 -2147483648",
          "1 2147483647 0", "1 0 2147483647", "1 -1 -2147483648", "1 0 0"}) {
        SCOPED_TRACE(text);
        const auto mesh = DistortionMatrix::initFromText(text);
        ASSERT_NE(mesh, nullptr);
        ASSERT_TRUE(mesh->vertices().empty());
        auto in = scene.inputs(mesh.get(), &frame);
        in.showDistortionMatrix = true;
        in.gridTexture = grid;
        in.showGridLines = true;
        renderer.renderBits(in);
        EXPECT_EQ(litPixels(), 0u);
    }
    // The same renderer still draws a mesh with nodes: the picture above was not black for
    // another reason.
    const auto mesh = GLTestScene::gridMesh(1, 3, 3);
    auto in = scene.inputs(mesh.get(), &frame);
    renderer.renderBits(in);
    EXPECT_EQ(litPixels(), 48u * 48u); // the mesh square in the middle of the view
}

// A range reaching beyond the mesh draws the nodes the mesh holds, and nothing else.
TEST_P(FrameRendererTest, RangesBeyondTheMeshDrawOnlyItsNodes) {
    GLTestScene scene(64, 64);
    ASSERT_TRUE(scene.ok()) << scene.error();
    const auto frame = GLTestScene::frameFor(GLTestScene::texture(1, 1, solid(1, 200, 100, 50)));
    const auto mesh = GLTestScene::gridMesh(1, 4, 3);
    auto in = scene.inputs(mesh.get(), &frame);
    in.showGridLines = true;
    renderer.renderBits(in);
    const auto expected = scene.gl().readPixels();
    glClear(GL_COLOR_BUFFER_BIT);
    renderer.drawWithRangeX(
        in, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min(),
        std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max());
    EXPECT_TRUE(scene.gl().readPixels() == expected);
    EXPECT_RGB_NEAR(scene.at(0.3, 0.3), 200, 100, 50, 1.5);
}

TEST_P(FrameRendererTest, ReadoutReadsTheStopwatchOnlyWhenShown) {
    GLTestScene scene(64, 64);
    ASSERT_TRUE(scene.ok());
    uint64_t now = 0;
    Timer timer([&now] { return now; });
    auto in = scene.inputs(nullptr, nullptr);
    in.frameTimer = &timer;
    in.showFPS = true;
    renderer.renderBits(in); // never reset: reads 0, prints nothing and does not reset
    EXPECT_FALSE(timer.isRunning());
    timer.reset();
    now += 1'000'000'000 / 60;
    in.showFPS = false;
    renderer.renderBits(in); // off: keeps running, not reset
    now += 1'000'000'000 / 60;
    EXPECT_EQ(timer.getElapsedSeconds(), 2 * (1'000'000'000 / 60) / 1e9);
    in.showFPS = true;
    renderer.renderBits(in); // on: printed, then reset
    EXPECT_EQ(timer.getElapsedSeconds(), 0.0);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, FrameRendererTest,
                         ::testing::Values(FrameRenderer::Mode::Immediate,
                                           FrameRenderer::Mode::Batched),
                         [](const auto& info) {
                             return info.param == FrameRenderer::Mode::Immediate ? "Immediate"
                                                                                 : "Batched";
                         });

// The batched path must not change a single pixel of what immediate mode draws.
TEST(FrameRendererPaths, BatchedPixelsEqualImmediatePixels) {
    GLTestScene scene(320, 200);
    ASSERT_TRUE(scene.ok()) << scene.error();
    std::vector<uint8_t> texels;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            texels.insert(texels.end(), {static_cast<uint8_t>(x * 16), static_cast<uint8_t>(y * 16),
                                         static_cast<uint8_t>((x ^ y) * 16), 255});
        }
    }
    const auto frame = GLTestScene::frameFor(GLTestScene::texture(16, 16, texels, GL_LINEAR));
    const auto grid = GLTestScene::texture(2, 2, solid(4, 255, 255, 255, 90), GL_LINEAR);
    // A bent fisheye-like mesh with falloff, a stereo mesh and a spherical one.
    for (int type : {2, 12, 4}) {
        std::string text = std::to_string(type) + " 24 17";
        for (int row = 0; row < 17; ++row) {
            for (int column = 0; column < 24; ++column) {
                const double s = column / 23.0, t = row / 16.0;
                const double x = 2 * s - 1 + 0.1 * std::sin(6 * t), y = 2 * t - 1;
                text += " " + std::to_string(x) + " " + std::to_string(y) + " " +
                        std::to_string(s * 1.1 - 0.05) + " " + std::to_string(t + 0.2 * s * s) +
                        " " + std::to_string(1.2 - std::hypot(x, y) * 0.5);
            }
        }
        const auto mesh = DistortionMatrix::initFromText(text);
        ASSERT_NE(mesh, nullptr);
        mesh->rotate(0.37f);
        mesh->offsetX(0.11f, -0.07f);
        auto in = scene.inputs(mesh.get(), &frame);
        in.showDistortionMatrix = true;
        in.gridTexture = grid;
        in.showGridLines = type == 12;
        FrameRenderer immediate(FrameRenderer::Mode::Immediate);
        FrameRenderer batched(FrameRenderer::Mode::Batched);
        immediate.renderBits(in);
        const auto expected = scene.gl().readPixels();
        batched.renderBits(in);
        const auto actual = scene.gl().readPixels();
        EXPECT_TRUE(expected == actual) << "type " << type;
        size_t lit = 0;
        for (size_t k = 0; k < expected.size(); k += 4) {
            lit += expected[k] + expected[k + 1] + expected[k + 2] > 0 ? 1 : 0;
        }
        EXPECT_GT(lit, expected.size() / 8); // the comparison is not between two black images
    }
}

} // namespace
} // namespace lumenarc
