#include "shell/MainWindow.h"

#include "shell/VideoWindow.h"
#include "ui_MainWindow.h"

namespace lumenarc {

MainWindow::MainWindow()
    : m_ui(std::make_unique<Ui::MainWindow>()), m_videoWindow(nullptr), m_videoContainer(nullptr),
      m_volume((m_ui->setupUi(this), m_ui->volumeSlider), 1000),
      m_position(m_ui->positionSlider, 100000), m_play(m_ui->playButton) {
    m_videoWindow = new VideoWindow(this);
    m_videoContainer = QWidget::createWindowContainer(m_videoWindow, m_ui->videoArea);
    m_videoContainer->setFocusPolicy(Qt::StrongFocus);
    m_videoContainer->setMinimumSize(1, 1);
    m_ui->videoLayout->addWidget(m_videoContainer);
    m_videoWindow->setContainer(m_videoContainer);
}

void MainWindow::focusVideo() {
    m_videoContainer->setFocus(Qt::OtherFocusReason);
}

QWidget* MainWindow::takeVideo() {
    m_ui->videoLayout->removeWidget(m_videoContainer);
    return m_videoContainer;
}

MainWindow::~MainWindow() = default;

} // namespace lumenarc
