#define GL_GLEXT_PROTOTYPES 1 // glWindowPos2i
#include "warp/MeshWarper.h"

#include "render/TextureLoader.h"
#include "render/ViewSetup.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace lumenarc {

std::unique_ptr<DistortionMatrix> MeshWarper::loadMesh(const WarpOptions& options,
                                                       std::string* error) {
    std::string why;
    auto mesh = DistortionMatrix::initFromFile(options.mesh, why);
    if (!mesh) {
        if (error != nullptr) {
            *error = kInvalidMesh + options.mesh + ": " + why + "\n";
        }
        return nullptr;
    }
    if (options.type) {
        mesh->setProjectionType(*options.type);
    }
    mesh->rotate(options.rotation);
    mesh->offsetX(options.du, options.dv);
    return mesh;
}

std::string MeshWarper::resourcePath() {
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::filesystem::path exe(n > 0 ? std::string(self, static_cast<size_t>(n)) : "");
    return (exe.parent_path() / ".." / "share" / "lumenarc").lexically_normal().string();
}

bool MeshWarper::glAskedFor(const WarpOptions& options, const char* environment) {
    return options.glWarp || (environment != nullptr && std::strcmp(environment, "gl") == 0);
}

MeshWarper::MeshWarper(std::unique_ptr<DistortionMatrix> mesh, const WarpOptions& options)
    : m_mesh(std::move(mesh)), m_options(options),
      m_glAskedFor(glAskedFor(options, std::getenv("LUMENARC_WARP"))) {
    ViewSetup::prepare();
    ViewSetup::reshape(options.width, options.height);
    const std::string resources = resourcePath();
    if (options.grid) {
        TextureLoader::loadTexture(m_gridTexture, resources + "/Grid.tif");
    }
    if (options.overlay) {
        TextureLoader::loadTexture(m_overlayTexture, resources + "/Overlay.tif");
    }
    m_frame.target = GL_TEXTURE_2D;
    m_frame.cleanTexCoords = {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
}

MeshWarper::~MeshWarper() {
    for (const GLuint name : {m_frame.name, m_gridTexture, m_overlayTexture}) {
        if (name != 0) {
            glDeleteTextures(1, &name);
        }
    }
}

bool MeshWarper::onProcessor(int frameWidth, int frameHeight) {
    if (m_glAskedFor || !m_mesh) {
        return false;
    }
    const auto status =
        m_soft.prepare(*m_mesh, m_options.width, m_options.height, frameWidth, frameHeight);
    m_fallback = status == WarpMap::Status::Ready ? "" : WarpMap::describe(status);
    return status == WarpMap::Status::Ready;
}

bool MeshWarper::drawsOver() const {
    return m_options.grid || m_options.lines || m_options.overlay;
}

bool MeshWarper::processorOnly(int frameWidth, int frameHeight) {
    return onProcessor(frameWidth, frameHeight) && !drawsOver();
}

void MeshWarper::upload(const uint8_t* rgbaBottomFirst, int width, int height, int stride) {
    if (m_frame.name == 0) {
        glGenTextures(1, &m_frame.name);
    }
    glBindTexture(GL_TEXTURE_2D, m_frame.name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, stride > 0 ? stride / 4 : 0);
    if (width == m_frameWidth && height == m_frameHeight) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                        rgbaBottomFirst);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     rgbaBottomFirst);
        m_frameWidth = width;
        m_frameHeight = height;
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

FrameRenderer::Inputs MeshWarper::inputs() {
    FrameRenderer::Inputs in;
    in.mesh = m_mesh.get();
    in.frame = &m_frame;
    in.showDistortionMatrix = m_options.grid;
    in.showGridLines = m_options.lines;
    in.drawOverlay = m_options.overlay;
    in.gridTexture = m_gridTexture;
    in.overlayTexture = m_overlayTexture;
    in.viewWidth = static_cast<float>(m_options.width);
    in.viewHeight = static_cast<float>(m_options.height);
    return in;
}

void MeshWarper::warpInto(const uint8_t* rgbaBottomFirst, int width, int height, int stride,
                          uint8_t* out, int outStride) {
    m_soft.warp({rgbaBottomFirst, width, height, stride > 0 ? stride : width * 4, false}, out,
                outStride);
}

bool MeshWarper::planesOnProcessor(int frameWidth, int frameHeight, PlaneWarper::Subsampling frame,
                                   PlaneWarper::Subsampling picture) {
    return processorOnly(frameWidth, frameHeight) &&
           m_planes.prepare(*m_mesh, m_options.width, m_options.height, frameWidth, frameHeight,
                            frame, picture) == WarpMap::Status::Ready;
}

void MeshWarper::warpPlanesInto(const PlaneWarper::Frame& frame, const PlaneWarper::Picture& out,
                                uint8_t lumaBlack) const {
    m_planes.warp(m_soft.map(), frame, out, lumaBlack);
}

// The processor's picture into the framebuffer as it is, then the grid, the lines and the
// overlay band over it, drawn as renderBits draws them after the frame pass.
void MeshWarper::drawOver() {
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glWindowPos2i(0, 0);
    glDrawPixels(m_options.width, m_options.height, GL_RGBA, GL_UNSIGNED_BYTE, m_picture.data());
    FrameRenderer::enterMeshSpace(static_cast<float>(m_options.width),
                                  static_cast<float>(m_options.height));
    auto in = inputs();
    in.frame = nullptr; // the frame is drawn already
    m_renderer.drawWithRangeX(in, 0, 0, m_mesh->width(), m_mesh->height());
    glPopMatrix();
    glFlush();
}

void MeshWarper::draw(const uint8_t* rgbaBottomFirst, int width, int height, int stride) {
    m_inMemory = false;
    const WarpKernel::Frame frame{rgbaBottomFirst, width, height, stride > 0 ? stride : width * 4,
                                  false};
    if (SoftWarper::aligned(frame) && onProcessor(width, height)) {
        m_picture.resize(static_cast<size_t>(m_options.width) * 4 *
                         static_cast<size_t>(m_options.height));
        warpInto(rgbaBottomFirst, width, height, stride, m_picture.data(), m_options.width * 4);
        if (drawsOver()) {
            drawOver();
        } else {
            m_inMemory = true;
        }
        return;
    }
    upload(rgbaBottomFirst, width, height, stride);
    m_renderer.renderBits(inputs());
}

} // namespace lumenarc
