#include "shell/KeyRouter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace lumenarc {

bool KeyRouter::routes(QObject* receiver) const {
    if (QApplication::activeModalWidget() != nullptr) {
        return false; // a sheet or an alert has the keys
    }
    if (receiver == m_videoWindow) {
        return true;
    }
    const auto* widget = qobject_cast<QWidget*>(receiver);
    if (widget == nullptr) {
        return false;
    }
    for (const auto& window : m_windows) {
        if (window != nullptr && widget->window() == window) {
            return true;
        }
    }
    return false;
}

bool KeyRouter::eventFilter(QObject* receiver, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !routes(receiver)) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const auto modifiers = key->modifiers();
    const EditKeys::Modifiers held{(modifiers & Qt::ShiftModifier) != 0,
                                   (modifiers & Qt::AltModifier) != 0,
                                   (modifiers & Qt::ControlModifier) != 0};
    if (m_editHandler && m_editHandler(key->nativeScanCode(), held)) {
        return true;
    }
    m_handler(key->nativeScanCode());
    return true; // every key is the view's, known or not: none is passed on, none beeps
}

} // namespace lumenarc
