#include "render/DrawPlan.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

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
