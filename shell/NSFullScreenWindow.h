#pragma once

#include <QWidget>

namespace lumenarc {

// The full-screen window: borderless, black, above the desktop's own panels, and able to take
// keyboard focus so that the playback keys reach the view inside it.
class NSFullScreenWindow : public QWidget {
    Q_OBJECT
public:
    NSFullScreenWindow();
    // Moves the view's widget into this window, filling it.
    void takeView(QWidget* view);
};

} // namespace lumenarc
