#include "input/MeshEditor.h"
#include "mesh/DistortionMatrix.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace lumenarc {
namespace {

using Point = MeshEditor::Point;

// A grid of width x height nodes 0.5 apart from (-1, -1), u and v from 0 to 1, i 0.5.
std::vector<MeshVertex> grid(int width, int height) {
    std::vector<MeshVertex> nodes;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            nodes.push_back(
                {-1 + 0.5 * x, -1 + 0.5 * y, x / double(width - 1), y / double(height - 1), 0.5});
        }
    }
    return nodes;
}

// Drawn 100 pixels to a mesh unit, the mesh's origin at (100, 100).
MeshEditor::Point toScreen(double x, double y) {
    return {100 + 100 * x, 100 + 100 * y};
}

bool sameNodes(std::span<const MeshVertex> a, std::span<const MeshVertex> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size_bytes()) == 0;
}

TEST(MeshEditor, SelectsByClickShiftClickRectangleAndRowOrder) {
    MeshEditor editor(3, 2, grid(3, 2)); // screen: row 0 at y 0, row 1 at y 50; x 0, 50, 100
    EXPECT_EQ(editor.nearestNode({48, 40}, toScreen), 4u);
    editor.selectNearest({48, 40}, toScreen, false);
    editor.selectNearest({1, 2}, toScreen, false);
    EXPECT_EQ(editor.selection(), std::vector<size_t>{0});
    editor.selectNearest({100, 49}, toScreen, true);
    EXPECT_EQ(editor.selection(), (std::vector<size_t>{0, 5}));
    editor.selectNearest({0, 0}, toScreen, true); // shift+click on a selected node removes it
    EXPECT_EQ(editor.selection(), std::vector<size_t>{5});

    editor.selectRectangle({60, -10}, {40, 60}, toScreen, false); // the middle column
    EXPECT_EQ(editor.selection(), (std::vector<size_t>{1, 4}));
    editor.selectRectangle({-1, -1}, {1, 1}, toScreen, true);
    EXPECT_EQ(editor.selection(), (std::vector<size_t>{0, 1, 4}));

    editor.selectNext();
    EXPECT_EQ(editor.selection(), std::vector<size_t>{5});
    editor.selectNext(); // wraps
    EXPECT_EQ(editor.selection(), std::vector<size_t>{0});
    editor.selectPrevious();
    EXPECT_EQ(editor.selection(), std::vector<size_t>{5});
    editor.selectAll();
    EXPECT_EQ(editor.selectedCount(), 6u);
    editor.clearSelection();
    EXPECT_EQ(editor.selectedCount(), 0u);
    editor.selectPrevious(); // from nothing: the last node
    EXPECT_EQ(editor.selection(), std::vector<size_t>{5});
}

TEST(MeshEditor, MovesPositionsPictureAndBrightnessOfTheSelectionOnly) {
    const auto loaded = grid(3, 2);
    MeshEditor editor(3, 2, loaded);
    EXPECT_FALSE(editor.moveSelection(1, 1)); // nothing selected: no step
    EXPECT_FALSE(editor.canUndo());

    editor.selectNearest({50, 0}, toScreen, false); // node 1
    const double pixel = MeshEditor::viewPixel(1920, 1080);
    EXPECT_DOUBLE_EQ(pixel, 2.0 / 1080);
    ASSERT_TRUE(editor.moveSelection(0, pixel)); // up arrow
    EXPECT_EQ(editor.nodes()[1].x, loaded[1].x);
    EXPECT_EQ(editor.nodes()[1].y, loaded[1].y + pixel);
    ASSERT_TRUE(editor.moveTexture(-MeshEditor::kTextureStep, MeshEditor::kTextureStep));
    EXPECT_EQ(editor.nodes()[1].u, loaded[1].u - 0.001);
    EXPECT_EQ(editor.nodes()[1].v, loaded[1].v + 0.001);
    EXPECT_EQ(editor.nodes()[1].y, loaded[1].y + pixel); // the light stays

    for (int k = 0; k < 60; ++k) {
        editor.changeBrightness(MeshEditor::kBrightnessStep);
    }
    EXPECT_EQ(editor.nodes()[1].i, 1.0);
    EXPECT_FALSE(editor.changeBrightness(MeshEditor::kBrightnessStep)); // at the top: no step
    for (int k = 0; k < 120; ++k) {
        editor.changeBrightness(-MeshEditor::kBrightnessStep);
    }
    EXPECT_EQ(editor.nodes()[1].i, 0.0);
    for (size_t k = 0; k < loaded.size(); ++k) {
        if (k != 1) {
            EXPECT_TRUE(sameNodes({&editor.nodes()[k], 1}, {&loaded[k], 1})) << k;
        }
    }
}

