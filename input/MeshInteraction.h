#pragma once

#include "mesh/ProjectionType.h"

#include <array>
#include <cstdint>
#include <optional>

namespace lumenarc {

class MenuItem;
class MeshEditSession;
class MyOpenGLView;

// The view's interaction with its mesh and window: drags that pan or turn the picture, the
// calibration grid and mesh line toggles, the projection menu and its override, the drag reset
// and the window sizes. Main thread only; the drawing reads what changes here at its next frame.
class MeshInteraction {
public:
    // A point in window coordinates: x to the right, y upward.
    struct Point {
        float x = 0;
        float y = 0;
    };
    // What one drag step does to the mesh.
    struct DragStep {
        DragKind kind = DragKind::None;
        float du = 0; // offsetX arguments (pans)
        float dv = 0;
        float angle = 0; // rotate argument (turns)
    };
    struct ContentSize {
        float width = 0;
        float height = 0;
    };

    explicit MeshInteraction(MyOpenGLView& view) : m_view(view) {}

    // The ten projection items, each tagged with its projection code, in any order.
    void setProjectionMenuItems(const std::array<MenuItem*, 10>& items) {
        m_projectionItems = items;
    }

    // In edit mode the mouse goes to the mesh editor instead of dragging the picture.
    void setEditSession(MeshEditSession* session) { m_edit = session; }
    void mouseDown(Point location, bool shift = false);
    void mouseDragged(Point location);
    // The end of a drag: in edit mode it makes the drag one step of the history.
    void mouseUp(Point location);
    void toggleDistortionMatrix(MenuItem& sender);
    void toggleMeshLines(MenuItem& sender);
    void setWindowSize(const MenuItem& sender);
    // The size command by its item's tag; false when nothing was resized.
    bool setWindowSize(int tag);
    void overrideProjectionType(const MenuItem& sender);
    void overrideProjectionType(int32_t code);
    void resetInteraction();
    void updateProjectionMenuItems();

    // Draws the view again at once when no frame is coming to show a change: the movie stands
    // still or there is none.
    static void redrawIfStill(MyOpenGLView& view);

    // Pure decisions.
    static DragStep dragStep(int32_t projectionType, float dx, float dy);
    // The window's content size for a size command, or none for another tag or a movie without
    // a picture size. The window's host keeps the window on its screen.
    static std::optional<ContentSize> windowContentSize(int tag, float movieWidth,
                                                        float movieHeight);
    // The title a toggle's item takes: the command that would undo the new state.
    static const char* gridTitle(bool nowShown) {
        return nowShown ? "Hide Distortion Matrix" : "Show Distortion Matrix";
    }
    static const char* linesTitle(bool nowShown) {
        return nowShown ? "Hide Grid Lines" : "Show Grid Lines";
    }

private:
    bool editing() const;

    MyOpenGLView& m_view;
    MeshEditSession* m_edit = nullptr;
    std::array<MenuItem*, 10> m_projectionItems{};
};

} // namespace lumenarc
