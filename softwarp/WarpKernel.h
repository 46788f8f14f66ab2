#pragma once

#include <cstddef>
#include <cstdint>

namespace lumenarc {

class WarpMap;

// The frame sampled through a warp map, as the GL drawing blends it: GL_LINEAR's two-by-two
// texels with the map's weights, times the brightness, over black (colour times alpha, alpha
// squared, as source-alpha blending onto a cleared framebuffer gives).
class WarpKernel {
public:
    // RGBA, rows bottom first, `stride` bytes apart; width and height those of the map's key.
    // An opaque frame's fourth byte is undefined (a converter's padding) and read as 255.
    struct Frame {
        const uint8_t* pixels;
        int width;
        int height;
        ptrdiff_t stride;
        bool opaque;
    };

    // Writes rows firstRow..endRow - 1 of the view (bottom first) into `out`, rows `outStride`
    // bytes apart; the map must be ready.
    static void warpRows(const WarpMap& map, const Frame& frame, uint8_t* out, ptrdiff_t outStride,
                         int firstRow, int endRow);

    // One pixel from its four texels (RGBA in memory order), weights in 1/256 and brightness
    // in 1/255: what warpRows writes.
    static uint32_t blend(uint32_t lowerLeft, uint32_t lowerRight, uint32_t upperLeft,
                          uint32_t upperRight, uint32_t weightX, uint32_t weightY,
                          uint32_t brightness);
};

} // namespace lumenarc
