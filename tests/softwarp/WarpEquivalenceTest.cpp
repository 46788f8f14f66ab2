#include "offscreen/OffscreenGL.h"
#include "softwarp/SoftWarper.h"
#include "warp/MeshWarper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace lumenarc {
namespace {

constexpr int kViewWidth = 320;
constexpr int kViewHeight = 200;
constexpr int kFrameWidth = 256;
constexpr int kFrameHeight = 192;

// A curved mesh: rows and columns bent, u and v running a little past 0..1 on every side (so
// wrap and clamp both show), brightness from 0.35 to 1.
std::string curvedMesh(int type, int width, int height) {
    std::string text =
        std::to_string(type) + "\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    char line[200];
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            const double a = c / double(width - 1);
            const double b = r / double(height - 1);
            const double x = (2 * a - 1) * 1.45 + 0.08 * std::sin(3 * b);
            const double y = (2 * b - 1) * 0.93 + 0.05 * std::sin(6.28 * a);
            const double u = -0.15 + 1.3 * a + 0.05 * std::sin(5 * b);
            const double v = -0.1 + 1.2 * b;
            const double i = 0.35 + 0.65 * (0.5 + 0.5 * std::sin(3 * a + 2 * b));
            std::snprintf(line, sizeof line, "%.6f %.6f %.6f %.6f %.6f\n", x, y, u, v, i);
            text += line;
        }
    }
    return text;
}

// A picture with detail at every scale: ramps, a fine pattern and, when asked, an alpha ramp.
std::vector<uint8_t> picture(bool alpha) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            rgba.push_back(static_cast<uint8_t>(x * 255 / (kFrameWidth - 1)));
            rgba.push_back(static_cast<uint8_t>(y * 255 / (kFrameHeight - 1)));
            rgba.push_back(
                static_cast<uint8_t>(127.5 + 127 * std::sin(x * 0.31) * std::cos(y * 0.23)));
            rgba.push_back(
                alpha ? static_cast<uint8_t>(40 + (x + y) * 215 / (kFrameWidth + kFrameHeight))
                      : 255);
        }
    }
    return rgba;
}

struct Case {
    int type;
    double rotation = 0;
    double du = 0, dv = 0;
    bool alpha = false;
    bool drawnOver = false; // the grid, the mesh lines and the overlay band drawn by GL on top
};

std::string name(const Case& c) {
    char text[120];
    std::snprintf(text, sizeof text, "type %d, rotation %g, offset %g,%g%s%s", c.type, c.rotation,
                  c.du, c.dv, c.alpha ? ", alpha" : "",
                  c.drawnOver ? ", grid, lines, overlay" : "");
    return text;
}

struct Comparison {
    int worstInside = 0;   // largest channel difference off the edges of the drawn area
    long edgePixels = 0;   // pixels next to an edge of the drawn area
    long edgeMismatch = 0; // of those, pixels more than 2 levels apart
    long covered = 0;
};

std::unique_ptr<DistortionMatrix> meshFor(const Case& c) {
    const int width = 24; // even, for the stereo types
    auto mesh = DistortionMatrix::initFromText(curvedMesh(c.type, width, 17));
    if (mesh) {
        mesh->rotate(static_cast<float>(c.rotation));
        mesh->offsetX(static_cast<float>(c.du), static_cast<float>(c.dv));
    }
    return mesh;
}

std::vector<uint8_t> draw(const Case& c, bool gl, const std::vector<uint8_t>& frame) {
    auto offscreen = OffscreenGL::create(kViewWidth, kViewHeight);
    if (!offscreen) {
        return {};
    }
    WarpOptions options;
    options.width = kViewWidth;
    options.height = kViewHeight;
    options.overlay = c.drawnOver;
    options.grid = c.drawnOver;
    options.lines = c.drawnOver;
    options.glWarp = gl;
    MeshWarper warper(meshFor(c), options);
    warper.draw(frame.data(), kFrameWidth, kFrameHeight);
    if (const uint8_t* in = warper.picture()) {
        return {in, in + size_t{kViewWidth} * kViewHeight * 4};
    }
    return offscreen->readPixels();
}

