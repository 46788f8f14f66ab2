#include "app/VideoWindow.h"

#include "render/QtGlyphSource.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QOpenGLContext>
#include <QResizeEvent>
#include <QScreen>
#include <QSurfaceFormat>
#include <QWidget>

namespace lumenarc {
namespace {

QSurfaceFormat viewFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    format.setSwapBehavior(QSurfaceFormat::SingleBuffer);
    format.setSwapInterval(1);
    return format;
}

} // namespace

VideoWindow::VideoWindow(QWidget* topLevel) : m_topLevel(topLevel) {
    setSurfaceType(QWindow::OpenGLSurface);
    setFormat(viewFormat());
    create();
}

VideoWindow::~VideoWindow() = default;

double VideoWindow::refreshRate() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double rate = screen != nullptr ? screen->refreshRate() : 0.0;
    return rate >= 1.0 ? rate : 60.0;
}

void VideoWindow::storeSize() {
    m_width = static_cast<float>(width());
    m_height = static_cast<float>(height());
    const qreal ratio = devicePixelRatio();
    m_pixelWidth = static_cast<int>(width() * ratio);
    m_pixelHeight = static_cast<int>(height() * ratio);
}

bool VideoWindow::makeCurrentContext() {
    if (!m_context) {
        m_context = std::make_unique<QOpenGLContext>();
        m_context->setFormat(format());
        if (!m_context->create()) {
            m_context.reset();
            return false;
        }
        m_doubleBuffered = m_context->format().swapBehavior() != QSurfaceFormat::SingleBuffer;
    }
    return m_context->makeCurrent(this);
}

void VideoWindow::presentDrawable() {
    // The view draws single-buffered where the platform allows it; a double-buffered surface
    // shows nothing until the buffers are swapped after the flush.
    if (m_context && m_doubleBuffered) {
        m_context->swapBuffers(this);
    }
}

void VideoWindow::releaseContext() {
    if (m_context) {
        m_context->doneCurrent();
        m_context.reset();
    }
}

void VideoWindow::centerWindow() {
    const QScreen* screen = m_topLevel->screen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = m_topLevel->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    m_topLevel->move(frame.topLeft());
}

void VideoWindow::runAlert(const std::string& title, const std::string& message) {
    QMessageBox alert(QMessageBox::Warning, QString::fromStdString(title),
                      QString::fromStdString(message), QMessageBox::Ok, m_topLevel);
    alert.exec();
}

std::unique_ptr<GlyphSource> VideoWindow::makeGlyphSource() { return QtGlyphSource::create(); }

void VideoWindow::exposeEvent(QExposeEvent*) {
    if (!isExposed() || m_view == nullptr) {
        return;
    }
    storeSize();
    if (!m_started) {
        m_started = true;
        m_view->startRendering();
    } else {
        m_view->setNeedsDisplay();
    }
}

void VideoWindow::resizeEvent(QResizeEvent*) {
    storeSize();
    if (m_started && m_view != nullptr) {
        m_view->surfaceChanged();
    }
}

} // namespace lumenarc
