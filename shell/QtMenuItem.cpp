#include "shell/QtMenuItem.h"

#include <QAction>
#include <QSignalBlocker>

namespace lumenarc {

std::string QtMenuItem::title() const {
    return m_action->text().toStdString();
}

void QtMenuItem::setTitle(const std::string& title) {
    m_action->setText(QString::fromStdString(title));
}

int QtMenuItem::state() const {
    return m_action->isChecked() ? 1 : 0;
}

void QtMenuItem::setState(int state) {
    const QSignalBlocker quiet(m_action);
    m_action->setCheckable(true);
    m_action->setChecked(state == 1);
}

} // namespace lumenarc
