#pragma once

#include <string>

namespace lumenarc {

// A menu item as an action's sender sees it.
class MenuItem {
public:
    virtual ~MenuItem() = default;
    virtual std::string title() const = 0;
    virtual void setTitle(const std::string& title) = 0;
    // 1 on (ticked), 0 off, -1 mixed
    virtual int state() const = 0;
    virtual void setState(int state) = 0;
    virtual int tag() const = 0;
};

} // namespace lumenarc
