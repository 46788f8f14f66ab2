#define GL_GLEXT_PROTOTYPES 1
#include "offscreen/OffscreenGL.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

namespace lumenarc {
namespace {

TEST(OffscreenGL, DrawsAndReadsRealPixels) {
    std::string error;
    const auto gl = OffscreenGL::create(64, 32, &error);
    ASSERT_NE(gl, nullptr) << error;
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 0, 0);
    glBegin(GL_TRIANGLE_STRIP); // the right half of the view, in the default -1..1 space
    glVertex2f(0, -1);
    glVertex2f(1, -1);
    glVertex2f(0, 1);
    glVertex2f(1, 1);
    glEnd();
    const auto left = gl->pixel(10, 16);
    const auto right = gl->pixel(50, 16);
    EXPECT_EQ(left.b, 255);
    EXPECT_EQ(left.r, 0);
    EXPECT_EQ(right.r, 255);
    EXPECT_EQ(right.b, 0);
    EXPECT_EQ(gl->readPixels().size(), 64u * 32u * 4u);

    ASSERT_TRUE(gl->resize(8, 8));
    EXPECT_EQ(gl->width(), 8);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(gl->pixel(7, 7).b, 255);
    EXPECT_EQ(gl->pixel(8, 8).b, 0); // outside reads nothing
}

TEST(OffscreenGL, AColourOnlyFramebufferDrawsAlike) {
    std::string error;
    const auto gl = OffscreenGL::create(16, 8, &error, OffscreenGL::Buffers::ColourOnly);
    ASSERT_NE(gl, nullptr) << error;
    GLint depthBits = -1;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &depthBits);
    EXPECT_EQ(depthBits, GL_NONE);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    EXPECT_EQ(gl->pixel(3, 3).g, 255);
    ASSERT_TRUE(gl->resize(4, 4)) << "still without depth";
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(gl->pixel(3, 3).g, 255);
}

TEST(OffscreenGL, RefusesAbsurdSizes) {
    std::string error;
    EXPECT_EQ(OffscreenGL::create(0, 10, &error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(OffscreenGL::create(100000, 10), nullptr);
}

} // namespace
} // namespace lumenarc
