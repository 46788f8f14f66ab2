#include "GLTestScene.h"

#include "render/ViewSetup.h"
#include <cstdio>

namespace lumenarc::test {

GLTestScene::GLTestScene(int width, int height)
    : m_gl(OffscreenGL::create(width, height, &m_error)) {
    if (!m_gl) {
        return;
    }
    ViewSetup::prepare();
    ViewSetup::reshape(width, height);
}

GLuint GLTestScene::texture(int width, int height, const std::vector<uint8_t>& rgba, GLint filter) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

FrameTexture GLTestScene::frameFor(GLuint name) {
    FrameTexture frame;
    frame.target = GL_TEXTURE_2D;
    frame.name = name;
    frame.cleanTexCoords = {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
    return frame;
}

std::unique_ptr<DistortionMatrix> GLTestScene::gridMesh(int type, int width, int height, double i) {
    std::string text = "1 " + std::to_string(width) + " " + std::to_string(height);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const double s = width > 1 ? column / (width - 1.0) : 0.5;
            const double t = height > 1 ? row / (height - 1.0) : 0.5;
            char node[200];
            std::snprintf(node, sizeof node, " %.17g %.17g %.17g %.17g %.17g", 2 * s - 1, 2 * t - 1,
                          s, t, i);
            text += node;
        }
    }
    auto mesh = DistortionMatrix::initFromText(text);
    mesh->setProjectionType(type); // also codes a file may not name, as an override sets them
    return mesh;
}

FrameRenderer::Inputs GLTestScene::inputs(const DistortionMatrix* mesh,
                                          const FrameTexture* frame) const {
    FrameRenderer::Inputs in;
    in.mesh = mesh;
    in.frame = frame;
    in.viewWidth = static_cast<float>(m_gl->width());
    in.viewHeight = static_cast<float>(m_gl->height());
    in.drawOverlay = false;
    return in;
}

OffscreenGL::Pixel GLTestScene::at(double fx, double fy) const {
    return m_gl->pixel(static_cast<int>(fx * m_gl->width()), static_cast<int>(fy * m_gl->height()));
}

} // namespace lumenarc::test
