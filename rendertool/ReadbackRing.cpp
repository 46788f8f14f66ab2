#define GL_GLEXT_PROTOTYPES 1
#include "rendertool/ReadbackRing.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace lumenarc {
namespace {

constexpr GLbitfield kMapping = GL_MAP_READ_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
constexpr GLuint64 kWaitNanoseconds = 10'000'000'000; // far beyond any one picture

} // namespace

std::unique_ptr<ReadbackRing> ReadbackRing::create(int slots, int width, int height, int stride,
                                                   std::string* error) {
    std::unique_ptr<ReadbackRing> ring(new ReadbackRing(width, height, stride));
    const GLsizeiptr bytes = static_cast<GLsizeiptr>(stride) * height;
    for (int k = 0; k < slots; ++k) {
        GLuint buffer = 0;
        glGenBuffers(1, &buffer);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferStorage(GL_PIXEL_PACK_BUFFER, bytes, nullptr, kMapping);
        const void* mapped = glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, bytes, kMapping);
        ring->m_buffers.push_back(buffer);
        ring->m_mapped.push_back(static_cast<const uint8_t*>(mapped));
        ring->m_fences.push_back(nullptr);
        if (mapped == nullptr) {
            glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
            if (error != nullptr) {
                *error = "cannot map a pixel-buffer object for reading back";
            }
            return nullptr;
        }
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return ring;
}

ReadbackRing::~ReadbackRing() {
    for (size_t k = 0; k < m_buffers.size(); ++k) {
        if (m_fences[k] != nullptr) {
            glDeleteSync(static_cast<GLsync>(m_fences[k]));
        }
        if (m_mapped[k] != nullptr) {
            glBindBuffer(GL_PIXEL_PACK_BUFFER, m_buffers[k]);
            glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
        }
        glDeleteBuffers(1, &m_buffers[k]);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

void ReadbackRing::read(int slot) {
    const auto k = static_cast<size_t>(slot);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, m_buffers[k]);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, m_stride / 4);
    glReadPixels(0, 0, m_width, m_height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (m_fences[k] != nullptr) {
        glDeleteSync(static_cast<GLsync>(m_fences[k]));
    }
    m_fences[k] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
}

bool ReadbackRing::wait(int slot) {
    const auto k = static_cast<size_t>(slot);
    if (m_fences[k] == nullptr) {
        return true;
    }
    const GLenum state = glClientWaitSync(static_cast<GLsync>(m_fences[k]),
                                          GL_SYNC_FLUSH_COMMANDS_BIT, kWaitNanoseconds);
    glDeleteSync(static_cast<GLsync>(m_fences[k]));
    m_fences[k] = nullptr;
    return state == GL_ALREADY_SIGNALED || state == GL_CONDITION_SATISFIED;
}

} // namespace lumenarc