TEST(MeshEditor, UndoAndRedoGoBackToTheLoadedMeshStepByStep) {
    const auto loaded = grid(3, 3);
    MeshEditor editor(3, 3, loaded);
    EXPECT_FALSE(editor.modified());
    editor.selectAll();
    editor.moveSelection(0.1, 0);
    const std::vector<MeshVertex> afterFirst(editor.nodes().begin(), editor.nodes().end());
    editor.selectNext(); // node 0
    editor.changeBrightness(0.01);
    // A drag, however many updates, is one step.
    editor.beginDrag();
    for (int k = 1; k <= 20; ++k) {
        editor.dragTo(0.01 * k, -0.01 * k);
    }
    editor.endDrag();
    EXPECT_EQ(editor.nodes()[0].y, loaded[0].y - 0.2);
    const std::vector<MeshVertex> edited(editor.nodes().begin(), editor.nodes().end());
    EXPECT_TRUE(editor.modified());

    ASSERT_TRUE(editor.undo()); // the drag
    ASSERT_TRUE(editor.undo()); // the brightness
    EXPECT_TRUE(sameNodes(editor.nodes(), afterFirst));
    ASSERT_TRUE(editor.undo());
    EXPECT_TRUE(sameNodes(editor.nodes(), loaded));
    EXPECT_FALSE(editor.modified());
    EXPECT_FALSE(editor.undo());

    ASSERT_TRUE(editor.redo());
    ASSERT_TRUE(editor.redo());
    ASSERT_TRUE(editor.redo());
    EXPECT_FALSE(editor.redo());
    EXPECT_TRUE(sameNodes(editor.nodes(), edited));

    // A new step after undoing drops what could be redone.
    editor.undo();
    editor.moveTexture(0.001, 0);
    EXPECT_FALSE(editor.canRedo());
    // An unfinished drag is ended by undo and undone as its own step.
    editor.beginDrag();
    editor.dragTo(0.5, 0.5);
    ASSERT_TRUE(editor.undo());
    EXPECT_FALSE(editor.dragging());
    EXPECT_EQ(editor.nodes()[0].x, afterFirst[0].x); // where the drag began
}

// The fall-off is 1 at the selection, 0 at the radius, smooth at both ends; neighbours move
// by it and nodes beyond the radius stay.
TEST(MeshEditor, SoftRadiusMovesNeighboursWithASmoothFallOff) {
    EXPECT_EQ(MeshEditor::falloff(0, 0), 1.0);
    EXPECT_EQ(MeshEditor::falloff(0.1, 0), 0.0);
    EXPECT_EQ(MeshEditor::falloff(0, 1), 1.0);
    EXPECT_DOUBLE_EQ(MeshEditor::falloff(0.5, 1), 0.5);
    EXPECT_DOUBLE_EQ(MeshEditor::falloff(0.25, 1), 1 - 0.15625);
    EXPECT_EQ(MeshEditor::falloff(1, 1), 0.0);
    EXPECT_NEAR(1 - MeshEditor::falloff(1e-4, 1), 0, 1e-7); // flat at the centre
    EXPECT_NEAR(MeshEditor::falloff(1 - 1e-4, 1), 0, 1e-7); // and at the rim

    const auto loaded = grid(5, 1); // x -1, -0.5, 0, 0.5, 1
    MeshEditor editor(5, 1, loaded);
    for (int k = 0; k < 20; ++k) {
        editor.growSoftRadius();
    }
    EXPECT_DOUBLE_EQ(editor.softRadius(), 1.0);
    editor.selectNearest({100, 0}, toScreen, false); // the middle node, x 0
    ASSERT_TRUE(editor.moveSelection(0, 0.2));
    EXPECT_DOUBLE_EQ(editor.nodes()[2].y, loaded[2].y + 0.2);
    EXPECT_DOUBLE_EQ(editor.nodes()[1].y, loaded[1].y + 0.1);
    EXPECT_DOUBLE_EQ(editor.nodes()[3].y, loaded[3].y + 0.1);
    EXPECT_EQ(editor.nodes()[0].y, loaded[0].y);
    EXPECT_EQ(editor.nodes()[4].y, loaded[4].y);
    for (int k = 0; k < 30; ++k) {
        editor.shrinkSoftRadius();
    }
    EXPECT_EQ(editor.softRadius(), 0.0);
    editor.undo();
    EXPECT_TRUE(sameNodes(editor.nodes(), loaded));
}

// Beyond its memory bound the history forgets its oldest steps, never the newest.
TEST(MeshEditor, HistoryIsBoundedByMemory) {
    const auto loaded = grid(3, 3);
    MeshEditor editor(3, 3, loaded, 1000); // room for a handful of one-node steps
    editor.selectNext();
    for (int k = 0; k < 100; ++k) {
        editor.moveSelection(0.001, 0);
    }
    int undone = 0;
    while (editor.undo()) {
        ++undone;
    }
    EXPECT_GT(undone, 0);
    EXPECT_LT(undone, 100);
    EXPECT_TRUE(editor.modified()); // the loaded mesh is out of reach
    MeshEditor tiny(3, 3, loaded, 1);
    tiny.selectAll();
    tiny.moveSelection(0.1, 0);
    EXPECT_TRUE(tiny.undo());
    EXPECT_TRUE(sameNodes(tiny.nodes(), loaded));
}

TEST(MeshEditor, SaveWritesTheEditsExactlyAndMarksThemSaved) {
    test::TempDir dir;
    const auto loaded = grid(3, 2);
    const auto path = (dir.path() / "edited.data").string();
    MeshEditor editor(3, 2, loaded);
    editor.selectAll();
    editor.moveSelection(1.0 / 3.0, 1e-7);
    std::string why;
    ASSERT_TRUE(editor.save(path, 3, false, why)) << why;
    EXPECT_FALSE(editor.modified());
    const auto read = DistortionMatrix::initFromFile(path, why);
    ASSERT_TRUE(read) << why;
    EXPECT_EQ(read->projectionType(), 3);
    EXPECT_EQ(read->width(), 3);
    EXPECT_TRUE(sameNodes(read->vertices(), editor.nodes()));
    editor.undo();
    EXPECT_TRUE(editor.modified());
    editor.redo();
    EXPECT_FALSE(editor.modified());
}

} // namespace
} // namespace lumenarc
