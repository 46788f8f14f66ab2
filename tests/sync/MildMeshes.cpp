#include "MildMeshes.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace lumenarc::test {
namespace {

constexpr int kColumns = 17, kRows = 11;
// Half the picture's width and height in mesh units: a 16:9 picture that leaves a margin in
// an 800 x 581 view (half its height is one unit).
constexpr double kHalfWidth = 1.3, kHalfHeight = kHalfWidth * 9 / 16;

struct Node {
    double x, y, brightness;
};

// A node of a variant at s, t in 0..1 across and up the picture.
Node node(int variant, double s, double t) {
    const double sx = 2 * s - 1, ty = 2 * t - 1; // -1 .. 1
    const double x = sx * kHalfWidth, y = ty * kHalfHeight;
    const double pi = std::numbers::pi;
    switch (variant) {
    case 1:
        return {x * (1 + 0.03 * ty * ty), y * (1 + 0.04 * sx * sx), 0.75 + 0.25 * t};
    case 2:
        return {x + 0.03 * std::sin(pi * ty), y + 0.02 * std::sin(pi * sx),
                1 - 0.15 * (sx * sx + ty * ty)};
    default:
        return {x, y, 1 - 0.3 * s};
    }
}

} // namespace

std::string MildMeshes::text(int variant) {
    std::string out = "1\n" + std::to_string(kColumns) + " " + std::to_string(kRows) + "\n";
    char line[128];
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const double s = double(c) / (kColumns - 1), t = double(r) / (kRows - 1);
            const Node n = node(variant, s, t);
            std::snprintf(line, sizeof line, "%.6f %.6f %.6f %.6f %.4f\n", n.x, n.y, s, t,
                          n.brightness);
            out += line;
        }
    }
    return out;
}

} // namespace lumenarc::test
