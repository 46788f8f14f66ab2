#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace lumenarc {

// One decoded video frame in a GL texture: its target, its name, and the texture coordinates
// of the four corners of the frame's clean aperture (lower-left, lower-right, upper-right,
// upper-left) in the target's own units. Shared: the drawing holds a reference while it draws,
// so the texture goes back to its owner only when nothing uses it any more.
struct FrameTexture {
    using Corner = std::array<float, 2>;

    uint32_t target = 0;
    uint32_t name = 0;
    std::array<Corner, 4> cleanTexCoords{};
    // Where the processor warps the frame: the picture in memory instead of a texture (name 0),
    // owned with the frame. RGBA; `pixels` points at the bottom row, rows `stride` bytes apart
    // (negative for a picture stored top row first).
    struct Picture {
        const uint8_t* pixels = nullptr;
        int width = 0;
        int height = 0;
        ptrdiff_t stride = 0;
    };
    Picture inMemory;

    const Corner& lowerLeft() const { return cleanTexCoords[0]; }
    const Corner& upperRight() const { return cleanTexCoords[2]; }
};

using FrameTextureRef = std::shared_ptr<const FrameTexture>;

} // namespace lumenarc
