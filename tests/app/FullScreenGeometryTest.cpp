#include "app/FullScreenGeometry.h"

#include <gtest/gtest.h>

namespace lumenarc {
namespace {

using Rect = FullScreenGeometry::Rect;

void expectRect(const Rect& r, float x, float y, float w, float h) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
}

// The window grows right and up from the main screen's lower-left corner; with y downward, up
// is toward smaller y, so a taller window starts above the screen.
TEST(FullScreenGeometry, SpansScreensRightAndUpFromTheLowerLeftCorner) {
    const Rect screen{0, 0, 1280, 800};
    expectRect(FullScreenGeometry::contentRect(screen, 1, 1), 0, 0, 1280, 800);
    expectRect(FullScreenGeometry::contentRect(screen, 2, 1), 0, 0, 2560, 800);
    expectRect(FullScreenGeometry::contentRect(screen, 1, 3), 0, -1600, 1280, 2400);
    expectRect(FullScreenGeometry::contentRect({1920, 100, 1280, 800}, 2, 2), 1920, -700, 2560,
               1600);
}

} // namespace
} // namespace lumenarc
