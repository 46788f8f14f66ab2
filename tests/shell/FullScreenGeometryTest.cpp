#include "shell/FullScreenGeometry.h"

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

// Upward from a main screen at the top of the desktop there is no screen (on X the root window
// starts at y 0): the window keeps to the rows there are, and says so.
TEST(FullScreenGeometry, KeepsToTheRowsOfScreensThereAre) {
    const Rect main{0, 0, 1920, 1080};
    auto placed = FullScreenGeometry::place(main, {main}, 1, 2);
    expectRect(placed.rect, 0, 0, 1920, 1080);
    EXPECT_TRUE(placed.cut);
    // One row above where three are asked for: the window covers the two there are.
    const Rect lower{0, 1080, 1920, 1080};
    placed = FullScreenGeometry::place(lower, {{0, 0, 1920, 1080}, lower}, 2, 3);
    expectRect(placed.rect, 0, 0, 3840, 2160);
    EXPECT_TRUE(placed.cut);
    // As many as asked for: the window goes up onto them, as before.
    placed = FullScreenGeometry::place(lower, {{0, 0, 1920, 1080}, lower}, 1, 2);
    expectRect(placed.rect, 0, 0, 1920, 2160);
    EXPECT_FALSE(placed.cut);
    // One row, or rows that all exist, are left as they are.
    placed = FullScreenGeometry::place(main, {main}, 2, 1);
    expectRect(placed.rect, 0, 0, 3840, 1080);
    EXPECT_FALSE(placed.cut);
    // Without the list of screens the main screen is the desktop.
    placed = FullScreenGeometry::place(main, {}, 1, 2);
    expectRect(placed.rect, 0, 0, 1920, 1080);
    EXPECT_TRUE(placed.cut);
}

} // namespace
} // namespace lumenarc
