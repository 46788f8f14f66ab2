#include "view/ProcessorWarp.h"

#include "base/DeveloperLog.h"
#include "mesh/DistortionMatrix.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <string>

namespace lumenarc {
namespace {

// Makes (when its size changed) a 2D RGBA texture and uploads rows `rowLength` pixels apart;
// an opaque one ignores the fourth bytes.
void uploadTexture(FrameTexture& texture, int& texWidth, int& texHeight, int width, int height,
                   const uint8_t* rows, int rowLength, GLint filter, bool opaque) {
    if (texture.name == 0) {
        glGenTextures(1, &texture.name);
        texture.target = GL_TEXTURE_2D;
    }
    glBindTexture(GL_TEXTURE_2D, texture.name);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    if (width != texWidth || height != texHeight) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        if (opaque) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
        }
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rows);
        texWidth = width;
        texHeight = height;
    } else {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rows);
    }
    glPopClientAttrib();
    glBindTexture(GL_TEXTURE_2D, 0);
}

} // namespace

ProcessorWarp::Drawing ProcessorWarp::prepare(const DistortionMatrix* mesh,
                                              const FrameTexture::Picture& picture,
                                              Clock::time_point now) {
    m_waiting = false;
    if (mesh == nullptr || picture.pixels == nullptr) {
        return {};
    }
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int width = viewport[2];
    const int height = viewport[3];
    // A converted picture's fourth byte is padding: the frame is opaque.
    const WarpKernel::Frame frame{picture.pixels, picture.width, picture.height, picture.stride,
                                  true};
    const auto key = WarpMapKey::of(*mesh, width, height, picture.width, picture.height);
    if (width > 0 && height > 0 && SoftWarper::aligned(frame) && mapReady(*mesh, key, now)) {
        return {warp(picture, width, height), nullptr};
    }
    return {nullptr, upload(picture)};
}

bool ProcessorWarp::mapReady(const DistortionMatrix& mesh, const WarpMapKey& key,
                             Clock::time_point now) {
    if (!(key == m_seen)) {
        m_seen = key;
        m_changedAt = now;
    }
    if (!m_soft.builtFor(key)) {
        if (!rested(now - m_changedAt, m_buildTime)) {
            m_waiting = true;
            return false; // still changing: the triangles follow it at once
        }
        const auto start = Clock::now();
        const auto status =
            m_soft.prepare(mesh, key.viewWidth, key.viewHeight, key.frameWidth, key.frameHeight);
        m_buildTime = Clock::now() - start;
        if (status != WarpMap::Status::Ready && mesh.serial() != m_refusedMesh) {
            m_refusedMesh = mesh.serial();
            DeveloperLog::write(std::string("GL draws this mesh's triangles: the processor's "
                                            "warp map cannot (") +
                                WarpMap::describe(status) + ")");
        }
    }
    return m_soft.map().status() == WarpMap::Status::Ready;
}

const FrameTexture* ProcessorWarp::warp(const FrameTexture::Picture& picture, int width,
                                        int height) {
    m_warped.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    m_soft.warp({picture.pixels, picture.width, picture.height, picture.stride, true},
                m_warped.data(), ptrdiff_t{width} * 4);
    uploadTexture(m_warpedTexture, m_warpedWidth, m_warpedHeight, width, height, m_warped.data(), 0,
                  GL_NEAREST, false);
    return &m_warpedTexture;
}

const FrameTexture* ProcessorWarp::upload(const FrameTexture::Picture& picture) {
    // GL takes rows upwards from the first in memory: a picture stored top row first is
    // uploaded as it lies and turned by its corners.
    const bool topRowFirst = picture.stride < 0;
    const ptrdiff_t rowBytes = topRowFirst ? -picture.stride : picture.stride;
    const uint8_t* first =
        topRowFirst ? picture.pixels + picture.stride * (picture.height - 1) : picture.pixels;
    uploadTexture(m_pictureTexture, m_pictureWidth, m_pictureHeight, picture.width, picture.height,
                  first, static_cast<int>(rowBytes / 4), GL_LINEAR, true);
    const float low = topRowFirst ? 1.0f : 0.0f;
    const float high = topRowFirst ? 0.0f : 1.0f;
    m_pictureTexture.cleanTexCoords = {{{0, low}, {1, low}, {1, high}, {0, high}}};
    return &m_pictureTexture;
}

void ProcessorWarp::release() {
    for (FrameTexture* texture : {&m_warpedTexture, &m_pictureTexture}) {
        if (texture->name != 0) {
            glDeleteTextures(1, &texture->name);
            texture->name = 0;
        }
    }
    m_warpedWidth = m_warpedHeight = m_pictureWidth = m_pictureHeight = 0;
    m_warped = {};
}

} // namespace lumenarc
