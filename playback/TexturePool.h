#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace lumenarc {

// Frame textures of one size, reused frame after frame. A frame hands its texture back when its
// last user lets go, from whatever thread; textures are made and deleted on the render thread
// only, with the GL context current.
class TexturePool {
public:
    // Render thread: a texture of this size, RGBA8, linear filtering, alpha read as 1.
    uint32_t acquire(int width, int height);
    // Any thread.
    void giveBack(uint32_t name, int width, int height);
    // Render thread: deletes the textures of an old size handed back since the last call.
    void dropOrphans();
    // Render thread: deletes every texture not in use.
    void drain();

private:
    static uint32_t make(int width, int height);
    static void remove(std::vector<uint32_t>& names);

    std::mutex m_mutex;
    std::vector<uint32_t> m_free;
    std::vector<uint32_t> m_orphans;
    int m_width = 0;
    int m_height = 0;
};

} // namespace lumenarc
