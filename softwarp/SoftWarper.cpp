#include "softwarp/SoftWarper.h"

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace lumenarc {

SoftWarper::SoftWarper(int threads)
    : m_threads(threads > 0 ? threads
                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))) {
}

WarpMap::Status SoftWarper::prepare(const DistortionMatrix& mesh, int viewWidth, int viewHeight,
                                    int frameWidth, int frameHeight) {
    const auto key = WarpMapKey::of(mesh, viewWidth, viewHeight, frameWidth, frameHeight);
    if (!builtFor(key)) {
        m_map.build(&mesh, key);
        ++m_builds;
    }
    return m_map.status();
}

bool SoftWarper::builtFor(const WarpMapKey& key) const {
    return m_map.status() != WarpMap::Status::Empty && m_map.key() == key;
}

bool SoftWarper::aligned(const WarpKernel::Frame& frame) {
    return reinterpret_cast<uintptr_t>(frame.pixels) % 4 == 0 && frame.stride % 4 == 0;
}

void SoftWarper::warp(const WarpKernel::Frame& frame, uint8_t* out, ptrdiff_t outStride) const {
    const int height = m_map.height();
    const int bands = std::clamp(m_threads, 1, std::max(1, height));
    const auto bandStart = [&](int band) {
        return static_cast<int>(int64_t{height} * band / bands);
    };
    inBands(bands, [&](int band) {
        WarpKernel::warpRows(m_map, frame, out, outStride, bandStart(band), bandStart(band + 1));
    });
}

void SoftWarper::inBands(int bands, const std::function<void(int band)>& work) {
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(std::max(0, bands - 1)));
    for (int band = 1; band < bands; ++band) {
        helpers.emplace_back(work, band);
    }
    work(0);
    for (auto& helper : helpers) {
        helper.join();
    }
}

} // namespace lumenarc
