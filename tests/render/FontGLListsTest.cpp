#include "render/FontGLLists.h"

#include "render/FakeGlyphSource.h"
#include "render/GlyphBitmap.h"
#include "render/TextOverlay.h"
#include "render/TextTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace lumenarc {
namespace {

using texttest::CapturedLog;
using texttest::integer;
using texttest::litPixels;
using texttest::rasterPosition;
using texttest::setRaster;

constexpr GLenum kUnpackNames[] = {GL_UNPACK_SWAP_BYTES, GL_UNPACK_LSB_FIRST,
                                   GL_UNPACK_SKIP_ROWS,  GL_UNPACK_SKIP_PIXELS,
                                   GL_UNPACK_ROW_LENGTH, GL_UNPACK_ALIGNMENT};
constexpr GLint kOddUnpack[] = {1, 1, 2, 3, 5, 8};

std::vector<GLint> unpackState() {
    std::vector<GLint> values;
    for (GLenum name : kUnpackNames) {
        values.push_back(integer(name));
    }
    return values;
}

// Unpack settings under which glyphs would come out wrong unless the builder sets its own.
void setOddUnpackState() {
    for (size_t i = 0; i < std::size(kUnpackNames); ++i) {
        glPixelStorei(kUnpackNames[i], kOddUnpack[i]);
    }
}

class FontGLListsGL : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        gl = texttest::makeTextGL(128, 64, &error);
        ASSERT_NE(gl, nullptr) << error;
        base = glGenLists(95);
        ASSERT_NE(base, 0u);
    }

    // Raster x after calling one list from x = 10.
    float advanceOf(GLuint list) {
        setRaster(10, 10);
        glCallList(list);
        return rasterPosition()[0] - 10;
    }

    std::unique_ptr<OffscreenGL> gl;
    GLuint base = 0;
    FakeGlyphSource font;
};

TEST_F(FontGLListsGL, CountZeroBuildsNothingAndLeavesPixelStore) {
    setOddUnpackState();
    const auto before = unpackState();
    FontGLLists lists(font);
    EXPECT_TRUE(lists.makeGLDisplayListFirst(32, 0, base));
    EXPECT_TRUE(lists.makeGLDisplayListFirst(32, -5, base));
    EXPECT_EQ(unpackState(), before);
    EXPECT_TRUE(font.measured.empty());
    EXPECT_EQ(advanceOf(base), 0.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(FontGLListsGL, GlyphsDrawUprightAndPixelStoreIsRestored) {
    // An 11 x 6 glyph lit along its top row and its left column.
    font.lit = [](char16_t, int x, int y) { return y == 0 || x == 0; };
    setOddUnpackState();
    const auto before = unpackState();
    ASSERT_TRUE(FontGLLists(font).makeGLDisplayListFirst(65, 3, base));
    EXPECT_EQ(unpackState(), before);
    EXPECT_EQ(font.rendered, (std::vector<char16_t>{65, 66, 67}));

    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(advanceOf(base + 1), 11.0f);
    EXPECT_NE(gl->pixel(10, 15).r, 0); // top-left
    EXPECT_NE(gl->pixel(20, 15).r, 0); // top-right
    EXPECT_NE(gl->pixel(10, 10).r, 0); // bottom-left
    EXPECT_EQ(gl->pixel(20, 10).r, 0); // bottom-right
    EXPECT_EQ(gl->pixel(15, 12).r, 0); // inside
    EXPECT_EQ(litPixels(*gl), 11 + 5);
}

TEST_F(FontGLListsGL, EmptyGlyphKeepsTheNumberingOfLaterLists) {
    // Widths 3, 4, 5, 6 for A, B, C, D; B measures empty.
    font.size = [](char16_t code) {
        return GlyphSize{code == u'B' ? 0.0 : 3.0 + (code - u'A') - 0.25, 4.0};
    };
    ASSERT_TRUE(FontGLLists(font).makeGLDisplayListFirst(u'A', 4, base));
    EXPECT_EQ(font.rendered, (std::vector<char16_t>{u'A', u'C', u'D'}));
    EXPECT_EQ(advanceOf(base), 3.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(advanceOf(base + 1), 0.0f);
    EXPECT_EQ(litPixels(*gl), 0);
    EXPECT_EQ(advanceOf(base + 2), 5.0f);
    EXPECT_EQ(advanceOf(base + 3), 6.0f);
}

TEST_F(FontGLListsGL, RefusesWhileAListIsBeingCompiled) {
    CapturedLog log;
    setOddUnpackState();
    const auto before = unpackState();
    const GLuint outer = base + 94;
    glNewList(outer, GL_COMPILE);
    EXPECT_FALSE(FontGLLists(font).makeGLDisplayListFirst(32, 3, base));
    glEndList();
    EXPECT_EQ(unpackState(), before);
    EXPECT_TRUE(font.measured.empty());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "NSFont_OpenGL: Display list already under construction");
    EXPECT_EQ(advanceOf(base), 0.0f);
    EXPECT_EQ(advanceOf(outer), 0.0f);
}

TEST_F(FontGLListsGL, UnpackableGlyphStopsTheRangeAndRestoresPixelStore) {
    CapturedLog log;
    font.size = [](char16_t code) { return GlyphSize{code == u'c' ? 1e12 : 7.0, 5.0}; };
    setOddUnpackState();
    const auto before = unpackState();
    EXPECT_FALSE(FontGLLists(font).makeGLDisplayListFirst(u'a', 5, base));
    EXPECT_EQ(unpackState(), before);
    // The absurd glyph is never rendered, and nothing after it is measured.
    EXPECT_EQ(font.rendered, (std::vector<char16_t>{u'a', u'b'}));
    EXPECT_EQ(font.measured, (std::vector<char16_t>{u'a', u'b', u'c'}));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0],
              "NSFont_OpenGL: Failed to calloc() memory in makeDisplayList:withImage:");
    EXPECT_EQ(advanceOf(base + 1), 7.0f);
    EXPECT_EQ(advanceOf(base + 2), 0.0f);
    EXPECT_EQ(advanceOf(base + 3), 0.0f);
}

