#include "warp/MeshWarper.h"

#include "render/TextureLoader.h"
#include "render/ViewSetup.h"

#include <GL/gl.h>
#include <filesystem>
#include <unistd.h>

namespace lumenarc {

std::unique_ptr<DistortionMatrix> MeshWarper::loadMesh(const WarpOptions& options) {
    auto mesh = DistortionMatrix::initFromFile(options.mesh);
    if (!mesh) {
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

MeshWarper::MeshWarper(std::unique_ptr<DistortionMatrix> mesh, const WarpOptions& options)
    : m_mesh(std::move(mesh)), m_options(options) {
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

void MeshWarper::draw(const uint8_t* rgbaBottomFirst, int width, int height, int stride) {
    upload(rgbaBottomFirst, width, height, stride);
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
    m_renderer.renderBits(in);
}

} // namespace lumenarc