Comparison compare(const Case& c) {
    const auto frame = picture(c.alpha);
    const auto gl = draw(c, true, frame);
    const auto cpu = draw(c, false, frame);
    EXPECT_EQ(gl.size(), cpu.size());
    // Where the map covers the view: the brightness is never 0 inside these meshes.
    auto mesh = meshFor(c);
    SoftWarper soft;
    EXPECT_EQ(soft.prepare(*mesh, kViewWidth, kViewHeight, kFrameWidth, kFrameHeight),
              WarpMap::Status::Ready);
    const auto covered = [&](int x, int y) {
        return soft.map().drawn(std::clamp(x, 0, kViewWidth - 1),
                                std::clamp(y, 0, kViewHeight - 1));
    };
    Comparison out;
    for (int y = 0; y < kViewHeight && gl.size() == cpu.size(); ++y) {
        for (int x = 0; x < kViewWidth; ++x) {
            bool edge = false;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    edge = edge || covered(x + dx, y + dy) != covered(x, y);
                }
            }
            int worst = 0;
            const size_t k = (size_t(y) * kViewWidth + x) * 4;
            for (int ch = 0; ch < 4; ++ch) {
                worst = std::max(worst, std::abs(int(gl[k + ch]) - int(cpu[k + ch])));
            }
            out.covered += covered(x, y) ? 1 : 0;
            if (edge) {
                ++out.edgePixels;
                out.edgeMismatch += worst > 2 ? 1 : 0;
            } else {
                out.worstInside = std::max(out.worstInside, worst);
            }
        }
    }
    return out;
}

TEST(WarpEquivalence, ProcessorMatchesTheGLDrawingWithinTwoLevelsOffTheEdges) {
    std::vector<Case> cases;
    for (const int type : {1, 2, 3, 4, 5, 11, 12, 13, 14, 15}) {
        cases.push_back({type});
        cases.push_back({type, 0.7, 0.31, -0.22});
    }
    cases.push_back({2, -2.5, 0, 0, true});
    cases.push_back({4, 0, 3.4, -7.9, true});
    cases.push_back({1, 0, -0.6, 0.45});
    cases.push_back({3, 0.2, 0.1, 0.1, false, true});
    for (const auto& c : cases) {
        SCOPED_TRACE(name(c));
        const auto result = compare(c);
        ASSERT_GT(result.covered, kViewWidth * kViewHeight / 2) << "the mesh draws the view";
        EXPECT_LE(result.worstInside, 2);
        // On the edges the rasteriser's fill rule and its sub-pixel grid decide; a handful of
        // pixels of the drawn area's rim may go either way.
        EXPECT_LE(result.edgeMismatch, result.edgePixels / 100);
        std::printf("%-42s worst %d inside, %ld of %ld edge pixels over 2 levels\n",
                    name(c).c_str(), result.worstInside, result.edgeMismatch, result.edgePixels);
    }
}

TEST(WarpEquivalence, AFoldedMeshIsDrawnByGLAndSaysWhy) {
    auto offscreen = OffscreenGL::create(64, 64);
    ASSERT_TRUE(offscreen);
    WarpOptions options;
    options.width = 64;
    options.height = 64;
    options.overlay = false;
    // The middle column lies right of the last: the second quad folds back over the first.
    MeshWarper warper(
        DistortionMatrix::initFromText("1 3 2  -1 -1 0 0 1  0.8 -1 .5 0 .5  0 -1 1 0 1 "
                                       " -1 1 0 1 1  0.8 1 .5 1 .5  0 1 1 1 1"),
        options);
    const std::vector<uint8_t> white(4 * 4 * 4, 255);
    warper.draw(white.data(), 4, 4);
    EXPECT_EQ(warper.picture(), nullptr);
    EXPECT_EQ(warper.fallbackReason(), "triangles of the mesh overlap on screen");
    // Where the fold lies over the first quad, blending composed both layers.
    const auto pixel = offscreen->pixel(48, 32);
    EXPECT_GT(pixel.r, 0);
}

} // namespace
} // namespace lumenarc