TEST_F(FontGLListsGL, ImageWithoutPixelsTakesTheAllocationFailurePath) {
    CapturedLog log;
    EXPECT_FALSE(FontGLLists(font).makeDisplayList(base, GlyphImage{11, 21, 0, 1, {}}));
    EXPECT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(advanceOf(base), 0.0f);
}

class FontGLListsLogging : public ::testing::Test {
protected:
    void TearDown() override { FontGLLists::setOpenGLLogging(true); }
};

TEST_F(FontGLListsLogging, SwitchSilencesOnlyThePrefixedLines) {
    CapturedLog log;
    EXPECT_TRUE(FontGLLists::openGLLogging());
    FontGLLists::doOpenGLLog("%d glyphs from %s", 95, "Courier");
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "NSFont_OpenGL: 95 glyphs from Courier");

    FontGLLists::setOpenGLLogging(false);
    FontGLLists::doOpenGLLog("Display list already under construction");
    EXPECT_EQ(log.lines.size(), 1u);

    std::string error;
    const auto gl = OffscreenGL::create(8, 8, &error);
    ASSERT_NE(gl, nullptr) << error;
    GLuint base = 0;
    EXPECT_FALSE(TextOverlay::buildFont(base, nullptr));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"NSFont_OpenGL: 95 glyphs from Courier",
                                                   "font is nil", "Didn't make display list"}));
}

TEST(FontGLListsGeometry, IntegralSizeRoundsOutward) {
    using Size = std::pair<int, int>;
    EXPECT_EQ(FontGLLists::integralSize({10.796875, 20.1}), Size(11, 21));
    EXPECT_EQ(FontGLLists::integralSize({11.0, 21.0}), Size(11, 21));
    EXPECT_EQ(FontGLLists::integralSize({0.01, 0.01}), Size(1, 1));
    EXPECT_EQ(FontGLLists::integralSize({0.0, 21.0}), Size(0, 0));
    EXPECT_EQ(FontGLLists::integralSize({11.0, -1.0}), Size(0, 0));
    EXPECT_EQ(FontGLLists::integralSize({std::nan(""), 21.0}), Size(0, 0));
    const int tooLarge = GlyphBitmap::kMaxSide + 1;
    EXPECT_EQ(FontGLLists::integralSize({1e300, 21.0}), Size(tooLarge, 21));
    EXPECT_EQ(FontGLLists::integralSize({std::numeric_limits<double>::infinity(), 1.0}),
              Size(tooLarge, 1));
}

TEST(FontGLListsGeometry, RangeStopsAtTheLastCodeUnit) {
    EXPECT_EQ(FontGLLists::codesInRange(32, 95), 95);
    EXPECT_EQ(FontGLLists::codesInRange(32, 0), 0);
    EXPECT_EQ(FontGLLists::codesInRange(32, -1), 0);
    EXPECT_EQ(FontGLLists::codesInRange(65535, 1), 1);
    EXPECT_EQ(FontGLLists::codesInRange(65535, 2), 1);
    EXPECT_EQ(FontGLLists::codesInRange(0, std::numeric_limits<int32_t>::max()), 65536);
}

} // namespace
} // namespace lumenarc
