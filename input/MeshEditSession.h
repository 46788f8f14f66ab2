#pragma once

#include "input/EditKeys.h"
#include "input/MeshEditor.h"
#include "render/NodeHandles.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace lumenarc {

class MyOpenGLView;

// The mesh editor joined to the view: edit mode, its keys and mouse, saving, and the edits kept
// at the end of a run. Each change shows from the next frame: the view's mesh is replaced by a
// new one made from the edited nodes (never changed under the drawing), with the marks drawn
// over it. Leaving edit mode keeps the edited mesh on show. Main thread only.
class MeshEditSession {
public:
    // A pointer position in the view's window coordinates: points, y upward.
    struct Point {
        double x = 0;
        double y = 0;
    };
    // A press this near a node's handle (in points) is on the node; farther, on empty space.
    static constexpr double kHandleReach = 8.0;
    // A press that moves less than this (in points) before it is let go is a click.
    static constexpr double kClickSlop = 3.0;

    explicit MeshEditSession(MyOpenGLView& view) : m_view(view) {}

    bool editing() const { return m_editing; }
    void setEditing(bool on);
    // A key press in edit mode; false when it is not the editor's (or not editing).
    bool key(uint32_t nativeScanCode, EditKeys::Modifiers modifiers);
    void mouseDown(Point location, bool shift);
    void mouseDragged(Point location);
    void mouseUp(Point location);

    // Whether the mesh on show holds edits not saved (nor discarded).
    bool modified() const { return m_editor && m_editor->modified() && !m_discarded; }
    // The mesh's own file, "" without one.
    std::string meshPath() const;
    // Whether a save can go to the mesh's own file: it has one, and the file and its folder
    // (where the new text is written first) can be written.
    bool canSaveInPlace() const;
    // Saves the mesh on show to `path`, which becomes the mesh's file. The first save to a
    // file in a run keeps the file as it was (MeshSaver::originalPath).
    bool saveTo(const std::string& path, std::string& why);
    // The edits need not be kept: the run ends without them.
    void discard() { m_discarded = true; }
    // At the end of the run, or before another mesh replaces an edited one: unsaved edits go
    // beside the mesh's file, or into `folder` when that cannot be written or there is no file.
    // Says where on standard error; returns the file written ("" when nothing needed keeping).
    std::string keepUnsaved(const std::string& folder);
    // The view loaded another mesh: the editor starts again from it (unsaved edits were kept
    // by keepUnsaved first).
    void meshLoaded(const std::string& folder);

    // Where unsaved edits of the mesh at `meshPath` go: FILE.unsaved beside it when its folder
    // can be written, else in `folder` under the same name ("mesh.data.unsaved" without a file).
    static std::string unsavedPath(const std::string& meshPath, const std::string& folder,
                                   const std::function<bool(const std::string& dir)>& writable);

private:
    enum class Press { None, Drag, Band };
    // The editor, made from the mesh on show when there is none yet or another mesh came.
    MeshEditor* editor();
    MeshEditor::ToScreen toScreen() const;
    std::optional<size_t> nodeUnder(Point location);
    void applyKey(const EditKeys::Edit& edit);
    // Shows the edited nodes (when they changed) and the marks.
    void publish();
    std::shared_ptr<const NodeHandles::Marks> marks() const;

    MyOpenGLView& m_view;
    std::optional<MeshEditor> m_editor;
    uint64_t m_shownSerial = 0; // the mesh the editor's nodes are on show as
    uint64_t m_publishedRevision = 0;
    bool m_editing = false;
    bool m_discarded = false;
    std::set<std::string> m_savedThisRun;
    Press m_press = Press::None;
    Point m_pressedAt;
    bool m_pressShift = false;
    std::optional<Point> m_bandEnd;
};

} // namespace lumenarc
