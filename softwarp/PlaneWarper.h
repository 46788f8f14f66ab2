#pragma once

#include "softwarp/SoftWarper.h"

#include <cstddef>
#include <cstdint>

namespace lumenarc {

class DistortionMatrix;

// The three 8-bit planes of a YUV frame warped on the processor into a YUV picture of 8 or 10
// bits, with no conversion to RGB and back: the luma through the view's warp map, the chroma
// through a map of the same mesh from the frame's chroma size to the picture's (which also
// changes the subsampling where the two differ; chroma is taken as sited at the centre of its
// luma pixels, in the frame and the picture alike). The picture's chroma must be subsampled
// alike across and down: the mesh keeps the view's shape, and a 4:2:2 chroma plane has
// another. Several threads, each taking a band of rows of every plane.
class PlaneWarper {
public:
    // Rows bottom first (negative strides for pictures stored top first), strides in bytes.
    // A plane's size is the luma's divided by 2^shift, rounded up.
    struct Frame {
        const uint8_t* planes[3];
        ptrdiff_t strides[3];
    };
    struct Picture {
        uint8_t* planes[3];
        ptrdiff_t strides[3];
        bool tenBits = false; // 16-bit samples of 10 bits, limited range
    };
    struct Subsampling {
        int shiftX = 0;
        int shiftY = 0;
        bool operator==(const Subsampling&) const = default;
    };

    static int chromaSize(int size, int shift) { return (size + (1 << shift) - 1) >> shift; }

    // A picture stored top first (as libav keeps its planes and line sizes) as the warp takes
    // it: each plane's last row first, its stride negated.
    template <typename Planes, typename Data>
    static Planes bottomFirst(Data* const* data, const int* linesize, int height,
                              int chromaShiftY) {
        Planes planes{};
        for (int k = 0; k < 3; ++k) {
            const int rows = k == 0 ? height : chromaSize(height, chromaShiftY);
            planes.planes[k] = data[k] + ptrdiff_t{rows - 1} * linesize[k];
            planes.strides[k] = -linesize[k];
        }
        return planes;
    }

    // threads <= 0: one per core.
    explicit PlaneWarper(int threads = 0);

    // Makes the chroma map fit (the luma map is the caller's, built for the same mesh, view
    // and frame) and says whether it can draw the chroma.
    WarpMap::Status prepare(const DistortionMatrix& mesh, int viewWidth, int viewHeight,
                            int frameWidth, int frameHeight, Subsampling frame,
                            Subsampling picture);

    // Warps one frame of the prepared size through `luma` (ready, built for the view and the
    // frame) and the prepared chroma map; pixels the mesh leaves out get the luma's black
    // (an 8-bit level) and the chroma's middle.
    void warp(const WarpMap& luma, const Frame& frame, const Picture& out, uint8_t lumaBlack) const;

private:
    bool sharesLumaMap() const;

    SoftWarper m_chroma;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    Subsampling m_frame;
    Subsampling m_picture;
};

} // namespace lumenarc
