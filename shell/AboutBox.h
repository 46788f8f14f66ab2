#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class AboutBox;
}

namespace lumenarc {

// The about sheet: name, version, purpose and licences; its button ends the modal loop.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent);
    ~AboutBox() override;
    QPushButton* okButton() const;

private:
    std::unique_ptr<Ui::AboutBox> m_ui;
};

} // namespace lumenarc
