#include "image/TiffImage.h"
#include "offscreen/OffscreenGL.h"
#include "render/TextureLoader.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace lumenarc {
namespace {

const std::string kShare = LUMENARC_SHARE_DIR;

uint8_t alphaAt(const TiffImage& image, uint32_t x, uint32_t y) {
    return image.pixels()[(size_t{y} * image.width() + x) * 4 + 3];
}

size_t countAlpha(const TiffImage& image, bool (*test)(uint8_t)) {
    size_t count = 0;
    for (size_t i = 3; i < image.pixels().size(); i += 4) {
        count += test(image.pixels()[i]) ? 1 : 0;
    }
    return count;
}

TEST(GeneratedGrid, IsOneRgbaCellWithOpaqueEdgesAndATransparentInside) {
    std::string reason;
    const auto grid = TiffImage::read(kShare + "/Grid.tif", &reason);
    ASSERT_TRUE(grid.has_value()) << reason;
    ASSERT_TRUE(grid->hasAlpha());
    ASSERT_EQ(grid->width(), 16u);
    ASSERT_EQ(grid->height(), 16u);
    for (const uint32_t along : {0u, 7u, 15u}) {
        EXPECT_EQ(alphaAt(*grid, 0, along), 255);  // left edge
        EXPECT_EQ(alphaAt(*grid, along, 15), 255); // bottom edge (rows run top first)
    }
    for (const uint32_t inside : {1u, 2u, 8u, 14u}) {
        EXPECT_EQ(alphaAt(*grid, inside, 7), 0);
        EXPECT_EQ(alphaAt(*grid, 7, inside), 0);
    }
    EXPECT_EQ(countAlpha(*grid, [](uint8_t a) { return a == 255; }), 16u + 15u);
    // Light lines, and cells of the same colour so that filtering leaves no dark fringe.
    EXPECT_TRUE(std::all_of(grid->pixels().begin(), grid->pixels().end(),
                            [](uint8_t v) { return v == 0 || v >= 200; }));
    EXPECT_EQ(grid->pixels()[(8 * 16 + 8) * 4], 255);
}

TEST(GeneratedOverlay, IsAQuietMostlyTransparentRgbaBand) {
    std::string reason;
    const auto overlay = TiffImage::read(kShare + "/Overlay.tif", &reason);
    ASSERT_TRUE(overlay.has_value()) << reason;
    ASSERT_TRUE(overlay->hasAlpha());
    ASSERT_EQ(overlay->width(), 512u);
    ASSERT_EQ(overlay->height(), 64u);
    const size_t total = size_t{512} * 64;
    EXPECT_GT(countAlpha(*overlay, [](uint8_t a) { return a == 0; }), total / 2);
    EXPECT_EQ(countAlpha(*overlay, [](uint8_t a) { return a > 160; }), 0u);
    EXPECT_GT(alphaAt(*overlay, 256, 32), 100);
    for (const auto& [x, y] :
         {std::pair{0u, 0u}, {511u, 0u}, {0u, 63u}, {511u, 63u}, {256u, 0u}, {256u, 63u}}) {
        EXPECT_EQ(alphaAt(*overlay, x, y), 0) << x << ", " << y;
    }
}

// Tiled twice across a view of two cells' width at one texel per pixel, the cell's line falls
// at the start of each tile.
TEST(GeneratedGrid, RepeatsAsATexture) {
    std::string error;
    const auto gl = OffscreenGL::create(32, 32, &error);
    ASSERT_NE(gl, nullptr) << error;
    GLuint name = 0;
    ASSERT_TRUE(TextureLoader::loadTexture(name, kShare + "/Grid.tif", &error)) << error;
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(2, 0);
    glVertex2f(1, -1);
    glTexCoord2f(0, 2);
    glVertex2f(-1, 1);
    glTexCoord2f(2, 2);
    glVertex2f(1, 1);
    glEnd();
    for (const int x : {0, 16}) {
        EXPECT_EQ(gl->pixel(x, 10).a, 255) << x;
    }
    for (const int x : {1, 8, 15, 17, 30, 31}) {
        EXPECT_EQ(gl->pixel(x, 10).a, 0) << x;
    }
}

} // namespace
} // namespace lumenarc
