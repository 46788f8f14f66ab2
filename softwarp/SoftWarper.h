#pragma once

#include "softwarp/WarpKernel.h"
#include "softwarp/WarpMap.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace lumenarc {

class DistortionMatrix;

// The warp on the processor: keeps the warp map of the current mesh, view and frame size,
// rebuilt only when one of them (or the mesh's type or interaction) changes, and warps frames
// through it on several threads, each taking a band of rows.
class SoftWarper {
public:
    // threads <= 0: one per core.
    explicit SoftWarper(int threads = 0);

    // Makes the map fit the inputs (building it if any differs from the last build) and says
    // whether it can draw the frame.
    WarpMap::Status prepare(const DistortionMatrix& mesh, int viewWidth, int viewHeight,
                            int frameWidth, int frameHeight);
    // Whether the map was built for these inputs (whatever it could draw).
    bool builtFor(const WarpMapKey& key) const;
    const WarpMap& map() const { return m_map; }
    // How many times the map was built.
    int builds() const { return m_builds; }
    int threads() const { return m_threads; }

    // Whether the kernel reads this frame's texels as words: its rows start on 4-byte
    // boundaries.
    static bool aligned(const WarpKernel::Frame& frame);

    // Warps one frame through the prepared, ready map into `out` (the view's size, RGBA rows
    // bottom first, `outStride` bytes apart). The frame's size is the one prepared for, and it
    // is aligned().
    void warp(const WarpKernel::Frame& frame, uint8_t* out, ptrdiff_t outStride) const;

    // Runs work(band) for band 0..bands - 1 at once: the calling thread takes band 0, each
    // other band a thread of its own, all joined before this returns.
    static void inBands(int bands, const std::function<void(int band)>& work);

private:
    WarpMap m_map;
    int m_threads;
    int m_builds = 0;
};

} // namespace lumenarc
