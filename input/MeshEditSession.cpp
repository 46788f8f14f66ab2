#include "input/MeshEditSession.h"

#include "base/DeveloperLog.h"
#include "base/MainThread.h"
#include "input/MeshInteraction.h"
#include "mesh/DistortionMatrix.h"
#include "mesh/MeshSaver.h"
#include "render/MeshScreen.h"
#include "view/MyOpenGLView.h"
#include "view/ThreadContract.h"

#include <cmath>
#include <filesystem>
#include <unistd.h>
#include <utility>

namespace lumenarc {
namespace {

std::string folderOf(const std::string& path) {
    const auto parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

bool canWrite(const std::string& path) {
    return access(path.c_str(), W_OK) == 0;
}

} // namespace

void MeshEditSession::setEditing(bool on) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (on && editor() == nullptr) {
        return; // no mesh to edit
    }
    if (!on && m_editor) {
        m_editor->endDrag();
        m_press = Press::None;
        m_bandEnd.reset();
    }
    m_editing = on;
    publish();
}

MeshEditor* MeshEditSession::editor() {
    const auto mesh = m_view.distortionMatrix();
    if (!mesh || mesh->vertices().empty()) {
        return nullptr;
    }
    if (!m_editor || mesh->serial() != m_shownSerial) {
        m_editor.emplace(mesh->width(), mesh->height(), mesh->vertices());
        m_shownSerial = mesh->serial();
        m_publishedRevision = m_editor->revision();
        m_discarded = false;
    }
    return &*m_editor;
}

MeshEditor::ToScreen MeshEditSession::toScreen() const {
    const float width = m_view.host().boundsWidth();
    const float height = m_view.host().boundsHeight();
    return [width, height](double x, double y) {
        const auto p = MeshScreen::toWindow(x, y, width, height);
        return MeshEditor::Point{p.x, p.y};
    };
}

bool MeshEditSession::key(uint32_t nativeScanCode, EditKeys::Modifiers modifiers) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!m_editing) {
        return false;
    }
    const auto edit = EditKeys::editFor(nativeScanCode, modifiers);
    if (!edit || editor() == nullptr) {
        return false;
    }
    applyKey(*edit);
    publish();
    return true;
}

void MeshEditSession::applyKey(const EditKeys::Edit& edit) {
    MeshEditor& e = *m_editor;
    using Action = EditKeys::Action;
    // One pixel of the drawable, which the mesh square spans at its smaller side.
    const double pixel =
        MeshEditor::viewPixel(m_view.host().pixelWidth(), m_view.host().pixelHeight());
    switch (edit.action) {
    case Action::Move:
        e.moveSelection(edit.dx * pixel, edit.dy * pixel);
        break;
    case Action::MoveTexture:
        e.moveTexture(edit.dx * MeshEditor::kTextureStep, edit.dy * MeshEditor::kTextureStep);
        break;
    case Action::Brightness:
        e.changeBrightness(edit.dx * MeshEditor::kBrightnessStep);
        break;
    case Action::Next:
        e.selectNext();
        break;
    case Action::Previous:
        e.selectPrevious();
        break;
    case Action::GrowRadius:
        e.growSoftRadius();
        break;
    case Action::ShrinkRadius:
        e.shrinkSoftRadius();
        break;
    case Action::SelectAll:
        e.selectAll();
        break;
    case Action::ClearSelection:
        e.clearSelection();
        break;
    case Action::Undo:
        e.undo();
        break;
    case Action::Redo:
        e.redo();
        break;
    }
}

std::optional<size_t> MeshEditSession::nodeUnder(Point location) {
    const auto screen = toScreen();
    const auto nearest = m_editor->nearestNode({location.x, location.y}, screen);
    if (!nearest) {
        return std::nullopt;
    }
    const auto& node = m_editor->nodes()[*nearest];
    const auto at = screen(node.x, node.y);
    if (std::hypot(at.x - location.x, at.y - location.y) > kHandleReach) {
        return std::nullopt;
    }
    return nearest;
}

void MeshEditSession::mouseDown(Point location, bool shift) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!m_editing || editor() == nullptr) {
        return;
    }
    m_pressedAt = location;
    m_pressShift = shift;
    m_bandEnd.reset();
    const auto node = nodeUnder(location);
    if (!node) {
        m_press = Press::Band; // a click there selects the nearest node when let go
        return;
    }
    if (shift) {
        m_editor->selectNearest({location.x, location.y}, toScreen(), true);
        m_press = Press::None;
    } else {
        // A press on a node outside the selection takes it alone; the drag then moves it.
        if (!m_editor->isSelected(*node)) {
            m_editor->selectNearest({location.x, location.y}, toScreen(), false);
        }
        m_press = Press::Drag;
    }
    publish();
}

void MeshEditSession::mouseDragged(Point location) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!m_editing || !m_editor || m_press == Press::None) {
        return;
    }
    if (m_press == Press::Band) {
        m_bandEnd = location;
        publish();
        return;
    }
    if (!m_editor->dragging()) {
        m_editor->beginDrag();
    }
    const auto offset =
        MeshScreen::toMeshOffset(location.x - m_pressedAt.x, location.y - m_pressedAt.y,
                                 m_view.host().boundsWidth(), m_view.host().boundsHeight());
    m_editor->dragTo(offset.x, offset.y);
    publish();
}

