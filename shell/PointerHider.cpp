#include "shell/PointerHider.h"

#include <QGuiApplication>
#include <QWindow>

namespace lumenarc {

void PointerHider::hide() {
    m_hideAsked = true;
    apply();
}

void PointerHider::setModalUp(bool up) {
    m_modalUp = up;
    apply();
}

void PointerHider::apply() {
    const bool hide = hidden(m_hideAsked, m_modalUp);
    if (hide == m_applied) {
        return;
    }
    m_applied = hide;
    // Every window, the view's own native window included: it keeps a cursor of its own.
    if (hide) {
        QGuiApplication::setOverrideCursor(Qt::BlankCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
    for (QWindow* window : QGuiApplication::allWindows()) {
        if (hide) {
            window->setCursor(Qt::BlankCursor);
        } else {
            window->unsetCursor();
        }
    }
}

} // namespace lumenarc
