#include "input/MeshInteraction.h"
#include "base/MainThread.h"
#include "view/ThreadContract.h"

#include "input/MeshEditSession.h"
#include "movie/Movie.h"
#include "ui/MenuItem.h"
#include "view/MyOpenGLView.h"

namespace lumenarc {

MeshInteraction::DragStep MeshInteraction::dragStep(int32_t projectionType, float dx, float dy) {
    DragStep step;
    step.kind = ProjectionType::dragFor(projectionType);
    switch (step.kind) {
    case DragKind::PanUV:
        step.du = dx / -1000.0f;
        step.dv = dy / -1000.0f;
        break;
    case DragKind::PanU:
        step.du = dx / -1000.0f;
        break;
    case DragKind::Rotate:
        step.angle = dx / 100.0f;
        break;
    case DragKind::None:
        break;
    }
    return step;
}

std::optional<MeshInteraction::ContentSize>
MeshInteraction::windowContentSize(int tag, float movieWidth, float movieHeight) {
    // Without a picture there is nothing to size the window to.
    if (!(movieWidth > 0.0f) || !(movieHeight > 0.0f)) {
        return std::nullopt;
    }
    // The control bar below the view is 24 points high; it is added after doubling.
    if (tag == 1) {
        return ContentSize{movieWidth, movieHeight + 24.0f};
    }
    if (tag == 2) {
        return ContentSize{2.0f * movieWidth, 2.0f * movieHeight + 24.0f};
    }
    return std::nullopt;
}

bool MeshInteraction::editing() const {
    return m_edit != nullptr && m_edit->editing();
}

void MeshInteraction::mouseDown(Point location, bool shift) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (editing()) {
        m_edit->mouseDown({location.x, location.y}, shift);
        return;
    }
    m_view.setMouseDownPoint({location.x, location.y});
}

void MeshInteraction::mouseUp(Point location) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (editing()) {
        m_edit->mouseUp({location.x, location.y});
    } // a pan or turn has moved the picture with each drag step already
}

void MeshInteraction::mouseDragged(Point location) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (editing()) {
        m_edit->mouseDragged({location.x, location.y});
        return;
    }
    const auto reference = m_view.mouseDownPoint();
    const float dx = location.x - reference.x;
    const float dy = location.y - reference.y;
    const auto mesh = m_view.distortionMatrix();
    const DragStep step = dragStep(mesh ? mesh->projectionType() : 0, dx, dy);
    if (mesh && (step.kind == DragKind::PanUV || step.kind == DragKind::PanU)) {
        mesh->offsetX(step.du, step.dv);
    } else if (mesh && step.kind == DragKind::Rotate) {
        mesh->rotate(step.angle);
    }
    m_view.setMouseDownPoint({location.x, location.y});
    redrawIfStill(m_view);
}

void MeshInteraction::redrawIfStill(MyOpenGLView& view) {
    // A playing movie shows a change with its next frame. A still one (paused, at its end, or
    // no movie at all) delivers none, and a calibration that does not show is no calibration.
    const auto movie = view.currentMovie();
    if (!movie || movie->rate() == 0.0f) {
        view.setNeedsDisplay();
    }
}

void MeshInteraction::toggleDistortionMatrix(MenuItem& sender) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const bool shown = !m_view.showDistortionMatrix();
    m_view.setShowDistortionMatrix(shown);
    sender.setTitle(gridTitle(shown));
    redrawIfStill(m_view);
}

void MeshInteraction::toggleMeshLines(MenuItem& sender) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const bool shown = !m_view.showGridLines();
    m_view.setShowGridLines(shown);
    sender.setTitle(linesTitle(shown));
    redrawIfStill(m_view);
}

void MeshInteraction::setWindowSize(const MenuItem& sender) {
    setWindowSize(sender.tag());
}

bool MeshInteraction::setWindowSize(int tag) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    // The size of a movie that is no longer open (a later one failed to open) says nothing.
    if (!m_view.currentMovie()) {
        return false;
    }
    const auto size = windowContentSize(tag, m_view.movieSize().width, m_view.movieSize().height);
    if (!size) {
        return false;
    }
    m_view.host().setWindowContentSize(size->width, size->height);
    m_view.host().centerWindow();
    return true;
}

void MeshInteraction::overrideProjectionType(const MenuItem& sender) {
    overrideProjectionType(sender.tag());
}

void MeshInteraction::overrideProjectionType(int32_t code) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (const auto mesh = m_view.distortionMatrix()) {
        mesh->setProjectionType(code);
    }
    updateProjectionMenuItems();
    redrawIfStill(m_view);
}

void MeshInteraction::resetInteraction() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (const auto mesh = m_view.distortionMatrix()) {
        mesh->resetInteraction();
    }
    redrawIfStill(m_view);
}

void MeshInteraction::updateProjectionMenuItems() {
    for (MenuItem* item : m_projectionItems) {
        if (item != nullptr) {
            item->setState(0);
        }
    }
    const auto mesh = m_view.distortionMatrix();
    const int32_t type = mesh ? mesh->projectionType() : 0;
    // Each item carries its code as its tag; where it sits in the menu does not matter. Only
    // the ten codes tick anything: 0 (no mesh) and other values leave every item off.
    if (!ProjectionType::isValid(type)) {
        return;
    }
    for (MenuItem* item : m_projectionItems) {
        if (item != nullptr && item->tag() == type) {
            item->setState(1);
        }
    }
}

} // namespace lumenarc
