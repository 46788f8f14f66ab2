#include "app/MainWindow.h"

#include "app/VideoWindow.h"
#include "ui_MainWindow.h"

namespace lumenarc {

MainWindow::MainWindow()
    : m_ui(std::make_unique<Ui::MainWindow>()), m_videoWindow(nullptr),
      m_volume((m_ui->setupUi(this), m_ui->volumeSlider), 1000),
      m_position(m_ui->positionSlider, 100000) {
    m_videoWindow = new VideoWindow(this);
    QWidget* container = QWidget::createWindowContainer(m_videoWindow, m_ui->videoArea);
    container->setFocusPolicy(Qt::StrongFocus);
    container->setMinimumSize(1, 1);
    m_ui->videoLayout->addWidget(container);
}

MainWindow::~MainWindow() = default;

} // namespace lumenarc
