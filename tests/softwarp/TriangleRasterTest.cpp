#include "softwarp/TriangleRaster.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace lumenarc {
namespace {

using P = TriangleRaster::Point;
constexpr int64_t kOne = TriangleRaster::kOne;

std::vector<int> coverage(std::initializer_list<std::array<P, 3>> triangles, int w, int h) {
    std::vector<int> hits(static_cast<size_t>(w * h), 0);
    for (const auto& t : triangles) {
        TriangleRaster::forEachPixel(
            t[0], t[1], t[2], w, h,
            [&](int x, int y, double, double, double) { ++hits[static_cast<size_t>(y * w + x)]; });
    }
    return hits;
}

TEST(TriangleRaster, TwoTrianglesOfAQuadTakeEveryCentreOnce) {
    // Corners on pixel centres, so that the shared diagonal and the outer edges run through
    // centres: the fill rule alone decides them.
    const P a{kOne / 2, kOne / 2}, b{7 * kOne + kOne / 2, kOne / 2},
        c{kOne / 2, 5 * kOne + kOne / 2}, d{7 * kOne + kOne / 2, 5 * kOne + kOne / 2};
    const auto hits = coverage({{{a, c, b}}, {{c, b, d}}}, 10, 8);
    int once = 0;
    for (const int n : hits) {
        EXPECT_LE(n, 1);
        once += n;
    }
    EXPECT_EQ(once, 7 * 5); // a 7 x 5 pixel square of centres, half-open on two sides
}

TEST(TriangleRaster, WeightsInterpolateTheCorners) {
    const P a{0, 0}, b{8 * kOne, 0}, c{0, 8 * kOne};
    bool seen = false;
    TriangleRaster::forEachPixel(a, c, b, 8, 8, [&](int x, int y, double wa, double wc, double wb) {
        EXPECT_NEAR(wa + wb + wc, 1.0, 1e-12);
        EXPECT_NEAR(wb * 8, x + 0.5, 1e-9); // the weight of b grows with x
        EXPECT_NEAR(wc * 8, y + 0.5, 1e-9);
        seen = true;
    });
    EXPECT_TRUE(seen);
}

TEST(TriangleRaster, FarVerticesAreRefusedNotWrapped) {
    int64_t out = 0;
    EXPECT_TRUE(TriangleRaster::snap(1000.25, out));
    EXPECT_EQ(out, 1000 * kOne + kOne / 4);
    EXPECT_FALSE(TriangleRaster::snap(1e12, out));
    EXPECT_FALSE(TriangleRaster::snap(std::nan(""), out));
}

} // namespace
} // namespace lumenarc