void MeshEditSession::mouseUp(Point location) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!m_editing || !m_editor) {
        return;
    }
    const Press press = std::exchange(m_press, Press::None);
    if (press == Press::Drag) {
        m_editor->endDrag(); // the whole drag is one step
    } else if (press == Press::Band) {
        const bool click =
            std::hypot(location.x - m_pressedAt.x, location.y - m_pressedAt.y) < kClickSlop;
        if (click) {
            m_editor->selectNearest({location.x, location.y}, toScreen(), m_pressShift);
        } else {
            m_editor->selectRectangle({m_pressedAt.x, m_pressedAt.y}, {location.x, location.y},
                                      toScreen(), m_pressShift);
        }
    }
    m_bandEnd.reset();
    publish();
}

std::shared_ptr<const NodeHandles::Marks> MeshEditSession::marks() const {
    auto marks = std::make_shared<NodeHandles::Marks>();
    marks->width = m_editor->width();
    marks->height = m_editor->height();
    marks->selected.resize(m_editor->nodes().size());
    for (size_t k = 0; k < marks->selected.size(); ++k) {
        marks->selected[k] = m_editor->isSelected(k) ? 1 : 0;
    }
    if (m_bandEnd) {
        const float width = m_view.host().boundsWidth();
        const float height = m_view.host().boundsHeight();
        const auto a = MeshScreen::toMesh(m_pressedAt.x, m_pressedAt.y, width, height);
        const auto b = MeshScreen::toMesh(m_bandEnd->x, m_bandEnd->y, width, height);
        marks->band = NodeHandles::Marks::Band{a.x, a.y, b.x, b.y};
    }
    return marks;
}

void MeshEditSession::publish() {
    if (!m_editor) {
        return;
    }
    std::shared_ptr<DistortionMatrix> mesh;
    if (m_editor->revision() != m_publishedRevision) {
        const auto current = m_view.distortionMatrix();
        const int32_t type = current ? current->projectionType() : m_view.meshFileType();
        mesh = DistortionMatrix::fromNodes(m_editor->width(), m_editor->height(), m_editor->nodes(),
                                           type);
        if (mesh) {
            if (current) {
                mesh->setInteraction(current->interaction()); // the pan and turn stay
            }
            m_shownSerial = mesh->serial();
            m_publishedRevision = m_editor->revision();
            m_discarded = false; // a new edit is to be kept again
        }
    }
    m_view.showEditedMesh(std::move(mesh), m_editing ? marks() : nullptr);
    MeshInteraction::redrawIfStill(m_view);
}

std::string MeshEditSession::meshPath() const {
    return m_view.meshPath();
}

bool MeshEditSession::canSaveInPlace() const {
    const std::string path = meshPath();
    return !path.empty() && canWrite(path) && canWrite(folderOf(path));
}

bool MeshEditSession::saveTo(const std::string& path, std::string& why) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    MeshEditor* e = editor();
    if (e == nullptr) {
        why = "there is no mesh to save";
        return false;
    }
    m_press = Press::None;
    const bool first = m_savedThisRun.insert(path).second;
    if (!e->save(path, m_view.meshFileType(), first, why)) {
        if (first) {
            m_savedThisRun.erase(path);
        }
        return false;
    }
    m_discarded = false;
    m_view.setMeshPath(path);
    publish(); // an unfinished drag ended with the save
    return true;
}

std::string MeshEditSession::unsavedPath(const std::string& meshPath, const std::string& folder,
                                         const std::function<bool(const std::string&)>& writable) {
    if (!meshPath.empty() && writable(folderOf(meshPath))) {
        return meshPath + ".unsaved";
    }
    const std::string name =
        meshPath.empty() ? "mesh.data" : std::filesystem::path(meshPath).filename().string();
    return (std::filesystem::path(folder) / (name + ".unsaved")).string();
}

std::string MeshEditSession::keepUnsaved(const std::string& folder) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!modified()) {
        return {};
    }
    m_editor->endDrag();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::string path = unsavedPath(meshPath(), folder, canWrite);
    std::string why;
    if (!MeshSaver::save(path, m_view.meshFileType(), m_editor->width(), m_editor->height(),
                         m_editor->nodes(), false, why)) {
        DeveloperLog::write("lumenarc: the unsaved mesh edits could not be kept in " + path + ": " +
                            why);
        return {};
    }
    DeveloperLog::write("lumenarc: unsaved mesh edits written to " + path);
    m_discarded = true; // kept: nothing more to ask about them
    return path;
}

void MeshEditSession::meshLoaded(const std::string& folder) {
    if (!m_editor || m_view.distortionMatrix() == nullptr ||
        m_view.distortionMatrix()->serial() == m_shownSerial) {
        return;
    }
    keepUnsaved(folder);
    m_editor.reset();
    m_press = Press::None;
    m_bandEnd.reset();
    if (m_editing && editor() != nullptr) {
        publish();
    } else {
        m_editing = false;
        m_view.showEditedMesh(nullptr, nullptr);
    }
}

} // namespace lumenarc
