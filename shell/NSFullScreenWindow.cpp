#include "shell/NSFullScreenWindow.h"

#include "base/DeveloperLog.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QVBoxLayout>

namespace lumenarc {

NSFullScreenWindow::NSFullScreenWindow()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint) {
    setWindowTitle(QStringLiteral("Lumenarc Full Screen"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

void NSFullScreenWindow::takeView(QWidget* view) {
    // With this window's native window made first, the view's native window is reparented
    // into it as it is, rather than destroyed and made again under the GL context's feet.
    winId();
    layout()->addWidget(view); // from now on the view's window is this one
    view->show();
}

bool NSFullScreenWindow::spans(const QSize& asked, const QSize& output) {
    return asked.width() > output.width() || asked.height() > output.height();
}

void NSFullScreenWindow::setVisible(bool visible) {
    if (visible && QGuiApplication::platformName().startsWith(QStringLiteral("wayland"))) {
        const QScreen* output = screen();
        if (output != nullptr && spans(size(), output->geometry().size())) {
            DeveloperLog::write(
                "Full screen on Wayland covers the one output the window is on (" +
                std::to_string(output->geometry().width()) + "x" +
                std::to_string(output->geometry().height()) + " of the " + std::to_string(width()) +
                "x" + std::to_string(height()) +
                " asked): Wayland lets no window span outputs; use X11 to span screens");
        }
        setWindowState(windowState() | Qt::WindowFullScreen);
    }
    QWidget::setVisible(visible);
}

} // namespace lumenarc
