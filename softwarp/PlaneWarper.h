#pragma once

#include "softwarp/SoftWarper.h"

#include <cstddef>
#include <cstdint>

namespace lumenarc {

class DistortionMatrix;

// The three 8-bit planes of a YUV picture warped on the processor, with no conversion to RGB
// and back: the luma through the view's warp map, the chroma through a map of the same mesh
// over the chroma's own view and frame sizes (subsampled chroma is taken as sited at the
// centre of its luma pixels, in the frame and in the picture alike). Several threads, each
// taking a band of rows of every plane.
class PlaneWarper {
public:
    // Rows bottom first (negative strides for pictures stored top first). The luma's size is
    // the frame's, the chroma's that size divided by 2^shift, rounded up.
    struct Frame {
        const uint8_t* planes[3];
        ptrdiff_t strides[3];
    };
    struct Picture {
        uint8_t* planes[3];
        ptrdiff_t strides[3];
    };

    static int chromaSize(int size, int shift) { return (size + (1 << shift) - 1) >> shift; }

    // threads <= 0: one per core.
    explicit PlaneWarper(int threads = 0);

    // Makes the chroma map fit (the luma map is the caller's, built for the same mesh, view
    // and frame) and says whether it can draw the chroma.
    WarpMap::Status prepare(const DistortionMatrix& mesh, int viewWidth, int viewHeight,
                            int frameWidth, int frameHeight, int shiftX, int shiftY);

    // Warps one frame of the prepared size through `luma` (ready, built for the view and the
    // frame) and the prepared chroma map; pixels the mesh leaves out get the luma's black and
    // the chroma's middle.
    void warp(const WarpMap& luma, const Frame& frame, const Picture& out, uint8_t lumaBlack) const;

private:
    const WarpMap& chroma(const WarpMap& luma) const;

    SoftWarper m_chroma;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    int m_shiftX = 0;
    int m_shiftY = 0;
};

} // namespace lumenarc
