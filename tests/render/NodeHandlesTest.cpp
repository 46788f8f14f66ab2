#include "GLTestScene.h"

#include "mesh/DistortionMatrix.h"
#include "render/MeshScreen.h"
#include "render/NodeHandles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace lumenarc {
namespace {

using test::GLTestScene;

// The mouse finds a node where MeshScreen puts it: that must be where the view draws it, in a
// view wider than high (the mesh square scaled to the aspect) as in one higher than wide.
TEST(MeshScreenTest, HandlesAreDrawnWhereTheMappingPutsTheirNodes) {
    for (const auto& [w, h] : {std::pair{120, 60}, std::pair{60, 120}}) {
        SCOPED_TRACE(w);
        GLTestScene scene(w, h);
        ASSERT_TRUE(scene.ok()) << scene.error();
        const std::vector<MeshVertex> nodes{
            {-0.5, -0.5, 0, 0, 1}, {0.5, -0.5, 1, 0, 1}, {-0.5, 0.5, 0, 1, 1}, {0.3, 0.6, 1, 1, 1}};
        const auto mesh = DistortionMatrix::fromNodes(2, 2, nodes, 1);
        ASSERT_TRUE(mesh);
        NodeHandles::Marks marks;
        marks.width = 2;
        marks.height = 2;
        marks.selected = {0, 0, 0, 1};
        auto in = scene.inputs(mesh.get(), nullptr);
        in.nodeMarks = &marks;
        FrameRenderer renderer;
        renderer.renderBits(in);
        const auto pixelAt = [&](double meshX, double meshY, double dx = 0) {
            const auto p =
                MeshScreen::toWindow(meshX, meshY, static_cast<float>(w), static_cast<float>(h));
            return scene.gl().pixel(static_cast<int>(std::floor(p.x + dx)),
                                    static_cast<int>(std::floor(p.y)));
        };
        const auto chosen = pixelAt(0.3, 0.6);
        EXPECT_EQ(chosen.r, 255);
        EXPECT_NEAR(chosen.g, 115, 2);
        EXPECT_EQ(chosen.b, 0);
        const auto plain = pixelAt(-0.5, -0.5);
        EXPECT_NEAR(plain.r, 230, 2);
        EXPECT_NEAR(plain.b, 230, 2);
        // The handle is centred there: 7 points to the side is past its dark rim.
        const auto beside = pixelAt(0.3, 0.6, 7);
        EXPECT_FALSE(beside.r == 255 && beside.b == 0);

        // Back again, and the pointer's moves in mesh units: half the smaller side is one unit.
        const auto p = MeshScreen::toWindow(0.3, 0.6, static_cast<float>(w), static_cast<float>(h));
        const auto back =
            MeshScreen::toMesh(p.x, p.y, static_cast<float>(w), static_cast<float>(h));
        EXPECT_NEAR(back.x, 0.3, 1e-9);
        EXPECT_NEAR(back.y, 0.6, 1e-9);
        const auto unit =
            MeshScreen::toMeshOffset(30, -30, static_cast<float>(w), static_cast<float>(h));
        EXPECT_NEAR(unit.x, 1.0, 1e-6);
        EXPECT_NEAR(unit.y, -1.0, 1e-6);
    }
}

} // namespace
} // namespace lumenarc
