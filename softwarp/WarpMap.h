#pragma once

#include "softwarp/WarpMapKey.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumenarc {

class DistortionMatrix;

// For every pixel of the view, what drawing the frame through the mesh computes there: the
// frame texel pair that GL_LINEAR blends with its weights, after the projection type's wrap
// or clamp, and the brightness. Built from the same strips, the same node samples and the same
// barycentric interpolation at pixel centres as the GL drawing. Rows bottom first, as GL
// reads a framebuffer back. Seven bytes a pixel: a 3840x2160 view takes 58 MB.
class WarpMap {
public:
    enum class Status {
        Empty,       // nothing built yet
        Ready,       // the map draws the frame
        Overlapping, // triangles overlap on screen (a folded mesh): only blending draws it
        OutOfRange,  // a node lies too far outside the view to rasterise exactly
    };
    static const char* describe(Status status);

    // Builds the map for the key (which names the mesh); the old map is dropped first.
    Status build(const WarpMapKey& key);

    Status status() const { return m_status; }
    const WarpMapKey& key() const { return m_key; }
    int width() const { return m_key.viewWidth; }
    int height() const { return m_key.viewHeight; }
    bool repeatS() const { return m_repeatS; }
    bool repeatT() const { return m_repeatT; }
    size_t bytes() const;

    // Per pixel, row by row from the bottom: the lower-left texel of the pair GL_LINEAR blends
    // (already wrapped or clamped), the weights of the right and upper texels in 1/256
    // (0 where clamping makes both texels one), and the brightness in 1/255 (0 where no
    // triangle covers the pixel).
    const uint16_t* texelX() const { return m_texelX.data(); }
    const uint16_t* texelY() const { return m_texelY.data(); }
    const uint8_t* weightX() const { return m_weightX.data(); }
    const uint8_t* weightY() const { return m_weightY.data(); }
    const uint8_t* brightness() const { return m_brightness.data(); }

    // One axis of GL_LINEAR's texel pair for a texture coordinate: the lower texel, already
    // wrapped or clamped, and the weight of the upper one in 1/256.
    struct Texel {
        uint16_t index;
        uint8_t weight;
    };
    static Texel texel(double coordinate, int32_t size, bool repeat);

private:
    void clear();

    WarpMapKey m_key;
    Status m_status = Status::Empty;
    bool m_repeatS = false;
    bool m_repeatT = false;
    std::vector<uint16_t> m_texelX;
    std::vector<uint16_t> m_texelY;
    std::vector<uint8_t> m_weightX;
    std::vector<uint8_t> m_weightY;
    std::vector<uint8_t> m_brightness;
};

} // namespace lumenarc
