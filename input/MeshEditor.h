#pragma once

#include "mesh/MeshVertex.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumenarc {

// Editing a mesh's nodes by hand: a working copy of the grid, a selection, and an undo history
// back to the loaded mesh. No toolkit and no drawing: the key, mouse and menu side calls it,
// and the drawing reads nodes() after revision() changes. Main thread only.
//
// Every call that changes nodes is one step of the history (a drag is one step from
// beginDrag to endDrag); the selection is not part of it. The history is bounded by the memory
// its steps hold (kHistoryBytes by default): when a new step goes beyond it, the oldest
// steps are forgotten, the newest step always stays. Undo then stops at the oldest kept state.
class MeshEditor {
public:
    // A position on the screen, in any units the caller's mapping uses.
    struct Point {
        double x = 0;
        double y = 0;
    };
    // Where a node at mesh position (x, y) is drawn.
    using ToScreen = std::function<Point(double x, double y)>;

    static constexpr size_t kHistoryBytes = size_t{256} << 20;
    static constexpr double kTextureStep = 0.001;   // (u, v) per key press
    static constexpr double kBrightnessStep = 0.01; // i per key press
    static constexpr double kSoftRadiusStep = 0.05; // mesh units per [ or ]
    static constexpr double kSoftRadiusMax = 4.0;   // beyond any node distance of a -1..1 mesh

    // `nodes` row by row, width * height of them.
    MeshEditor(int32_t width, int32_t height, std::span<const MeshVertex> nodes,
               size_t historyBytes = kHistoryBytes);

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    std::span<const MeshVertex> nodes() const { return m_nodes; }
    // Changes with every change of the nodes (an edit, a drag update, undo, redo).
    uint64_t revision() const { return m_revision; }

    // One view pixel in mesh units for a view of that size in pixels: 2 / its smaller side.
    static double viewPixel(double viewWidth, double viewHeight);

    // Selection, by node index (row * width + column).
    bool isSelected(size_t index) const { return m_selected[index] != 0; }
    size_t selectedCount() const { return m_selectedCount; }
    std::vector<size_t> selection() const;
    // The node drawn nearest `screen`, or none without nodes. Ties go to the lower index.
    std::optional<size_t> nearestNode(Point screen, const ToScreen& toScreen) const;
    // A click selects the nearest node alone; with `toggle` (shift) it adds or removes it.
    void selectNearest(Point screen, const ToScreen& toScreen, bool toggle);
    // The nodes drawn inside the rectangle with corners a and b (edges included), instead of
    // the selection or, with `add`, besides it.
    void selectRectangle(Point a, Point b, const ToScreen& toScreen, bool add);
    void selectAll();
    void clearSelection();
    // The node after the last selected one in row order, alone (the first without a selection);
    // previous: the node before the first selected one (the last without a selection). Both
    // wrap around.
    void selectNext();
    void selectPrevious();

    // The soft radius in mesh units, 0 (only the selection moves) to kSoftRadiusMax.
    double softRadius() const { return m_softRadius; }
    void setSoftRadius(double radius);
    void growSoftRadius() { setSoftRadius(m_softRadius + kSoftRadiusStep); }
    void shrinkSoftRadius() { setSoftRadius(m_softRadius - kSoftRadiusStep); }
    // How much a node at `distance` from the nearest selected node moves: 1 - smoothstep of
    // distance / radius, i.e. 1 - 3t^2 + 2t^3. It is 1 on the selection and falls to 0 at the
    // radius with zero slope at both ends, so a pulled bulge has no kinks.
    static double falloff(double distance, double radius);

    // One step each; false (and no step) when nothing changed, e.g. without a selection.
    // Moves the selected nodes' (x, y), neighbours within the soft radius by their fall-off.
    bool moveSelection(double dx, double dy);
    // Moves the selected nodes' (u, v) only.
    bool moveTexture(double du, double dv);
    // Changes the selected nodes' i, kept within 0..1.
    bool changeBrightness(double di);

    // A drag of the selection: offsets are from where the drag began, in mesh units.
    void beginDrag();
    void dragTo(double dx, double dy);
    void endDrag();
    bool dragging() const { return m_drag.has_value(); }

    // An unfinished drag is ended first.
    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_steps.size(); }
    bool undo();
    bool redo();

    // True while the nodes differ by steps from the state last saved (or loaded).
    bool modified() const { return currentState() != m_savedState; }
    void markSaved() { m_savedState = currentState(); }
    // Saves through MeshSaver and marks the state saved; false and why otherwise.
    bool save(const std::string& path, int32_t projectionType, bool keepOriginal, std::string& why);

private:
    struct Change {
        size_t index;
        MeshVertex before;
        MeshVertex after;
    };
    struct Step {
        uint64_t state; // the state this step leads to
        std::vector<Change> changes;
    };
    struct Drag {
        std::vector<size_t> indices;
        std::vector<double> weights;
        std::vector<MeshVertex> start;
    };

    // Every moving node's weight: 1 selected, the fall-off near it. Computed once per step or
    // drag: nodes near a large selection cost a search through all of it.
    std::vector<std::pair<size_t, double>> moveWeights() const;
    // Records the changes as one step (dropping any redo), applying nothing.
    bool record(std::vector<Change> changes);
    void trimHistory();
    uint64_t currentState() const { return m_done > 0 ? m_steps[m_done - 1].state : m_baseState; }
    void setSelected(size_t index, bool on);
    void selectOnly(size_t index);

    int32_t m_width;
    int32_t m_height;
    std::vector<MeshVertex> m_nodes;
    std::vector<uint8_t> m_selected;
    size_t m_selectedCount = 0;
    double m_softRadius = 0;
    std::optional<Drag> m_drag;
    std::vector<Step> m_steps; // oldest first; the first m_done are applied
    size_t m_done = 0;
    size_t m_historyBytes;
    size_t m_heldBytes = 0;
    uint64_t m_baseState = 0; // the state before the oldest kept step
    uint64_t m_nextState = 1;
    uint64_t m_savedState = 0;
    uint64_t m_revision = 0;
};

} // namespace lumenarc
