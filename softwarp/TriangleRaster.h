#pragma once

#include <algorithm>
#include <cstdint>

namespace lumenarc {

// Which pixel centres a triangle covers, decided as a rasteriser decides: vertices snapped to a
// sub-pixel grid, exact integer edge functions, and a top-left rule for centres that lie on an
// edge, so that two triangles sharing an edge never both take a pixel and never both leave
// it. Window coordinates: x right, y up, pixel (px, py) has its centre at (px + 0.5, py + 0.5).
class TriangleRaster {
public:
    static constexpr int kSubpixelBits = 8;
    static constexpr int64_t kOne = int64_t{1} << kSubpixelBits;
    // Farthest a vertex may lie from the window, in pixels, for the edge functions to stay
    // exact in 64 bits.
    static constexpr double kGuardBand = 1 << 20;

    struct Point {
        int64_t x, y; // in 1 / kOne of a pixel
    };

    // The snapped coordinate; false when the value is not finite or beyond the guard band.
    static bool snap(double window, int64_t& snapped);

    // Calls visit(px, py, wa, wb, wc) for each pixel in [0, width) x [0, height) whose centre
    // the triangle covers, with the barycentric weights of that centre (they sum to 1). A
    // triangle without area covers nothing.
    template <class Visit>
    static void forEachPixel(Point a, Point b, Point c, int width, int height, Visit&& visit);

private:
    static int64_t edge(Point from, Point to, int64_t x, int64_t y) {
        return (to.x - from.x) * (y - from.y) - (to.y - from.y) * (x - from.x);
    }
    // Centres exactly on an edge belong to the triangle on its left when the edge runs down,
    // or runs left along a row (for a counter-clockwise triangle: its left and top edges).
    static bool ownsEdge(Point from, Point to) {
        return to.y < from.y || (to.y == from.y && to.x < from.x);
    }
    static int64_t firstCentre(int64_t low) { // the first pixel whose centre is >= low
        return floorDiv(low - kOne / 2 + kOne - 1, kOne);
    }
    static int64_t lastCentre(int64_t high) { // the last pixel whose centre is <= high
        return floorDiv(high - kOne / 2, kOne);
    }
    static int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
};

template <class Visit>
void TriangleRaster::forEachPixel(Point a, Point b, Point c, int width, int height, Visit&& visit) {
    int64_t area = edge(a, b, c.x, c.y);
    if (area == 0) {
        return;
    }
    const bool flipped = area < 0; // walk it counter-clockwise; report weights in given order
    if (flipped) {
        std::swap(b, c);
        area = -area;
    }
    const int64_t x0 = std::max<int64_t>(firstCentre(std::min({a.x, b.x, c.x})), 0);
    const int64_t x1 = std::min<int64_t>(lastCentre(std::max({a.x, b.x, c.x})), width - 1);
    const int64_t y0 = std::max<int64_t>(firstCentre(std::min({a.y, b.y, c.y})), 0);
    const int64_t y1 = std::min<int64_t>(lastCentre(std::max({a.y, b.y, c.y})), height - 1);
    const bool ownsBc = ownsEdge(b, c);
    const bool ownsCa = ownsEdge(c, a);
    const bool ownsAb = ownsEdge(a, b);
    const double inverse = 1.0 / static_cast<double>(area);
    for (int64_t py = y0; py <= y1; ++py) {
        const int64_t cy = py * kOne + kOne / 2;
        for (int64_t px = x0; px <= x1; ++px) {
            const int64_t cx = px * kOne + kOne / 2;
            const int64_t ea = edge(b, c, cx, cy); // weight of a
            const int64_t eb = edge(c, a, cx, cy);
            const int64_t ec = edge(a, b, cx, cy);
            if ((ea > 0 || (ea == 0 && ownsBc)) && (eb > 0 || (eb == 0 && ownsCa)) &&
                (ec > 0 || (ec == 0 && ownsAb))) {
                const double wa = static_cast<double>(ea) * inverse;
                const double wb = static_cast<double>(eb) * inverse;
                const double wc = static_cast<double>(ec) * inverse;
                if (flipped) {
                    visit(static_cast<int>(px), static_cast<int>(py), wa, wc, wb);
                } else {
                    visit(static_cast<int>(px), static_cast<int>(py), wa, wb, wc);
                }
            }
        }
    }
}

} // namespace lumenarc
