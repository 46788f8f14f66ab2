#include "render/TextureLoader.h"
#include "image/ImageTestFiles.h"
#include "offscreen/OffscreenGL.h"
#include "support/TempDir.h"

#include <GL/gl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace lumenarc {
namespace {

using test::distinctPixels;
using test::TiffSpec;
using test::writeTiff;

GLint integer(GLenum parameter) {
    GLint value = -1;
    glGetIntegerv(parameter, &value);
    return value;
}

GLint textureParameter(GLenum parameter) {
    GLint value = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value);
    return value;
}

GLint levelParameter(GLenum parameter) {
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, parameter, &value);
    return value;
}

// The bound texture's level 0, read back tightly packed.
std::vector<uint8_t> textureBytes(GLenum format, size_t size) {
    std::vector<uint8_t> bytes(size);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, bytes.data());
    return bytes;
}

class TextureLoaderTest : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        gl = OffscreenGL::create(4, 4, &error);
        ASSERT_NE(gl, nullptr) << error;
    }
    std::string rgbaTiff(const std::string& name, uint32_t width, uint32_t height,
                         const std::vector<uint8_t>& rgba) {
        const TiffSpec spec{.width = width,
                            .height = height,
                            .samples = 4,
                            .extraSamples = {EXTRASAMPLE_UNASSALPHA}};
        return writeTiff(dir.path() / name, spec, rgba);
    }
    test::TempDir dir;
    std::unique_ptr<OffscreenGL> gl;
};

// 5 pixels of 3 bytes: rows of 15 bytes, which GL's default 4-byte alignment would misread.
TEST_F(TextureLoaderTest, OddWidthRgbUploadsIntactAndRestoresUnpackState) {
    const auto rgb = distinctPixels(5, 3, 3);
    const auto path = writeTiff(dir.path() / "odd.tif", {.width = 5, .height = 3}, rgb);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 7);
    GLuint name = 0;
    std::string reason;
    ASSERT_TRUE(TextureLoader::loadTexture(name, path, &reason)) << reason;
    EXPECT_NE(name, 0u);
    EXPECT_EQ(integer(GL_UNPACK_ALIGNMENT), 8);
    EXPECT_EQ(integer(GL_UNPACK_ROW_LENGTH), 7);
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(name));
    EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH), 5);
    EXPECT_EQ(levelParameter(GL_TEXTURE_HEIGHT), 3);
    EXPECT_EQ(levelParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    EXPECT_EQ(textureBytes(GL_RGB, rgb.size()), rgb);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureLoaderTest, RgbaUploadsWithLinearFiltersRepeatAndTexturingOn) {
    const auto rgba = distinctPixels(3, 2, 4);
    GLuint name = 0;
    ASSERT_TRUE(TextureLoader::loadTexture(name, rgbaTiff("rgba.tif", 3, 2, rgba)));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(levelParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(textureBytes(GL_RGBA, rgba.size()), rgba);
    GLuint second = 0;
    ASSERT_TRUE(TextureLoader::loadTexture(second, rgbaTiff("second.tif", 3, 2, rgba)));
    EXPECT_NE(second, name);
}

// t = 0 is the picture's top row: drawn with t = 0 at the top of the view, it stands upright.
TEST_F(TextureLoaderTest, TopRowIsAtTextureCoordinateZero) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            rgba.insert(rgba.end(),
                        {static_cast<uint8_t>(60 * y), static_cast<uint8_t>(60 * x), 0, 255});
        }
    }
    GLuint name = 0;
    ASSERT_TRUE(TextureLoader::loadTexture(name, rgbaTiff("rows.tif", 4, 4, rgba)));
    glColor4f(1, 1, 1, 1);
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(0, 0);
    glVertex2f(-1, 1);
    glTexCoord2f(1, 0);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, -1);
    glEnd();
    EXPECT_EQ(gl->pixel(0, 3).r, 0);   // top-left of the view: the picture's first row
    EXPECT_EQ(gl->pixel(0, 0).r, 180); // bottom-left: its last row
    EXPECT_EQ(gl->pixel(3, 3).g, 180); // columns run left to right
}

TEST_F(TextureLoaderTest, FailuresKeepTheNameAndTheGlState) {
    GLuint bound = 0;
    glGenTextures(1, &bound);
    glBindTexture(GL_TEXTURE_2D, bound);
    glDisable(GL_TEXTURE_2D);
    const std::vector<std::string> bad = {
        (dir.path() / "missing.tif").string(),
        dir.write("damaged.tif", std::string("II*\0\x08\0\0\0garbage", 15)),
        writeTiff(dir.path() / "grey.tif",
                  {.width = 2, .height = 2, .samples = 1, .photometric = PHOTOMETRIC_MINISBLACK},
                  std::vector<uint8_t>(4, 9)),
        writeTiff(dir.path() / "premultiplied.tif",
                  {.width = 1, .height = 1, .samples = 4, .extraSamples = {EXTRASAMPLE_ASSOCALPHA}},
                  std::vector<uint8_t>(4, 9)),
    };
    for (const auto& path : bad) {
        for (const GLuint before : {0u, 77u}) {
            GLuint name = before;
            std::string reason;
            EXPECT_FALSE(TextureLoader::loadTexture(name, path, &reason)) << path;
            EXPECT_EQ(name, before) << path;
            EXPECT_FALSE(reason.empty()) << path;
            EXPECT_FALSE(TextureLoader::loadTexture(name, path)) << "without a reason: " << path;
        }
    }
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(bound));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

// An error left by earlier GL calls is not taken for a failed upload.
TEST_F(TextureLoaderTest, EarlierGlErrorsDoNotFailTheUpload) {
    glEnable(0xFFFF);
    GLuint name = 0;
    EXPECT_TRUE(TextureLoader::loadTexture(name, rgbaTiff("ok.tif", 1, 1, {1, 2, 3, 4})));
    EXPECT_NE(name, 0u);
}

TEST(TextureLoaderWithoutContext, RefusesToUpload) {
    test::TempDir dir;
    const auto path = writeTiff(dir.path() / "ok.tif", {.width = 1, .height = 1}, {1, 2, 3});
    GLuint name = 5;
    std::string reason;
    EXPECT_FALSE(TextureLoader::loadTexture(name, path, &reason));
    EXPECT_EQ(name, 5u);
    EXPECT_THAT(reason, testing::HasSubstr("no current GL context"));
}

} // namespace
} // namespace lumenarc
