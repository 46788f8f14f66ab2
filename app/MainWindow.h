#pragma once

#include "app/QtSlider.h"

#include <QMainWindow>
#include <memory>

namespace Ui {
class MainWindow;
}

namespace lumenarc {

class VideoWindow;

// The main window of the interface description: the video view, the play button and the
// position and volume sliders.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow();
    ~MainWindow() override;

    VideoWindow& videoWindow() { return *m_videoWindow; }
    Slider& volumeSlider() { return m_volume; }
    Slider& positionSlider() { return m_position; }

private:
    std::unique_ptr<Ui::MainWindow> m_ui;
    VideoWindow* m_videoWindow; // owned by its container widget
    QtSlider m_volume;
    QtSlider m_position;
};

} // namespace lumenarc
