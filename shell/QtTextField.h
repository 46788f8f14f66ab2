#pragma once

#include "ui/TextField.h"

class QLineEdit;

namespace lumenarc {

// A line edit seen through the TextField interface. Setting its text from code is not an
// edit by the user, but it still reports textChanged, so whatever follows the field follows.
class QtTextField : public TextField {
public:
    explicit QtTextField(QLineEdit* field) : m_field(field) {}
    std::string stringValue() const override;
    void setStringValue(const std::string& value) override;
    int intValue() const override;
    void setIntValue(int value) override;

private:
    QLineEdit* m_field;
};

} // namespace lumenarc
