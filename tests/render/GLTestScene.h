#pragma once

#include "mesh/DistortionMatrix.h"
#include "offscreen/OffscreenGL.h"
#include "render/FrameRenderer.h"

#include <GL/gl.h>
#include <memory>
#include <string>
#include <vector>

namespace lumenarc::test {

// An offscreen view set up as the player sets up its own (viewport and -1..1 projection), with
// helpers to make textures and meshes for pixel tests.
class GLTestScene {
public:
    GLTestScene(int width, int height);
    OffscreenGL& gl() { return *m_gl; }
    bool ok() const { return m_gl != nullptr; }
    const std::string& error() const { return m_error; }

    // A GL_TEXTURE_2D from RGBA texels, rows bottom first, with the given filter.
    static GLuint texture(int width, int height, const std::vector<uint8_t>& rgba,
                          GLint filter = GL_NEAREST);
    static FrameTexture frameFor(GLuint name);
    // A planar-geometry mesh of the given size covering the mesh square, with u and v running
    // 0..1 across it and brightness i.
    static std::unique_ptr<DistortionMatrix> gridMesh(int type, int width, int height,
                                                      double i = 1.0);

    FrameRenderer::Inputs inputs(const DistortionMatrix* mesh, const FrameTexture* frame) const;
    // Pixel at a position given as fractions of the view (0..1 from the lower left).
    OffscreenGL::Pixel at(double fx, double fy) const;

private:
    std::string m_error;
    std::unique_ptr<OffscreenGL> m_gl;
};

} // namespace lumenarc::test
