#pragma once

#include <string>

namespace lumenarc {

// A push button or check box as an action's sender sees it.
class Button {
public:
    virtual ~Button() = default;
    virtual std::string title() const = 0;
    virtual void setTitle(const std::string& title) = 0;
    // 1 on, 0 off, -1 mixed
    virtual int state() const = 0;
    virtual void setState(int state) = 0;
};

} // namespace lumenarc
