#include "shell/ModalWatcher.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace lumenarc {

ModalWatcher::ModalWatcher(Changed changed) : m_changed(std::move(changed)) {
    QCoreApplication::instance()->installEventFilter(this);
}

ModalWatcher::~ModalWatcher() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool ModalWatcher::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow() && !m_checkPending) {
        m_checkPending = true;
        QMetaObject::invokeMethod(this, &ModalWatcher::check, Qt::QueuedConnection);
    }
    return false;
}

void ModalWatcher::check() {
    m_checkPending = false;
    const bool up = QApplication::activeModalWidget() != nullptr;
    if (up != m_modalUp) {
        m_modalUp = up;
        if (m_changed) {
            m_changed(up);
        }
    }
}

} // namespace lumenarc
