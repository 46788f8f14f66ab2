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
    // Shown at the geometry it was given where windows place themselves (X11, which may span
    // several screens); on Wayland, where a client places nothing, as the compositor's full
    // screen on the output it is on, saying once when that is less than what was asked.
    void setVisible(bool visible) override;

    // Whether a window of `asked` size goes beyond one output of `output` size.
    static bool spans(const QSize& asked, const QSize& output);
};

} // namespace lumenarc
