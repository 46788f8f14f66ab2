#include "softwarp/PlaneWarper.h"

#include "softwarp/PlaneKernel.h"

#include <algorithm>

namespace lumenarc {

PlaneWarper::PlaneWarper(int threads) : m_chroma(threads) {}

WarpMap::Status PlaneWarper::prepare(const DistortionMatrix& mesh, int viewWidth, int viewHeight,
                                     int frameWidth, int frameHeight, int shiftX, int shiftY) {
    m_frameWidth = frameWidth;
    m_frameHeight = frameHeight;
    m_shiftX = shiftX;
    m_shiftY = shiftY;
    if (shiftX == 0 && shiftY == 0) {
        return WarpMap::Status::Ready; // the chroma is drawn through the luma's map
    }
    return m_chroma.prepare(mesh, chromaSize(viewWidth, shiftX), chromaSize(viewHeight, shiftY),
                            chromaSize(frameWidth, shiftX), chromaSize(frameHeight, shiftY));
}

const WarpMap& PlaneWarper::chroma(const WarpMap& luma) const {
    return m_shiftX == 0 && m_shiftY == 0 ? luma : m_chroma.map();
}

void PlaneWarper::warp(const WarpMap& luma, const Frame& frame, const Picture& out,
                       uint8_t lumaBlack) const {
    const WarpMap& chromaMap = chroma(luma);
    const int bands = std::clamp(m_chroma.threads(), 1, std::max(1, chromaMap.height()));
    const auto rowOf = [bands](int height, int band) {
        return static_cast<int>(int64_t{height} * band / bands);
    };
    const int chromaWidth = chromaSize(m_frameWidth, m_shiftX);
    const int chromaHeight = chromaSize(m_frameHeight, m_shiftY);
    constexpr uint8_t kChromaMiddle = 128;
    SoftWarper::inBands(bands, [&](int band) {
        PlaneKernel::warpRows(
            luma, {frame.planes[0], m_frameWidth, m_frameHeight, frame.strides[0]}, out.planes[0],
            out.strides[0], rowOf(luma.height(), band), rowOf(luma.height(), band + 1), lumaBlack);
        for (int k = 1; k < 3; ++k) {
            PlaneKernel::warpRows(chromaMap,
                                  {frame.planes[k], chromaWidth, chromaHeight, frame.strides[k]},
                                  out.planes[k], out.strides[k], rowOf(chromaMap.height(), band),
                                  rowOf(chromaMap.height(), band + 1), kChromaMiddle);
        }
    });
}

} // namespace lumenarc
