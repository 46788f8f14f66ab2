#pragma once

#include "ui/MenuItem.h"

class QAction;

namespace lumenarc {

// A menu command seen through the MenuItem interface: its text, its tick and its tag.
class QtMenuItem : public MenuItem {
public:
    QtMenuItem(QAction* action, int tag = 0) : m_action(action), m_tag(tag) {}
    std::string title() const override;
    void setTitle(const std::string& title) override;
    int state() const override;
    void setState(int state) override;
    int tag() const override { return m_tag; }
    QAction* action() const { return m_action; }

private:
    QAction* m_action;
    int m_tag;
};

} // namespace lumenarc
