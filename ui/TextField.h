#pragma once

#include <string>

namespace lumenarc {

// A text field as an action's sender sees it.
class TextField {
public:
    virtual ~TextField() = default;
    virtual std::string stringValue() const = 0;
    virtual void setStringValue(const std::string& value) = 0;
    // The number at the start of the text (leading spaces skipped, a sign allowed), 0 if none.
    virtual int intValue() const = 0;
    virtual void setIntValue(int value) = 0;
};

} // namespace lumenarc
