#include "softwarp/PlaneWarper.h"

#include "softwarp/PlaneKernel.h"

#include <algorithm>

namespace lumenarc {

PlaneWarper::PlaneWarper(int threads) : m_chroma(threads) {}

WarpMap::Status PlaneWarper::prepare(const DistortionMatrix& mesh, int viewWidth, int viewHeight,
                                     int frameWidth, int frameHeight, Subsampling frame,
                                     Subsampling picture) {
    m_frameWidth = frameWidth;
    m_frameHeight = frameHeight;
    m_frame = frame;
    m_picture = picture;
    if (sharesLumaMap()) {
        return WarpMap::Status::Ready;
    }
    return m_chroma.prepare(
        mesh, chromaSize(viewWidth, picture.shiftX), chromaSize(viewHeight, picture.shiftY),
        chromaSize(frameWidth, frame.shiftX), chromaSize(frameHeight, frame.shiftY));
}

bool PlaneWarper::sharesLumaMap() const {
    return m_frame == Subsampling{} && m_picture == Subsampling{};
}

void PlaneWarper::warp(const WarpMap& luma, const Frame& frame, const Picture& out,
                       uint8_t lumaBlack) const {
    const WarpMap& chroma = sharesLumaMap() ? luma : m_chroma.map();
    const int bands = std::clamp(m_chroma.threads(), 1, std::max(1, chroma.height()));
    const auto rowOf = [bands](const WarpMap& map, int band) {
        return static_cast<int>(int64_t{map.height()} * band / bands);
    };
    const int chromaWidth = chromaSize(m_frameWidth, m_frame.shiftX);
    const int chromaHeight = chromaSize(m_frameHeight, m_frame.shiftY);
    constexpr uint8_t kChromaMiddle = 128;
    const auto plane = [&](int k, const WarpMap& map, PlaneKernel::Plane in, uint8_t black,
                           int band) {
        const int first = rowOf(map, band);
        const int end = rowOf(map, band + 1);
        if (out.tenBits) {
            PlaneKernel::warpRows10(map, in, reinterpret_cast<uint16_t*>(out.planes[k]),
                                    out.strides[k], first, end, black);
        } else {
            PlaneKernel::warpRows(map, in, out.planes[k], out.strides[k], first, end, black);
        }
    };
    SoftWarper::inBands(bands, [&](int band) {
        plane(0, luma, {frame.planes[0], m_frameWidth, m_frameHeight, frame.strides[0]}, lumaBlack,
              band);
        for (int k = 1; k < 3; ++k) {
            plane(k, chroma, {frame.planes[k], chromaWidth, chromaHeight, frame.strides[k]},
                  kChromaMiddle, band);
        }
    });
}

} // namespace lumenarc
