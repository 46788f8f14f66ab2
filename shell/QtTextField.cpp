#include "shell/QtTextField.h"

#include "base/IntegerText.h"

#include <QLineEdit>
#include <QString>

namespace lumenarc {

std::string QtTextField::stringValue() const {
    return m_field->text().toStdString();
}

void QtTextField::setStringValue(const std::string& value) {
    m_field->setText(QString::fromStdString(value));
}

int QtTextField::intValue() const {
    return IntegerText::typed(stringValue());
}

void QtTextField::setIntValue(int value) {
    m_field->setText(QString::number(value));
}

} // namespace lumenarc
