#define GL_GLEXT_PROTOTYPES 1
#include "playback/PixelStream.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace lumenarc {
namespace {

constexpr size_t kAlignment = 64;

} // namespace

uint8_t* PixelStream::map(size_t bytes) {
    const int index = m_next;
    m_next = (m_next + 1) % kBuffers;
    if (m_buffers[index] == 0) {
        glGenBuffers(1, &m_buffers[index]);
    }
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, m_buffers[index]);
    const size_t needed = bytes + kAlignment;
    if (m_sizes[index] < needed) {
        glBufferData(GL_PIXEL_UNPACK_BUFFER, static_cast<GLsizeiptr>(needed), nullptr,
                     GL_STREAM_DRAW);
        m_sizes[index] = needed;
    }
    void* memory = glMapBufferRange(GL_PIXEL_UNPACK_BUFFER, 0,
                                    static_cast<GLsizeiptr>(m_sizes[index]), GL_MAP_WRITE_BIT);
    if (memory == nullptr) {
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        return nullptr;
    }
    const auto address = reinterpret_cast<uintptr_t>(memory);
    m_offset = (kAlignment - address % kAlignment) % kAlignment;
    m_mapped = index;
    return static_cast<uint8_t*>(memory) + m_offset;
}

bool PixelStream::unmap() {
    if (m_mapped < 0) {
        return false;
    }
    m_mapped = -1;
    // The buffer stays bound for the upload that follows.
    return glUnmapBuffer(GL_PIXEL_UNPACK_BUFFER) == GL_TRUE;
}

void PixelStream::finish() {
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
}

void PixelStream::release() {
    for (int k = 0; k < kBuffers; ++k) {
        if (m_buffers[k] != 0) {
            glDeleteBuffers(1, &m_buffers[k]);
        }
        m_buffers[k] = 0;
        m_sizes[k] = 0;
    }
}

} // namespace lumenarc
