#include "playback/TexturePool.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace lumenarc {

uint32_t TexturePool::acquire(int width, int height) {
    std::vector<GLuint> stale;
    GLuint name = 0;
    {
        std::lock_guard lock(m_mutex);
        if (width != m_width || height != m_height) {
            stale.swap(m_free);
            m_width = width;
            m_height = height;
        } else if (!m_free.empty()) {
            name = m_free.back();
            m_free.pop_back();
        }
    }
    remove(stale);
    return name != 0 ? name : make(width, height);
}

void TexturePool::giveBack(uint32_t name, int width, int height) {
    std::lock_guard lock(m_mutex);
    if (width == m_width && height == m_height) {
        m_free.push_back(name);
    } else {
        m_orphans.push_back(name); // deleted on the render thread at the next drain
    }
}

void TexturePool::dropOrphans() {
    std::vector<GLuint> names;
    {
        std::lock_guard lock(m_mutex);
        names.swap(m_orphans);
    }
    remove(names);
}

void TexturePool::drain() {
    std::vector<GLuint> names;
    {
        std::lock_guard lock(m_mutex);
        names.swap(m_orphans);
        names.insert(names.end(), m_free.begin(), m_free.end());
        m_free.clear();
    }
    remove(names);
}

uint32_t TexturePool::make(int width, int height) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Pictures converted on the processor leave their fourth byte undefined; a frame is opaque.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

void TexturePool::remove(std::vector<uint32_t>& names) {
    if (!names.empty()) {
        glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
    }
}

} // namespace lumenarc
