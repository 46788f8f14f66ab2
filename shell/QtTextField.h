#pragma once

#include "ui/TextField.h"

#include <string_view>

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

    // The number at the start of the text: leading white space skipped, an optional sign, then
    // decimal digits up to the first other character ("2abc" is 2, "3.7" is 3). No leading
    // number gives 0. Beyond 32 bits the value saturates at INT32_MAX or INT32_MIN.
    static int leadingInt(std::string_view text);

private:
    QLineEdit* m_field;
};

} // namespace lumenarc
