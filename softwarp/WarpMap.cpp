#include "softwarp/WarpMap.h"

#include "mesh/DistortionMatrix.h"
#include "mesh/ProjectionType.h"
#include "render/DrawPlan.h"
#include "softwarp/TriangleRaster.h"

#include <algorithm>
#include <cmath>

namespace lumenarc {
namespace {

// A node as the GL drawing sends it: position in window coordinates (snapped), and the
// texture coordinate and brightness as the floats the vertex carries.
struct Node {
    TriangleRaster::Point position;
    float s, t, i;
};

// The vertex transform of the drawing in single precision: the aspect scale as the modelview,
// the -1..1 projection, then the viewport.
bool toWindow(float coordinate, float scale, int32_t size, int64_t& snapped) {
    const float half = static_cast<float>(size) / 2.0f;
    const float window = coordinate * scale * half + half;
    return TriangleRaster::snap(static_cast<double>(window), snapped);
}

bool sampleNodes(const DistortionMatrix& mesh, const WarpMapKey& key, std::vector<Node>& out) {
    const auto scale = DrawPlan::aspectScale(static_cast<float>(key.viewWidth),
                                             static_cast<float>(key.viewHeight));
    const auto sx = static_cast<float>(scale.x);
    const auto sy = static_cast<float>(scale.y);
    const double c = std::cos(key.rotation);
    const double s = std::sin(key.rotation);
    const auto nodes = mesh.vertices();
    out.resize(nodes.size());
    for (size_t k = 0; k < nodes.size(); ++k) {
        const auto& node = nodes[k];
        Node& n = out[k];
        if (!toWindow(static_cast<float>(node.x), sx, key.viewWidth, n.position.x) ||
            !toWindow(static_cast<float>(node.y), sy, key.viewHeight, n.position.y)) {
            return false;
        }
        n.s = static_cast<float>(DistortionMatrix::sampleU(node, c, s, key.offsetX));
        n.t = static_cast<float>(DistortionMatrix::sampleV(node, c, s, key.offsetY));
        n.i = static_cast<float>(DistortionMatrix::clamp01(node.i));
    }
    return true;
}

} // namespace

const char* WarpMap::describe(Status status) {
    switch (status) {
    case Status::Empty:
        return "no map";
    case Status::Ready:
        return "ready";
    case Status::Overlapping:
        return "triangles of the mesh overlap on screen";
    case Status::OutOfRange:
        return "a node of the mesh lies too far outside the view";
    }
    return "";
}

size_t WarpMap::bytes() const {
    return m_texelX.size() * sizeof(uint16_t) + m_texelY.size() * sizeof(uint16_t) +
           m_weightX.size() + m_weightY.size() + m_brightness.size() +
           m_spans.size() * sizeof(Span) + m_rowSpans.size() * sizeof(size_t);
}

void WarpMap::clear() {
    m_status = Status::Empty;
    for (auto* v : {&m_texelX, &m_texelY}) {
        v->clear();
        v->shrink_to_fit();
    }
    for (auto* v : {&m_weightX, &m_weightY, &m_brightness}) {
        v->clear();
        v->shrink_to_fit();
    }
    m_spans.clear();
    m_spans.shrink_to_fit();
    m_rowSpans.assign(static_cast<size_t>(std::max(m_key.viewHeight, 0)) + 1, 0);
}

// From one entry per pixel to runs of drawn pixels: a pixel of brightness 0 is black whatever
// its texels, as is one that no triangle covers.
void WarpMap::keepDrawnPixels() {
    const auto width = static_cast<size_t>(m_key.viewWidth);
    const auto height = static_cast<size_t>(m_key.viewHeight);
    size_t kept = 0;
    m_rowSpans.assign(height + 1, 0);
    for (size_t row = 0; row < height; ++row) {
        m_rowSpans[row] = m_spans.size();
        size_t x = 0;
        while (x < width) {
            const size_t k = row * width;
            if (m_brightness[k + x] == 0) {
                ++x;
                continue;
            }
            const size_t start = x;
            while (x < width && m_brightness[k + x] != 0) {
                m_texelX[kept] = m_texelX[k + x];
                m_texelY[kept] = m_texelY[k + x];
                m_weightX[kept] = m_weightX[k + x];
                m_weightY[kept] = m_weightY[k + x];
                m_brightness[kept] = m_brightness[k + x];
                ++kept;
                ++x;
            }
            m_spans.push_back(
                {static_cast<int32_t>(start), static_cast<int32_t>(x - start), kept - (x - start)});
        }
    }
    m_rowSpans[height] = m_spans.size();
    for (auto* v : {&m_texelX, &m_texelY}) {
        v->resize(kept);
        v->shrink_to_fit();
    }
    for (auto* v : {&m_weightX, &m_weightY, &m_brightness}) {
        v->resize(kept);
        v->shrink_to_fit();
    }
}

bool WarpMap::drawn(int x, int y) const {
    if (m_status != Status::Ready || y < 0 || y >= m_key.viewHeight) {
        return false;
    }
    for (const Span* span = spansBegin(y); span != spansEnd(y); ++span) {
        if (x >= span->start && x < span->start + span->length) {
            return true;
        }
    }
    return false;
}

WarpMap::Texel WarpMap::texel(double coordinate, int32_t size, bool repeat) {
    if (!std::isfinite(coordinate)) {
        coordinate = 0;
    }
    if (repeat) {
        coordinate -= std::floor(coordinate);
    } else {
        coordinate = std::clamp(coordinate, -1.0, 2.0);
    }
    // GL_LINEAR: the texel pair around coordinate x size - 0.5, weights in 1/256.
    const auto fixed = static_cast<int64_t>(std::floor(coordinate * size * 256.0 - 128.0));
    int64_t lower = fixed >> 8;
    auto weight = static_cast<uint8_t>(fixed & 255);
    if (repeat) {
        lower = (lower % size + size) % size;
    } else if (lower < 0) {
        lower = 0;
        weight = 0;
    } else if (lower >= size - 1) {
        lower = size - 1;
        weight = 0;
    }
    return {static_cast<uint16_t>(lower), weight};
}

WarpMap::Status WarpMap::build(const DistortionMatrix* meshToDraw, const WarpMapKey& key) {
    m_key = key;
    clear();
    const int32_t type = key.type;
    m_repeatS = ProjectionType::wrapSFor(type) == WrapMode::Repeat;
    m_repeatT = ProjectionType::wrapTFor(type) == WrapMode::Repeat;
    const size_t pixels = static_cast<size_t>(key.viewWidth) * static_cast<size_t>(key.viewHeight);
    m_texelX.assign(pixels, 0);
    m_texelY.assign(pixels, 0);
    m_weightX.assign(pixels, 0);
    m_weightY.assign(pixels, 0);
    m_brightness.assign(pixels, 0);
    m_status = Status::Ready;
    if (meshToDraw == nullptr || key.mesh == 0 || key.frameWidth <= 0 || key.frameHeight <= 0) {
        keepDrawnPixels();
        return m_status; // nothing drawn: black
    }
    const DistortionMatrix& mesh = *meshToDraw;
    std::vector<Node> nodes;
    if (!sampleNodes(mesh, key, nodes)) {
        clear();
        m_status = Status::OutOfRange;
        return m_status;
    }
    std::vector<uint8_t> covered(pixels, 0);
    bool overlap = false;
    const auto width = static_cast<size_t>(mesh.width());
    const auto paint = [&](const Node& a, const Node& b, const Node& c) {
        TriangleRaster::forEachPixel(
            a.position, b.position, c.position, key.viewWidth, key.viewHeight,
            [&](int px, int py, double wa, double wb, double wc) {
                const size_t k = static_cast<size_t>(py) * static_cast<size_t>(key.viewWidth) +
                                 static_cast<size_t>(px);
                if (covered[k] != 0) {
                    overlap = true;
                    return;
                }
                covered[k] = 1;
                const double s = wa * a.s + wb * b.s + wc * c.s;
                const double t = wa * a.t + wb * b.t + wc * c.t;
                const double weighted = wa * a.i + wb * b.i + wc * c.i;
                const double i = std::isfinite(weighted) ? std::clamp(weighted, 0.0, 1.0) : 0.0;
                const auto x = texel(s, key.frameWidth, m_repeatS);
                const auto y = texel(t, key.frameHeight, m_repeatT);
                m_texelX[k] = x.index;
                m_weightX[k] = x.weight;
                m_texelY[k] = y.index;
                m_weightY[k] = y.weight;
                m_brightness[k] = static_cast<uint8_t>(std::lrint(i * 255.0));
            });
    };
    std::vector<DrawPlan::Strip> strips;
    DrawPlan::frameStrips(0, 0, mesh.width(), mesh.height(), type, strips);
    for (const auto& strip : strips) {
        // The strip's vertices alternate between its two rows; each three in a row make a
        // triangle, as GL_TRIANGLE_STRIP takes them.
        const auto top = static_cast<size_t>(strip.row) * width;
        for (int32_t x = strip.firstColumn; x < strip.lastColumn && !overlap; ++x) {
            const auto column = static_cast<size_t>(x);
            const Node& n0 = nodes[top + column];
            const Node& n1 = nodes[top + width + column];
            const Node& n2 = nodes[top + column + 1];
            const Node& n3 = nodes[top + width + column + 1];
            paint(n0, n1, n2);
            paint(n1, n2, n3);
        }
        if (overlap) {
            clear();
            m_status = Status::Overlapping;
            return m_status;
        }
    }
    covered.clear();
    covered.shrink_to_fit();
    keepDrawnPixels();
    return m_status;
}

} // namespace lumenarc
