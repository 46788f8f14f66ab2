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
// reads a framebuffer back. Only the pixels drawn are kept, as runs along each row (what lies
// between them stays black), at seven bytes a pixel: a 3840x2160 view takes 58 MB at most.
class WarpMap {
public:
    enum class Status {
        Empty,       // nothing built yet
        Ready,       // the map draws the frame
        Overlapping, // triangles overlap on screen (a folded mesh): only blending draws it
        OutOfRange,  // a node lies too far outside the view to rasterise exactly
    };
    static const char* describe(Status status);

    // Builds the map of `mesh` for the key (made from that mesh, or naming no mesh: nothing
    // drawn); the old map is dropped first.
    Status build(const DistortionMatrix* mesh, const WarpMapKey& key);

    Status status() const { return m_status; }
    const WarpMapKey& key() const { return m_key; }
    int width() const { return m_key.viewWidth; }
    int height() const { return m_key.viewHeight; }
    bool repeatS() const { return m_repeatS; }
    bool repeatT() const { return m_repeatT; }
    size_t bytes() const;

    // A run of drawn pixels along a row: columns start..start + length - 1, their entries in
    // the arrays below from `entry` on.
    struct Span {
        int32_t start;
        int32_t length;
        size_t entry;
    };
    // The runs of a row (0 is the bottom one), left to right.
    const Span* spansBegin(int row) const {
        return m_spans.data() + m_rowSpans[static_cast<size_t>(row)];
    }
    const Span* spansEnd(int row) const {
        return m_spans.data() + m_rowSpans[static_cast<size_t>(row) + 1];
    }

    // Whether the frame shows at pixel (x, y): covered, with a brightness above 0.
    bool drawn(int x, int y) const;

    // Per drawn pixel, run by run: the lower-left texel of the pair GL_LINEAR blends
    // (already wrapped or clamped), the weights of the right and upper texels in 1/256
    // (0 where clamping makes both texels one), and the brightness in 1/255.
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
    void keepDrawnPixels();

    WarpMapKey m_key;
    Status m_status = Status::Empty;
    bool m_repeatS = false;
    bool m_repeatT = false;
    std::vector<uint16_t> m_texelX;
    std::vector<uint16_t> m_texelY;
    std::vector<uint8_t> m_weightX;
    std::vector<uint8_t> m_weightY;
    std::vector<uint8_t> m_brightness;
    std::vector<Span> m_spans;
    std::vector<size_t> m_rowSpans; // per row, its first span; one more at the end
};

} // namespace lumenarc
