#include "input/MeshInteraction.h"
#include "FakeMovie.h"
#include "FakeViewHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace lumenarc {
namespace {

using namespace test;

class MeshInteractionTest : public ::testing::Test {
protected:
    MeshInteractionTest() : view(host, LUMENARC_SHARE_DIR) {
        std::array<MenuItem*, 10> pointers{};
        for (size_t k = 0; k < items.size(); ++k) {
            items[k].itemTag = ProjectionType::all()[k].code;
            pointers[k] = &items[k];
        }
        interaction.setProjectionMenuItems(pointers);
        view.setProjectionMenuHook([this] { interaction.updateProjectionMenuItems(); });
        view.awakeFromNib(); // the built-in planar mesh
    }

    void load(int type, int width = 2) {
        std::string text = std::to_string(type) + " " + std::to_string(width) + " 1";
        for (int k = 0; k < width; ++k) {
            text += " 0 0 0.5 0.5 1";
        }
        view.loadDistortionMatrix(dir.write("mesh.data", text));
    }

    // A drag from (100, 100) by (dx, dy) in `steps` events.
    void drag(float dx, float dy, int steps) {
        interaction.mouseDown({100, 100});
        for (int k = 1; k <= steps; ++k) {
            interaction.mouseDragged({100 + dx * k / steps, 100 + dy * k / steps});
        }
    }

    std::vector<int> ticked() const {
        std::vector<int> out;
        for (const auto& item : items) {
            if (item.value == 1) {
                out.push_back(item.itemTag);
            }
        }
        return out;
    }

