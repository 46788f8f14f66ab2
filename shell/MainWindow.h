#pragma once

#include "shell/QtButton.h"
#include "shell/QtSlider.h"

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
    Button& playButton() { return m_play; }
    Ui::MainWindow& ui() { return *m_ui; }
    void focusVideo();
    // Hands the view's widget over to another window (full screen); the main window keeps the rest.
    QWidget* takeVideo();

private:
    std::unique_ptr<Ui::MainWindow> m_ui;
    VideoWindow* m_videoWindow; // owned by its container widget
    QWidget* m_videoContainer;
    QtSlider m_volume;
    QtSlider m_position;
    QtButton m_play;
};

} // namespace lumenarc
