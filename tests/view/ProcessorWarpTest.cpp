#include "view/ProcessorWarp.h"

#include "render/GLTestScene.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using Clock = ProcessorWarp::Clock;

class ProcessorWarpTest : public ::testing::Test {
protected:
    static constexpr int kView = 64;
    static constexpr int kPicture = 16;

    void SetUp() override { ASSERT_TRUE(m_scene.ok()) << m_scene.error(); }
    void TearDown() override { m_warp.release(); }

    // A picture in memory as the converter leaves it: top row first, padding in the fourth
    // byte.
    FrameTexture::Picture picture() {
        m_pixels.assign(static_cast<size_t>(kPicture) * kPicture * 4, 200);
        const ptrdiff_t rowBytes = kPicture * 4;
        return {m_pixels.data() + rowBytes * (kPicture - 1), kPicture, kPicture, -rowBytes};
    }
    bool warped(const DistortionMatrix& mesh, Clock::time_point when) {
        const auto drawing = m_warp.prepare(&mesh, picture(), when);
        EXPECT_NE(drawing.warped == nullptr, drawing.triangles == nullptr);
        return drawing.warped != nullptr;
    }

    test::GLTestScene m_scene{kView, kView};
    ProcessorWarp m_warp;
    std::vector<uint8_t> m_pixels;
};

TEST_F(ProcessorWarpTest, ADragIsDrawnByTrianglesUntilItRestsThenByTheMap) {
    auto mesh = test::GLTestScene::gridMesh(1, 4, 4);
    const auto start = Clock::now();
    EXPECT_TRUE(warped(*mesh, start)); // the first map is built at once
    // Pans coming faster than a map builds: each frame through the triangles, no map built.
    mesh->offsetX(0.01f, 0);
    EXPECT_FALSE(warped(*mesh, start + 1ns));
    mesh->offsetX(0.01f, 0);
    EXPECT_FALSE(warped(*mesh, start + 2ns));
    EXPECT_FALSE(m_warp.mapDue(start + 2ns));
    // Rested: the picture is due again, and goes through the map.
    EXPECT_TRUE(m_warp.mapDue(start + 10s));
    EXPECT_TRUE(warped(*mesh, start + 10s));
    EXPECT_FALSE(m_warp.mapDue(start + 20s));
}

TEST_F(ProcessorWarpTest, AnEditedMeshGetsItsOwnMapAndAFoldGoesToTheTriangles) {
    auto mesh = test::GLTestScene::gridMesh(1, 4, 4);
    const auto start = Clock::now();
    ASSERT_TRUE(warped(*mesh, start));
    // An edit that folds the mesh, published as a new object of the same size.
    auto nodes = std::vector<MeshVertex>(mesh->vertices().begin(), mesh->vertices().end());
    std::swap(nodes[1].x, nodes[2].x);
    mesh = DistortionMatrix::fromNodes(4, 4, nodes, 1);
    ASSERT_NE(mesh, nullptr);
    EXPECT_FALSE(warped(*mesh, start + 10s));
    EXPECT_FALSE(warped(*mesh, start + 20s));
    EXPECT_FALSE(m_warp.mapDue(start + 30s)); // not waiting: the map cannot draw it
}

} // namespace
} // namespace lumenarc
