#pragma once

#include <cstddef>
#include <cstdint>

namespace lumenarc {

class WarpMap;

// One 8-bit plane of a YUV picture sampled through a warp map: GL_LINEAR's two-by-two texels
// with the map's weights, then scaled towards the plane's black by the brightness. Scaling
// Y - black and C - 128 by a factor scales R'G'B' by it, so a picture warped plane by plane
// is the RGB warp's picture over black, without converting to RGB and back.
class PlaneKernel {
public:
    // Rows bottom first, `stride` bytes apart (negative for a picture stored top first);
    // width and height those of the map's key.
    struct Plane {
        const uint8_t* pixels;
        int width;
        int height;
        ptrdiff_t stride;
    };

    // Writes rows firstRow..endRow - 1 of the view (bottom first) into `out`, rows
    // `outStride` bytes apart; pixels the mesh does not cover get `black`.
    static void warpRows(const WarpMap& map, const Plane& plane, uint8_t* out, ptrdiff_t outStride,
                         int firstRow, int endRow, uint8_t black);
    // The same into 10-bit samples in 16 bits, limited range: the 8-bit levels times 4,
    // interpolated at 10 bits. `black` is the 8-bit level.
    static void warpRows10(const WarpMap& map, const Plane& plane, uint16_t* out,
                           ptrdiff_t outStride, int firstRow, int endRow, uint8_t black);
};

} // namespace lumenarc
