#include "shell/QtButton.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QSignalBlocker>

namespace lumenarc {

std::string QtButton::title() const {
    return m_button->text().toStdString();
}

void QtButton::setTitle(const std::string& title) {
    m_button->setText(QString::fromStdString(title));
}

int QtButton::state() const {
    if (auto* box = qobject_cast<QCheckBox*>(m_button);
        box != nullptr && box->checkState() == Qt::PartiallyChecked) {
        return -1;
    }
    return m_button->isChecked() ? 1 : 0;
}

void QtButton::setState(int state) {
    const QSignalBlocker quiet(m_button); // a state set from code is not a click
    if (auto* box = qobject_cast<QCheckBox*>(m_button); box != nullptr && state == -1) {
        box->setCheckState(Qt::PartiallyChecked);
        return;
    }
    m_button->setChecked(state == 1);
}

} // namespace lumenarc