    FakeViewHost host;
    TempDir dir;
    std::array<FakeMenuItem, 10> items;
    MyOpenGLView view;
    MeshInteraction interaction{view};
};

TEST_F(MeshInteractionTest, PlanarDragsPanBothWaysInAnyNumberOfSteps) {
    for (int steps : {1, 7}) {
        view.distortionMatrix()->resetInteraction();
        drag(200, 100, steps);
        const auto state = view.distortionMatrix()->interaction();
        EXPECT_NEAR(state.offsetX, -0.2, 1e-6) << steps;
        EXPECT_NEAR(state.offsetY, -0.1, 1e-6) << steps;
        EXPECT_EQ(state.rotation, 0.0);
    }
    EXPECT_EQ(view.mouseDownPoint().x, 300.0f); // the reference follows every event
}

TEST_F(MeshInteractionTest, EachProjectionTypeDragsItsOwnWay) {
    load(2); // fisheye: 50 points right turn half a radian; vertical moves nothing
    drag(50, 80, 5);
    EXPECT_NEAR(view.distortionMatrix()->interaction().rotation, 0.5, 1e-6);
    EXPECT_EQ(view.distortionMatrix()->interaction().offsetY, 0.0);
    for (int type : {3, 4, 13, 14}) { // horizontal pan only
        load(type);
        drag(100, 100, 3);
        EXPECT_NEAR(view.distortionMatrix()->interaction().offsetX, -0.1, 1e-6) << type;
        EXPECT_EQ(view.distortionMatrix()->interaction().offsetY, 0.0) << type;
    }
    for (int type : {5, 15}) { // cubic: nothing, but the reference point still moves
        load(type);
        drag(100, 100, 3);
        const auto state = view.distortionMatrix()->interaction();
        EXPECT_EQ(state.offsetX + state.offsetY + state.rotation, 0.0) << type;
        EXPECT_EQ(view.mouseDownPoint().y, 200.0f);
    }
    EXPECT_EQ(MeshInteraction::dragStep(7, 10, 10).kind, DragKind::None);
    EXPECT_EQ(MeshInteraction::dragStep(11, 10, 10).kind, DragKind::PanUV);
}

TEST_F(MeshInteractionTest, TogglesFlipAndRetitle) {
    FakeMenuItem grid, lines;
    interaction.toggleDistortionMatrix(grid);
    EXPECT_TRUE(view.showDistortionMatrix());
    EXPECT_EQ(grid.text, "Hide Distortion Matrix");
    interaction.toggleDistortionMatrix(grid);
    EXPECT_FALSE(view.showDistortionMatrix());
    EXPECT_EQ(grid.text, "Show Distortion Matrix");
    interaction.toggleMeshLines(lines);
    EXPECT_TRUE(view.showGridLines());
    EXPECT_EQ(lines.text, "Hide Grid Lines");
    interaction.toggleMeshLines(lines);
    EXPECT_EQ(lines.text, "Show Grid Lines");
    EXPECT_FALSE(view.showGridLines());
}

TEST_F(MeshInteractionTest, WindowSizesFollowTheMovie) {
    view.setMovie(std::make_shared<FakeMovie>());
    view.setMovieSize({640, 480});
    FakeMenuItem item;
    item.itemTag = 2;
    interaction.setWindowSize(item);
    item.itemTag = 1;
    interaction.setWindowSize(item);
    item.itemTag = 3;
    interaction.setWindowSize(item);
    ASSERT_EQ(host.contentSizes.size(), 2u);
    EXPECT_EQ(host.contentSizes[0], (std::pair<float, float>{1280, 984}));
    EXPECT_EQ(host.contentSizes[1], (std::pair<float, float>{640, 504}));
    EXPECT_EQ(host.centrings, 1 + 2); // once at waking, then after each resize
}

// Without a movie there is no size to go by: the window stays as it is, rather than shrinking
// to a control bar.
TEST_F(MeshInteractionTest, WindowSizesDoNothingWithoutAMovie) {
    FakeMenuItem item;
    item.itemTag = 1;
    interaction.setWindowSize(item); // none ever opened: 0 x 0
    view.setMovieSize({640, 480});   // one was open, and the next failed to open
    interaction.setWindowSize(item);
    view.setMovie(std::make_shared<FakeMovie>());
    view.setMovieSize({0, 0}); // a movie without a picture
    interaction.setWindowSize(item);
    EXPECT_TRUE(host.contentSizes.empty());
    EXPECT_EQ(host.centrings, 1); // at waking only
    EXPECT_FALSE(MeshInteraction::windowContentSize(2, 0, 480));
    EXPECT_FALSE(MeshInteraction::windowContentSize(1, 640, -1));
}

TEST_F(MeshInteractionTest, OverridesTickTheirItemAndKeepThePan) {
    EXPECT_EQ(ticked(), std::vector<int>{1});
    drag(100, 0, 1);
    FakeMenuItem override;
    override.itemTag = 11;
    interaction.overrideProjectionType(override);
    EXPECT_EQ(ticked(), std::vector<int>{11});
    EXPECT_EQ(view.distortionMatrix()->projectionType(), 11);
    override.itemTag = 7; // not a code: stored, nothing ticked, drags do nothing
    interaction.overrideProjectionType(override);
    EXPECT_TRUE(ticked().empty());
    EXPECT_EQ(view.distortionMatrix()->projectionType(), 7);
    const double before = view.distortionMatrix()->interaction().offsetX;
    EXPECT_NE(before, 0.0);
    drag(100, 0, 1);
    EXPECT_EQ(view.distortionMatrix()->interaction().offsetX, before);
    interaction.resetInteraction();
    EXPECT_EQ(view.distortionMatrix()->interaction().offsetX, 0.0);
    EXPECT_EQ(view.distortionMatrix()->projectionType(), 7); // the override stays
    load(4); // a loaded mesh brings its own type and ticks it
    EXPECT_EQ(ticked(), std::vector<int>{4});
    view.loadDistortionMatrix(dir.write("bad.data", "junk")); // a failed load changes nothing
    EXPECT_EQ(ticked(), std::vector<int>{4});
    EXPECT_EQ(host.alerts.size(), 1u);
}

// The menu may list its items in any order: each item is ticked by its tag, not its place.
TEST_F(MeshInteractionTest, TheProjectionMenuTicksByTagInAnyOrder) {
    std::array<MenuItem*, 10> reversed{};
    for (size_t k = 0; k < items.size(); ++k) {
        reversed[k] = &items[items.size() - 1 - k];
    }
    interaction.setProjectionMenuItems(reversed);
    for (const auto& type : ProjectionType::all()) {
        FakeMenuItem override;
        override.itemTag = type.code;
        interaction.overrideProjectionType(override);
        EXPECT_EQ(ticked(), std::vector<int>{type.code}) << type.code;
    }
    load(3);
    EXPECT_EQ(ticked(), std::vector<int>{3});
}

} // namespace
} // namespace lumenarc
