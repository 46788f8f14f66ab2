#include "shell/WindowFit.h"

#include <gtest/gtest.h>

namespace lumenarc {
namespace {

using Size = WindowFit::Size;

// A 1280 x 1024 screen whose windows get a menu bar of 19 points and no borders.
const Size kScreen{1280, 1024};
const Size kMenuBar{0, 19};

TEST(WindowFit, WhatFitsIsKeptAsAsked) {
    EXPECT_EQ(WindowFit::fitContent({640, 504}, 24, kMenuBar, kScreen), (Size{640, 504}));
    EXPECT_EQ(WindowFit::fitContent({1280, 984}, 24, kMenuBar, kScreen), (Size{1280, 984}));
    EXPECT_EQ(WindowFit::fitContent({1280, 1005}, 24, kMenuBar, kScreen), (Size{1280, 1005}));
}

TEST(WindowFit, WhatDoesNotFitShrinksKeepingThePicturesShape) {
    // Twice a 1920 x 1080 movie: 3840 x 2184 of picture, held to the screen's width.
    const Size doubled = WindowFit::fitContent({3840, 2184}, 24, kMenuBar, kScreen);
    EXPECT_EQ(doubled, (Size{1280, 720 + 24}));
    // Too tall: held to the height left by the menu bar and the control bar.
    const Size tall = WindowFit::fitContent({1000, 2024}, 24, kMenuBar, kScreen);
    EXPECT_EQ(tall.height, 1024 - 19);
    EXPECT_NEAR(tall.width / (tall.height - 24), 1000.0 / 2000.0, 0.002);
    // Borders count too: the whole window stays within the screen.
    const Size framed = WindowFit::fitContent({3840, 2184}, 24, {10, 50}, {1920, 1080});
    EXPECT_LE(framed.width + 10, 1920);
    EXPECT_LE(framed.height + 50, 1080);
    EXPECT_NEAR(framed.width / (framed.height - 24), 3840.0 / 2160.0, 0.005);
}

TEST(WindowFit, NoRoomOrNoShapeGivesTheSmallestPicture) {
    EXPECT_EQ(WindowFit::fitContent({640, 504}, 24, kMenuBar, {0, 0}), (Size{1, 25}));
    EXPECT_EQ(WindowFit::fitContent({5000, 24}, 24, kMenuBar, kScreen), (Size{1, 24}));
    const Size odd = WindowFit::fitContent({-5, 3000}, 24, kMenuBar, kScreen);
    EXPECT_EQ(odd, (Size{0, 25}));
}

} // namespace
} // namespace lumenarc
