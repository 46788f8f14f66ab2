#include "softwarp/WarpKernel.h"

#include "softwarp/KernelClones.h"
#include "softwarp/WarpMap.h"

#include <algorithm>
#include <cstring>

namespace lumenarc {
namespace {

// Pixels go through in runs: first their texels are gathered (loads the vectoriser cannot
// make), then the arithmetic runs over the whole run in 32-bit lanes that it can.
constexpr int kRun = 256;

// Two 8-bit channels in the low bytes of two 16-bit halves.
constexpr uint32_t kPairs = 0x00FF00FFu;
constexpr uint32_t kHalf = 0x00800080u;

// Both halves divided by 255, rounded (exact for values up to 65535 - 255).
inline uint32_t div255Pairs(uint32_t x) {
    x += kHalf;
    return ((x + ((x >> 8) & kPairs)) >> 8) & kPairs;
}

inline uint32_t div255(uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// The blend of four texels: a lerp across, then up, each rounded, in both channel pairs at
// once; then the source-alpha blend over black.
inline uint32_t blendPixel(uint32_t p00, uint32_t p01, uint32_t p10, uint32_t p11, uint32_t fx,
                           uint32_t fy, uint32_t i) {
    const uint32_t gx = 256 - fx;
    const uint32_t gy = 256 - fy;
    const uint32_t rbLow = ((p00 & kPairs) * gx + (p01 & kPairs) * fx + kHalf) >> 8 & kPairs;
    const uint32_t gaLow =
        (((p00 >> 8) & kPairs) * gx + ((p01 >> 8) & kPairs) * fx + kHalf) >> 8 & kPairs;
    const uint32_t rbHigh = ((p10 & kPairs) * gx + (p11 & kPairs) * fx + kHalf) >> 8 & kPairs;
    const uint32_t gaHigh =
        (((p10 >> 8) & kPairs) * gx + ((p11 >> 8) & kPairs) * fx + kHalf) >> 8 & kPairs;
    const uint32_t rb = (rbLow * gy + rbHigh * fy + kHalf) >> 8 & kPairs;
    const uint32_t gaFine = gaLow * gy + gaHigh * fy; // in 1/256 of a level
    const uint32_t ga = (gaFine + kHalf) >> 8 & kPairs;
    // The source alpha, texel alpha x brightness, from the alpha before its rounding.
    const uint32_t alpha = div255(((gaFine >> 16) * i + 128) >> 8);
    const uint32_t outRb = div255Pairs(rb * alpha);
    const uint32_t outG = div255((ga & 0xFFu) * alpha);
    const uint32_t outA = div255(alpha * alpha);
    return outRb | outG << 8 | outA << 24;
}

} // namespace

uint32_t WarpKernel::blend(uint32_t lowerLeft, uint32_t lowerRight, uint32_t upperLeft,
                           uint32_t upperRight, uint32_t weightX, uint32_t weightY,
                           uint32_t brightness) {
    return blendPixel(lowerLeft, lowerRight, upperLeft, upperRight, weightX, weightY, brightness);
}

LUMENARC_KERNEL_CLONES void WarpKernel::warpRows(const WarpMap& map, const Frame& frame,
                                                 uint8_t* out, ptrdiff_t outStride, int firstRow,
                                                 int endRow) {
    const int width = map.width();
    const int lastX = frame.width - 1;
    const int lastY = frame.height - 1;
    // The texel after the last one: the first again when the axis repeats, else itself.
    const int wrapX = map.repeatS() ? -lastX : 0;
    const int rowTexels = static_cast<int>(frame.stride / 4);
    const int wrapY = map.repeatT() ? -lastY * rowTexels : 0;
    const auto* texels = reinterpret_cast<const uint32_t*>(frame.pixels);
    const uint32_t alpha = frame.opaque ? 0xFF000000u : 0u; // the fourth byte, in memory order
    alignas(64) uint32_t p00[kRun], p01[kRun], p10[kRun], p11[kRun];
    alignas(64) uint32_t result[kRun];
    for (int row = firstRow; row < endRow; ++row) {
        uint8_t* line = out + row * outStride;
        int drawnTo = 0; // black from here to the next run
        for (const auto* span = map.spansBegin(row); span != map.spansEnd(row); ++span) {
            std::memset(line + ptrdiff_t{drawnTo} * 4, 0,
                        static_cast<size_t>(span->start - drawnTo) * 4);
            drawnTo = span->start + span->length;
            for (int done = 0; done < span->length; done += kRun) {
                const int n = std::min(kRun, span->length - done);
                const size_t at = span->entry + static_cast<size_t>(done);
                const uint16_t* tx = map.texelX() + at;
                const uint16_t* ty = map.texelY() + at;
                // Plain indexed loads without branches: with AVX2 they become gathers.
                for (int k = 0; k < n; ++k) {
                    const int x = tx[k];
                    const int y = ty[k];
                    const int dx = x < lastX ? 1 : wrapX;
                    const int dy = y < lastY ? rowTexels : wrapY;
                    const int index = y * rowTexels + x;
                    p00[k] = texels[index] | alpha;
                    p01[k] = texels[index + dx] | alpha;
                    p10[k] = texels[index + dy] | alpha;
                    p11[k] = texels[index + dy + dx] | alpha;
                }
                const uint8_t* wx = map.weightX() + at;
                const uint8_t* wy = map.weightY() + at;
                const uint8_t* bright = map.brightness() + at;
                for (int k = 0; k < n; ++k) {
                    result[k] = blendPixel(p00[k], p01[k], p10[k], p11[k], wx[k], wy[k], bright[k]);
                }
                std::memcpy(line + ptrdiff_t{span->start + done} * 4, result,
                            static_cast<size_t>(n) * 4);
            }
        }
        std::memset(line + ptrdiff_t{drawnTo} * 4, 0, static_cast<size_t>(width - drawnTo) * 4);
    }
}

} // namespace lumenarc
