#include "mesh/DistortionMatrix.h"
#include "softwarp/SoftWarper.h"
#include "softwarp/WarpKernel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace lumenarc {
namespace {

std::unique_ptr<DistortionMatrix> square(int type) {
    return DistortionMatrix::initFromText(std::to_string(type) +
                                          " 2 2  -1 -1 0 0 1  1 -1 1 0 1  -1 1 0 1 1  1 1 1 1 1");
}

TEST(WarpMap, TexelPairFollowsGLLinearWithWrapOrClamp) {
    // Coordinate 0.5 of 4 texels: x = 1.5, texels 1 and 2 half and half.
    EXPECT_EQ(WarpMap::texel(0.5, 4, false).index, 1);
    EXPECT_EQ(WarpMap::texel(0.5, 4, false).weight, 128);
    // Left of the first centre: clamped to texel 0 alone; repeated: between 3 and 0.
    EXPECT_EQ(WarpMap::texel(0.0, 4, false).index, 0);
    EXPECT_EQ(WarpMap::texel(0.0, 4, false).weight, 0);
    EXPECT_EQ(WarpMap::texel(0.0, 4, true).index, 3);
    EXPECT_EQ(WarpMap::texel(0.0, 4, true).weight, 128);
    EXPECT_EQ(WarpMap::texel(1.0, 4, false).index, 3);
    EXPECT_EQ(WarpMap::texel(1.0, 4, false).weight, 0);
    EXPECT_EQ(WarpMap::texel(2.125, 4, true).index, 0); // 0.125 of 4: texel 0.0
    EXPECT_EQ(WarpMap::texel(2.125, 4, true).weight, 0);
}

TEST(WarpMap, RebuiltOnlyWhenAnInputChanges) {
    auto mesh = square(1);
    SoftWarper soft(1);
    ASSERT_EQ(soft.prepare(*mesh, 64, 32, 16, 16), WarpMap::Status::Ready);
    soft.prepare(*mesh, 64, 32, 16, 16);
    EXPECT_EQ(soft.builds(), 1);
    mesh->offsetX(0.1f, 0);
    soft.prepare(*mesh, 64, 32, 16, 16);
    EXPECT_EQ(soft.builds(), 2);
    mesh->setProjectionType(4);
    soft.prepare(*mesh, 64, 32, 16, 16);
    soft.prepare(*mesh, 64, 32, 8, 16);
    soft.prepare(*mesh, 64, 48, 8, 16);
    EXPECT_EQ(soft.builds(), 5);
    EXPECT_TRUE(soft.map().repeatS());
}

TEST(WarpMap, ANewMeshObjectIsANewMapWhereverItLies) {
    SoftWarper soft(1);
    auto mesh = square(1);
    soft.prepare(*mesh, 64, 32, 16, 16);
    mesh.reset();
    // An edit replaces the mesh with a new object of the same size, which the allocator
    // usually places where the old one was.
    mesh = square(1);
    soft.prepare(*mesh, 64, 32, 16, 16);
    EXPECT_EQ(soft.builds(), 2);
}

TEST(WarpMap, FoldedMeshIsNotDrawnByTheMap) {
    // The middle column of nodes lies right of the last: the second quad folds back over the
    // first.
    auto mesh = DistortionMatrix::initFromText("1 3 2  -1 -1 0 0 1  0.8 -1 .5 0 1  0 -1 1 0 1 "
                                               " -1 1 0 1 1  0.8 1 .5 1 1  0 1 1 1 1");
    SoftWarper soft(1);
    EXPECT_EQ(soft.prepare(*mesh, 64, 64, 8, 8), WarpMap::Status::Overlapping);
}

TEST(WarpMap, MapOfA4KViewStaysUnder64MB) {
    // Wider and taller than the view: every pixel is drawn.
    auto mesh = DistortionMatrix::initFromText(
        "1 2 2  -2 -1.1 0 0 1  2 -1.1 1 0 1  -2 1.1 0 1 1  2 1.1 1 1 1");
    SoftWarper soft(1);
    ASSERT_EQ(soft.prepare(*mesh, 3840, 2160, 1920, 1080), WarpMap::Status::Ready);
    EXPECT_TRUE(soft.map().drawn(0, 0));
    EXPECT_TRUE(soft.map().drawn(3839, 2159));
    EXPECT_LE(soft.map().bytes(), size_t{64} * 1000 * 1000);
    std::printf("map of a 3840x2160 view: %zu bytes\n", soft.map().bytes());
}

TEST(WarpKernel, BrightnessScalesColourAndSquaresAlphaOverBlack) {
    const uint32_t grey = 0xFF'40'80'C8u; // R 200, G 128, B 64, A 255
    EXPECT_EQ(WarpKernel::blend(grey, grey, grey, grey, 77, 200, 255), grey);
    const uint32_t half = WarpKernel::blend(grey, grey, grey, grey, 0, 0, 128);
    EXPECT_EQ(half & 0xFF, 100u);
    EXPECT_EQ(half >> 24, 64u); // 128 x 128 / 255
    EXPECT_EQ(WarpKernel::blend(grey, grey, grey, grey, 0, 0, 0), 0u);
    // Halfway between black and white across: 128 of 255.
    EXPECT_EQ(WarpKernel::blend(0xFF000000u, 0xFFFFFFFFu, 0xFF000000u, 0xFFFFFFFFu, 128, 0, 255) &
                  0xFF,
              128u);
}

} // namespace
} // namespace lumenarc
