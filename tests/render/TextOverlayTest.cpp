#include "render/TextOverlay.h"

#include "render/FontGLLists.h"
#include "render/TextTestSupport.h"
#include "shell/QtGlyphSource.h"

#include <gtest/gtest.h>

#include <cstdarg>

namespace lumenarc {
namespace {

using texttest::CapturedLog;
using texttest::integer;
using texttest::litPixels;
using texttest::rasterPosition;
using texttest::setRaster;

// The overlay's real font, built into a real context, as the video view does it.
class TextOverlayGL : public ::testing::Test {
protected:
    void SetUp() override {
        texttest::ensureGuiApplication();
        std::string error;
        gl = texttest::makeTextGL(256, 64, &error);
        ASSERT_NE(gl, nullptr) << error;
        font = QtGlyphSource::create();
        ASSERT_NE(font, nullptr);
        CapturedLog log;
        ASSERT_TRUE(TextOverlay::buildFont(base, font.get()));
        EXPECT_TRUE(log.lines.empty());
        const auto [width, height] = FontGLLists::integralSize(font->measure(u'0'));
        glyphWidth = width;
        glyphHeight = height;
    }

    // Prints from (x0, y0) and answers how far the raster position moved.
    float printedAdvance(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        setRaster(x0, y0);
        va_list args;
        va_start(args, format);
        TextOverlay::glPrintv(base, format, args);
        va_end(args);
        return rasterPosition()[0] - x0;
    }

