#include "render/DrawPlan.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <utility>

namespace lumenarc {
namespace {

using Strip = DrawPlan::Strip;
using Segment = DrawPlan::Segment;

TEST(DrawPlan, AspectScaleKeepsTheMeshSquareSquare) {
    EXPECT_EQ(DrawPlan::aspectScale(200, 100).x, 0.5);
    EXPECT_EQ(DrawPlan::aspectScale(200, 100).y, 1.0);
    EXPECT_EQ(DrawPlan::aspectScale(100, 200).x, 1.0);
    EXPECT_EQ(DrawPlan::aspectScale(100, 200).y, 0.5);
    EXPECT_EQ(DrawPlan::aspectScale(640, 640).x, 1.0);
    EXPECT_EQ(DrawPlan::aspectScale(640, 640).y, 1.0);
    // The ratio is a float before it is widened: 1920 / 1080 in single precision.
    EXPECT_EQ(DrawPlan::aspectScale(1920, 1080).x, 1.0 / static_cast<double>(1920.0f / 1080.0f));
}

TEST(DrawPlan, StereoTypesSplitEachRowAtTheMiddleColumn) {
    EXPECT_EQ(DrawPlan::stereoSplitColumn(9), 3);
    EXPECT_EQ(DrawPlan::stereoSplitColumn(8), 3);
    std::vector<Strip> strips;
    for (int32_t type = 11; type <= 15; ++type) {
        DrawPlan::frameStrips(0, 0, 8, 3, type, strips);
        EXPECT_EQ(strips, (std::vector<Strip>{{0, 0, 3}, {0, 4, 7}, {1, 0, 3}, {1, 4, 7}}));
    }
    for (int32_t type : {1, 2, 3, 4, 5, 0, 10, 16, -12}) {
        DrawPlan::frameStrips(0, 0, 8, 3, type, strips);
        EXPECT_EQ(strips, (std::vector<Strip>{{0, 0, 7}, {1, 0, 7}})) << type;
    }
    DrawPlan::gridStrips(0, 0, 8, 3, strips); // the grid never splits
    EXPECT_EQ(strips, (std::vector<Strip>{{0, 0, 7}, {1, 0, 7}}));
    DrawPlan::frameStrips(0, 0, 2, 2, 12, strips);
    EXPECT_EQ(strips, (std::vector<Strip>{{0, 0, 0}, {0, 1, 1}}));
}

TEST(DrawPlan, DegenerateMeshes) {
    std::vector<Strip> strips;
    std::vector<Segment> segments;
    DrawPlan::frameStrips(0, 0, 4, 1, 1, strips); // one row: no strip
    EXPECT_TRUE(strips.empty());
    DrawPlan::lineSegments(0, 0, 3, 1, segments); // but horizontal lines
    EXPECT_EQ(segments, (std::vector<Segment>{{0, 0, 1, 0}, {1, 0, 2, 0}}));
    DrawPlan::frameStrips(0, 0, 1, 3, 1, strips); // one column: two-vertex strips
    EXPECT_EQ(strips, (std::vector<Strip>{{0, 0, 0}, {1, 0, 0}}));
    DrawPlan::lineSegments(0, 0, 1, 3, segments); // and vertical lines only
    EXPECT_EQ(segments, (std::vector<Segment>{{0, 0, 0, 1}, {0, 1, 0, 2}}));
    DrawPlan::frameStrips(0, 0, 0, 0, 0, strips); // no mesh
    EXPECT_TRUE(strips.empty());
    DrawPlan::lineSegments(0, 0, 0, 0, segments);
    EXPECT_TRUE(segments.empty());
}

// Bounds from meshes claiming sizes of 0 or less: nothing to plan, and no step of the planning
// may overflow (the sanitizer build checks) or loop over the whole 32-bit range.
TEST(DrawPlan, ExtremeBoundsPlanNothingWithoutOverflow) {
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    std::vector<Strip> strips{{9, 9, 9}};
    std::vector<Segment> segments{{9, 9, 9, 9}};
    for (const auto& [xMax, yMax] : std::vector<std::pair<int32_t, int32_t>>{
             {kMin, 2}, {2, kMin}, {kMin, kMin}, {0, 5}, {5, 0}, {-3, -2}, {kMin, kMax}}) {
        SCOPED_TRACE(std::to_string(xMax) + " x " + std::to_string(yMax));
        for (int32_t type : {1, 12, 0}) {
            DrawPlan::frameStrips(0, 0, xMax, yMax, type, strips);
            EXPECT_TRUE(strips.empty()) << type;
        }
        DrawPlan::gridStrips(0, 0, xMax, yMax, strips);
        EXPECT_TRUE(strips.empty());
        DrawPlan::lineSegments(0, 0, xMax, yMax, segments);
        EXPECT_TRUE(segments.empty());
        EXPECT_EQ(DrawPlan::clampToMesh({0, 0, xMax, yMax}, xMax, yMax),
                  (DrawPlan::Range{0, 0, 0, 0}));
    }
    // The last row and column of the 32-bit range, reached without overflowing past them.
    DrawPlan::frameStrips(kMax - 2, kMax - 2, kMax, kMax, 11, strips);
    EXPECT_EQ(strips, (std::vector<Strip>{{kMax - 2, kMax - 2, kMax - 1}}));
    DrawPlan::lineSegments(kMax - 1, kMax - 1, kMax, kMax, segments);
    EXPECT_TRUE(segments.empty());
    DrawPlan::lineSegments(kMax - 2, kMax - 1, kMax, kMax, segments);
    EXPECT_EQ(segments, (std::vector<Segment>{{kMax - 2, kMax - 1, kMax - 1, kMax - 1}}));
    // The stereo split of the most negative width stays in range.
    EXPECT_EQ(DrawPlan::stereoSplitColumn(kMin), kMin / 2 - 1);
}

TEST(DrawPlan, RangesAreClampedToTheNodesTheMeshHolds) {
    using Range = DrawPlan::Range;
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(DrawPlan::clampToMesh({0, 0, 4, 3}, 4, 3), (Range{0, 0, 4, 3}));
    EXPECT_EQ(DrawPlan::clampToMesh({1, 1, 3, 2}, 4, 3), (Range{1, 1, 3, 2}));
    EXPECT_EQ(DrawPlan::clampToMesh({kMin, kMin, kMax, kMax}, 4, 3), (Range{0, 0, 4, 3}));
    EXPECT_EQ(DrawPlan::clampToMesh({-5, 1, 2, 9}, 4, 3), (Range{0, 1, 2, 3}));
    // Ranges that miss the mesh, and meshes without nodes, give the one empty range.
    for (const auto& [range, width, height] :
         std::vector<std::tuple<Range, int32_t, int32_t>>{{{4, 0, 9, 3}, 4, 3},
                                                          {{0, 3, 4, 9}, 4, 3},
                                                          {{2, 0, 1, 3}, 4, 3},
                                                          {{0, 0, 4, 3}, 0, 3},
                                                          {{0, 0, 4, 3}, 4, kMin},
                                                          {{0, 0, kMax, kMax}, kMin, kMin}}) {
        EXPECT_EQ(DrawPlan::clampToMesh(range, width, height), (Range{0, 0, 0, 0}))
            << width << " x " << height;
    }
}

TEST(DrawPlan, LinesGoHorizontalBeforeVerticalPerNode) {
    std::vector<Segment> segments;
    DrawPlan::lineSegments(0, 0, 2, 2, segments);
    EXPECT_EQ(segments,
              (std::vector<Segment>{{0, 0, 1, 0}, {0, 0, 0, 1}, {1, 0, 1, 1}, {0, 1, 1, 1}}));
}

TEST(DrawPlan, WrapModesFollowTheProjectionType) {
    for (int32_t type : {3, 13}) {
        EXPECT_EQ(DrawPlan::wrapModes(type).s, GL_REPEAT);
        EXPECT_EQ(DrawPlan::wrapModes(type).t, GL_CLAMP_TO_EDGE);
    }
    for (int32_t type : {4, 14}) {
        EXPECT_EQ(DrawPlan::wrapModes(type).s, GL_REPEAT);
        EXPECT_EQ(DrawPlan::wrapModes(type).t, GL_REPEAT);
    }
    for (int32_t type : {1, 2, 5, 11, 12, 15, 0, 6, 10, 16, -3}) {
        EXPECT_EQ(DrawPlan::wrapModes(type).s, GL_CLAMP_TO_EDGE) << type;
        EXPECT_EQ(DrawPlan::wrapModes(type).t, GL_CLAMP_TO_EDGE) << type;
    }
}

} // namespace
} // namespace lumenarc
