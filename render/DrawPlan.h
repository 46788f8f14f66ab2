#pragma once

#include "mesh/ProjectionType.h"

#include <cstdint>
#include <vector>

namespace lumenarc {

// What a frame draws, decided without GL: the GL layer only walks these plans.
class DrawPlan {
public:
    // The modelview scale that keeps the mesh square square: one unit spans half the smaller of
    // the view's sides. The ratio is divided in single precision, then widened.
    struct Scale {
        double x = 1.0;
        double y = 1.0;
    };
    static Scale aspectScale(float width, float height);

    // One triangle strip through rows `row` and `row + 1`, columns first..last inclusive; each
    // column gives two vertices, node (x, row) then node (x, row + 1).
    struct Strip {
        int32_t row;
        int32_t firstColumn;
        int32_t lastColumn;
        bool operator==(const Strip&) const = default;
    };
    // One line segment between two nodes.
    struct Segment {
        int32_t x0, y0, x1, y1;
        bool operator==(const Segment&) const = default;
    };

    // A range of nodes: columns x..xMax - 1, rows y..yMax - 1. Empty when xMax <= x or
    // yMax <= y.
    struct Range {
        int32_t x, y, xMax, yMax;
        bool operator==(const Range&) const = default;
    };
    // The part of a range that lies inside a width x height mesh, so that every node a plan
    // names exists. A mesh without nodes (a width or height of 0 or less) gives an empty range.
    static Range clampToMesh(Range range, int32_t width, int32_t height);

    // The last column of the left half of a side-by-side stereo mesh.
    static int32_t stereoSplitColumn(int32_t xMax) { return xMax / 2 - 1; }

    // The plans below accept any 32-bit bounds: they compute in 64 bits, and a range without
    // nodes plans nothing. They hold one entry per row or node, so callers clamp the range to
    // their mesh first.

    // Frame pass: one strip per row, split in two at the stereo column for codes 11..15.
    static void frameStrips(int32_t x, int32_t y, int32_t xMax, int32_t yMax, int32_t type,
                            std::vector<Strip>& out);
    // Grid pass: one strip per row whatever the type.
    static void gridStrips(int32_t x, int32_t y, int32_t xMax, int32_t yMax,
                           std::vector<Strip>& out);
    // Line pass: for each node, its horizontal segment before its vertical one.
    static void lineSegments(int32_t x, int32_t y, int32_t xMax, int32_t yMax,
                             std::vector<Segment>& out);

    // GL wrap parameters of the frame texture for a projection type.
    struct Wrap {
        int32_t s;
        int32_t t;
    };
    static Wrap wrapModes(int32_t type);
};

} // namespace lumenarc
