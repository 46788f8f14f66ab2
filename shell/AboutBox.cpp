#include "shell/AboutBox.h"

#include "ui_AboutBox.h"

namespace lumenarc {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::AboutBox>()) {
    m_ui->setupUi(this);
    m_ui->versionLabel->setText(QStringLiteral("Version %1").arg(QStringLiteral(LUMENARC_VERSION)));
    setWindowModality(Qt::WindowModal);
}

AboutBox::~AboutBox() = default;

QPushButton* AboutBox::okButton() const {
    return m_ui->okButton;
}

} // namespace lumenarc