    static constexpr int x0 = 20;
    static constexpr int y0 = 16;
    std::unique_ptr<OffscreenGL> gl;
    std::unique_ptr<QtGlyphSource> font;
    GLuint base = 0;
    int glyphWidth = 0;
    int glyphHeight = 0;
};

TEST_F(TextOverlayGL, ReadoutDrawsEightGlyphsFromTheRasterPosition) {
    ASSERT_EQ(glyphWidth, 11);
    setRaster(x0, y0);
    TextOverlay::glPrint(base, "%.1f fps", 59.94);
    EXPECT_EQ(rasterPosition()[0], x0 + 8.0f * glyphWidth);
    EXPECT_EQ(rasterPosition()[1], y0);

    const int x1 = x0 + 8 * glyphWidth;
    const int y1 = y0 + glyphHeight;
    EXPECT_EQ(litPixels(*gl), litPixels(*gl, x0, y0, x1, y1));
    for (int cell = 0; cell < 8; ++cell) {
        const int lit =
            litPixels(*gl, x0 + cell * glyphWidth, y0, x0 + (cell + 1) * glyphWidth, y1);
        if (cell == 4) {
            EXPECT_EQ(lit, 0) << "the space";
        } else {
            EXPECT_GT(lit, 0) << "cell " << cell;
        }
    }
    // Drawn in the raster colour: white, not grey.
    bool sawWhite = false;
    for (int x = x0; x < x0 + glyphWidth && !sawWhite; ++x) {
        for (int y = y0; y < y1 && !sawWhite; ++y) {
            const auto p = gl->pixel(x, y);
            sawWhite = p.r == 255 && p.g == 255 && p.b == 255;
        }
    }
    EXPECT_TRUE(sawWhite);
}

TEST_F(TextOverlayGL, SpaceAdvancesWithoutDrawing) {
    EXPECT_EQ(printedAdvance(" "), float(glyphWidth));
    EXPECT_EQ(printedAdvance("%s", "   "), 3.0f * glyphWidth);
    EXPECT_EQ(litPixels(*gl), 0);
}

TEST_F(TextOverlayGL, ListBaseIsRestored) {
    glListBase(7);
    EXPECT_GT(printedAdvance("ab"), 0.0f);
    EXPECT_EQ(integer(GL_LIST_BASE), 7);
    EXPECT_EQ(integer(GL_ATTRIB_STACK_DEPTH), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextOverlayGL, NullOrEmptyFormatTouchesNothing) {
    // Anything glPrint sent to GL while a list is compiled would end up in that list.
    const char* empty = "";
    const GLuint probe = glGenLists(1);
    glNewList(probe, GL_COMPILE);
    TextOverlay::glPrint(base, nullptr);
    TextOverlay::glPrint(base, empty);
    glEndList();
    glListBase(3);
    setRaster(x0, y0);
    glCallList(probe);
    EXPECT_EQ(rasterPosition()[0], float(x0));
    EXPECT_EQ(integer(GL_LIST_BASE), 3);
    EXPECT_EQ(litPixels(*gl), 0);

    // The same probe with a real format does draw, so the probe itself works.
    glNewList(probe, GL_COMPILE);
    TextOverlay::glPrint(base, "x");
    glEndList();
    setRaster(x0, y0);
    glCallList(probe);
    EXPECT_EQ(rasterPosition()[0], float(x0 + glyphWidth));
}

TEST_F(TextOverlayGL, EmptyTextAndBaseZeroDrawNothing) {
    EXPECT_EQ(printedAdvance("%s", ""), 0.0f);
    setRaster(x0, y0);
    TextOverlay::glPrint(0, "abc");
    EXPECT_EQ(rasterPosition()[0], float(x0));
    EXPECT_EQ(litPixels(*gl), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextOverlayGL, CodeUnitsOutsideThePrintableRangeDrawNothing) {
    EXPECT_EQ(printedAdvance("\n"), 0.0f);
    EXPECT_EQ(printedAdvance("\x1f\x7f"), 0.0f);
    EXPECT_EQ(printedAdvance("\u00e9\u20ac"), 0.0f);
    EXPECT_EQ(litPixels(*gl), 0);
    EXPECT_EQ(printedAdvance("A\nB"), 2.0f * glyphWidth);
}

// The lowest and highest lit rows of a glyph cell at x0, or {-1, -1} when nothing is lit.
std::pair<int, int> litRows(const OffscreenGL& gl, int x0, int y0, int width, int height) {
    std::pair<int, int> rows{-1, -1};
    for (int y = y0; y < y0 + height; ++y) {
        if (litPixels(gl, x0, y, x0 + width, y + 1) > 0) {
            rows.first = rows.first < 0 ? y : rows.first;
            rows.second = y;
        }
    }
    return rows;
}

TEST_F(TextOverlayGL, ListsGoWhereTheCodesSay) {
    // Tilde, the last list, is drawn upright: wholly above the underscore.
    EXPECT_EQ(printedAdvance("~"), float(glyphWidth));
    const auto tilde = litRows(*gl, x0, y0, glyphWidth, glyphHeight);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(printedAdvance("_"), float(glyphWidth));
    const auto underscore = litRows(*gl, x0, y0, glyphWidth, glyphHeight);
    ASSERT_GE(tilde.first, 0);
    ASSERT_GE(underscore.first, 0);
    EXPECT_GT(tilde.first, underscore.second);
}

TEST(TextOverlayBuild, MissingFontReservesListsThatDrawNothing) {
    std::string error;
    const auto gl = texttest::makeTextGL(64, 32, &error);
    ASSERT_NE(gl, nullptr) << error;
    CapturedLog log;
    GLuint base = 0;
    EXPECT_FALSE(TextOverlay::buildFont(base, nullptr));
    EXPECT_NE(base, 0u);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"font is nil", "Didn't make display list"}));
    setRaster(5, 5);
    TextOverlay::glPrint(base, "%d fps", 60);
    EXPECT_EQ(rasterPosition()[0], 5.0f);
    EXPECT_EQ(litPixels(*gl), 0);
}

TEST(TextOverlayBuild, NoListsReservedBuildsNothing) {
    texttest::ensureGuiApplication();
    std::string error;
    const auto gl = texttest::makeTextGL(64, 32, &error);
    ASSERT_NE(gl, nullptr) << error;
    auto font = QtGlyphSource::create();
    ASSERT_NE(font, nullptr);
    // GL reserves no lists between glBegin and glEnd.
    CapturedLog log;
    GLuint base = 99;
    glBegin(GL_POINTS);
    EXPECT_FALSE(TextOverlay::buildFont(base, font.get()));
    glEnd();
    EXPECT_EQ(base, 0u);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Didn't make display list"}));
    glGetError();
}

TEST(TextOverlayText, CodeUnitsAreUtf16) {
    EXPECT_EQ(TextOverlay::codeUnits("59.9 fps"), u"59.9 fps");
    EXPECT_EQ(TextOverlay::codeUnits("\xc3\xa9"), std::u16string(1, 0xE9));
    EXPECT_EQ(TextOverlay::codeUnits("\xf0\x9f\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
    EXPECT_EQ(TextOverlay::codeUnits("a\xff"), (std::u16string{u'a', 0xFFFD}));
    EXPECT_EQ(TextOverlay::codeUnits(""), u"");
}

std::string format(const char* text, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* text, ...) {
    va_list args;
    va_start(args, text);
    auto result = TextOverlay::formatText(text, args);
    va_end(args);
    return result;
}

TEST(TextOverlayText, FormattedTextIsBounded) {
    EXPECT_EQ(format("%.1f fps", 59.94), "59.9 fps");
    EXPECT_EQ(format("%.1f fps", 1.0 / (1.0f / 60.0f)), "60.0 fps");
    EXPECT_EQ(format("%100000d", 1).size(), TextOverlay::kMaxTextBytes);
}

TEST(QtGlyphSourceFont, CourierBold18ResolvesToAMonospacedFace) {
    texttest::ensureGuiApplication();
    const auto font = QtGlyphSource::create();
    ASSERT_NE(font, nullptr);
    // With fonts-urw-base35 installed, fontconfig answers Courier with its metric twin.
    EXPECT_EQ(font->familyName().rfind("Nimbus Mono PS", 0), 0u) << font->familyName();
    EXPECT_TRUE(font->isBold());
    EXPECT_EQ(font->pixelSize(), 18);
    const auto space = FontGLLists::integralSize(font->measure(u' '));
    for (char16_t code = 33; code <= 126; ++code) {
        EXPECT_EQ(FontGLLists::integralSize(font->measure(code)), space) << int(code);
    }
}

TEST(QtGlyphSourceFont, RendersWhiteOnBlackWithoutAntialiasing) {
    texttest::ensureGuiApplication();
    const auto font = QtGlyphSource::create();
    ASSERT_NE(font, nullptr);
    const auto glyph = font->render(u'@', 11, 27);
    ASSERT_EQ(glyph.width, 11);
    ASSERT_EQ(glyph.height, 27);
    ASSERT_GE(glyph.samples.size(), size_t(glyph.bytesPerRow) * 27);
    int white = 0;
    for (int y = 0; y < 27; ++y) {
        for (int x = 0; x < 11; ++x) {
            const uint8_t sample = glyph.samples[y * glyph.bytesPerRow + x];
            EXPECT_TRUE(sample == 0 || sample == 255) << int(sample);
            white += sample == 255 ? 1 : 0;
        }
    }
    EXPECT_GT(white, 20);
    const auto space = font->render(u' ', 11, 27);
    for (int y = 0; y < 27; ++y) {
        for (int x = 0; x < 11; ++x) {
            EXPECT_EQ(space.samples[y * space.bytesPerRow + x], 0);
        }
    }
}

TEST(QtGlyphSourceFont, ProportionalFallbackCountsAsNoFont) {
    texttest::ensureGuiApplication();
    EXPECT_EQ(QtGlyphSource::create(QStringLiteral("Lumenarc No Such Face")), nullptr);
    EXPECT_EQ(QtGlyphSource::create(QStringLiteral("Courier"), 0), nullptr);
    const auto absurd = QtGlyphSource::create()->render(u'A', 100000, 10);
    EXPECT_TRUE(absurd.samples.empty());
}

} // namespace
} // namespace lumenarc
