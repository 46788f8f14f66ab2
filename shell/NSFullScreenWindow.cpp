#include "shell/NSFullScreenWindow.h"

#include <QPalette>
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

} // namespace lumenarc
