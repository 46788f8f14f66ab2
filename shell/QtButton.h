#pragma once

#include "ui/Button.h"

class QAbstractButton;

namespace lumenarc {

// A push button or check box seen through the Button interface.
class QtButton : public Button {
public:
    explicit QtButton(QAbstractButton* button) : m_button(button) {}
    std::string title() const override;
    void setTitle(const std::string& title) override;
    int state() const override;
    void setState(int state) override;

private:
    QAbstractButton* m_button;
};

} // namespace lumenarc
