#include "softwarp/PlaneKernel.h"

#include "softwarp/KernelClones.h"
#include "softwarp/WarpMap.h"

#include <algorithm>
#include <cstring>

namespace lumenarc {
namespace {

// As in the RGBA kernel: texels gathered first, then the arithmetic over a whole run in
// 32-bit lanes.
constexpr int kRun = 256;

inline uint32_t blendSample(uint32_t p00, uint32_t p01, uint32_t p10, uint32_t p11, uint32_t fx,
                            uint32_t fy, uint32_t i, uint32_t black) {
    const uint32_t gx = 256 - fx;
    const uint32_t gy = 256 - fy;
    const uint32_t low = (p00 * gx + p01 * fx + 128) >> 8;
    const uint32_t high = (p10 * gx + p11 * fx + 128) >> 8;
    const uint32_t value = (low * gy + high * fy + 128) >> 8;
    // black + (value - black) x i / 255, kept unsigned; at most 255 x 255, where the
    // shift-and-add division by 255 is exact.
    const uint32_t x = value * i + black * (255 - i) + 128;
    return (x + (x >> 8)) >> 8;
}

} // namespace

LUMENARC_KERNEL_CLONES void PlaneKernel::warpRows(const WarpMap& map, const Plane& plane,
                                                  uint8_t* out, ptrdiff_t outStride, int firstRow,
                                                  int endRow, uint8_t black) {
    const int lastX = plane.width - 1;
    const int lastY = plane.height - 1;
    const ptrdiff_t stride = plane.stride;
    // The texel after the last one: the first again when the axis repeats, else itself.
    const ptrdiff_t wrapX = map.repeatS() ? -lastX : 0;
    const ptrdiff_t wrapY = map.repeatT() ? -lastY * stride : 0;
    const uint8_t* texels = plane.pixels;
    alignas(64) uint32_t p00[kRun], p01[kRun], p10[kRun], p11[kRun];
    alignas(64) uint8_t result[kRun];
    for (int row = firstRow; row < endRow; ++row) {
        uint8_t* line = out + row * outStride;
        int drawnTo = 0;
        for (const auto* span = map.spansBegin(row); span != map.spansEnd(row); ++span) {
            std::memset(line + drawnTo, black, static_cast<size_t>(span->start - drawnTo));
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
                    const uint8_t* p = texels + y * stride + x;
                    p00[k] = p[0];
                    p01[k] = p[dx];
                    p10[k] = p[dy];
                    p11[k] = p[dy + dx];
                }
                const uint8_t* wx = map.weightX() + at;
                const uint8_t* wy = map.weightY() + at;
                const uint8_t* bright = map.brightness() + at;
                for (int k = 0; k < n; ++k) {
                    result[k] = static_cast<uint8_t>(blendSample(p00[k], p01[k], p10[k], p11[k],
                                                                 wx[k], wy[k], bright[k], black));
                }
                std::memcpy(line + span->start + done, result, static_cast<size_t>(n));
            }
        }
        std::memset(line + drawnTo, black, static_cast<size_t>(map.width() - drawnTo));
    }
}

} // namespace lumenarc
