#include "softwarp/PlaneKernel.h"

#include "softwarp/KernelClones.h"
#include "softwarp/WarpMap.h"

#include <algorithm>

namespace lumenarc {
namespace {

// As in the RGBA kernel: texels gathered first, then the arithmetic over a whole run in
// 32-bit lanes.
constexpr int kRun = 256;

// The two texel pairs blended across, each rounded, and then up, in 1/256 of an 8-bit level.
inline uint32_t blendFine(uint32_t p00, uint32_t p01, uint32_t p10, uint32_t p11, uint32_t fx,
                          uint32_t fy) {
    const uint32_t gx = 256 - fx;
    const uint32_t gy = 256 - fy;
    const uint32_t low = (p00 * gx + p01 * fx + 128) >> 8;
    const uint32_t high = (p10 * gx + p11 * fx + 128) >> 8;
    return low * gy + high * fy;
}

// black + (value - black) x i / 255, kept unsigned, for 8-bit samples: at most 255 x 255,
// where the shift-and-add division by 255 is exact.
struct Eight {
    using Sample = uint8_t;
    static uint32_t black(uint8_t level) { return level; }
    static uint32_t scale(uint32_t fine, uint32_t i, uint32_t black) {
        const uint32_t value = (fine + 128) >> 8;
        const uint32_t x = value * i + black * (255 - i) + 128;
        return (x + (x >> 8)) >> 8;
    }
};

// The same at 10 bits (levels times 4), divided exactly.
struct Ten {
    using Sample = uint16_t;
    static uint32_t black(uint8_t level) { return uint32_t{level} * 4; }
    static uint32_t scale(uint32_t fine, uint32_t i, uint32_t black) {
        const uint32_t value = (fine + 32) >> 6;
        return (value * i + black * (255 - i) + 127) / 255;
    }
};

template <typename Depth>
__attribute__((always_inline)) inline void
warpPlane(const WarpMap& map, const PlaneKernel::Plane& plane, typename Depth::Sample* out,
          ptrdiff_t outStride, int firstRow, int endRow, uint8_t blackLevel) {
    using Sample = typename Depth::Sample;
    const uint32_t black = Depth::black(blackLevel);
    const int lastX = plane.width - 1;
    const int lastY = plane.height - 1;
    const ptrdiff_t stride = plane.stride;
    // The texel after the last one: the first again when the axis repeats, else itself.
    const ptrdiff_t wrapX = map.repeatS() ? -lastX : 0;
    const ptrdiff_t wrapY = map.repeatT() ? -lastY * stride : 0;
    alignas(64) uint32_t p00[kRun], p01[kRun], p10[kRun], p11[kRun];
    for (int row = firstRow; row < endRow; ++row) {
        auto* line = reinterpret_cast<Sample*>(reinterpret_cast<uint8_t*>(out) + row * outStride);
        int drawnTo = 0;
        for (const auto* span = map.spansBegin(row); span != map.spansEnd(row); ++span) {
            std::fill(line + drawnTo, line + span->start, static_cast<Sample>(black));
            drawnTo = span->start + span->length;
            for (int done = 0; done < span->length; done += kRun) {
                const int n = std::min(kRun, span->length - done);
                const size_t at = span->entry + static_cast<size_t>(done);
                const uint16_t* tx = map.texelX() + at;
                const uint16_t* ty = map.texelY() + at;
                for (int k = 0; k < n; ++k) {
                    const int x = tx[k];
                    const int y = ty[k];
                    const ptrdiff_t dx = x < lastX ? 1 : wrapX;
                    const ptrdiff_t dy = y < lastY ? stride : wrapY;
                    const uint8_t* p = plane.pixels + y * stride + x;
                    p00[k] = p[0];
                    p01[k] = p[dx];
                    p10[k] = p[dy];
                    p11[k] = p[dy + dx];
                }
                const uint8_t* wx = map.weightX() + at;
                const uint8_t* wy = map.weightY() + at;
                const uint8_t* bright = map.brightness() + at;
                Sample* into = line + span->start + done;
                for (int k = 0; k < n; ++k) {
                    into[k] = static_cast<Sample>(Depth::scale(
                        blendFine(p00[k], p01[k], p10[k], p11[k], wx[k], wy[k]), bright[k], black));
                }
            }
        }
        std::fill(line + drawnTo, line + map.width(), static_cast<Sample>(black));
    }
}

} // namespace

LUMENARC_KERNEL_CLONES void PlaneKernel::warpRows(const WarpMap& map, const Plane& plane,
                                                  uint8_t* out, ptrdiff_t outStride, int firstRow,
                                                  int endRow, uint8_t black) {
    warpPlane<Eight>(map, plane, out, outStride, firstRow, endRow, black);
}

LUMENARC_KERNEL_CLONES void PlaneKernel::warpRows10(const WarpMap& map, const Plane& plane,
                                                    uint16_t* out, ptrdiff_t outStride,
                                                    int firstRow, int endRow, uint8_t black) {
    warpPlane<Ten>(map, plane, out, outStride, firstRow, endRow, black);
}

} // namespace lumenarc
