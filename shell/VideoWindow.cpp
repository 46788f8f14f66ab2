#include "shell/VideoWindow.h"

#include "shell/QtGlyphSource.h"
#include "shell/QuitRequest.h"
#include "shell/WindowFit.h"
#include "view/ClockBridge.h"
#include "view/WaylandPresentation.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPlatformSurfaceEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QSurfaceFormat>
#include <QWidget>
#include <algorithm>
#include <ctime>
#include <qpa/qplatformnativeinterface.h>
#include <qpa/qplatformwindow.h>

namespace lumenarc {
namespace {

bool onWayland() {
    return QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

QSurfaceFormat viewFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    // Nothing is depth-tested or stencilled: without those buffers a software rasteriser does
    // not clear and carry them for every picture.
    format.setDepthBufferSize(0);
    format.setStencilBufferSize(0);
    // Double-buffered, swapped at the display's refresh: a picture is only ever shown whole.
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    // On Wayland the compositor never shows a half picture, and the toolkit's own wait for the
    // display stalls 100 ms a frame on a window it never told was exposed (an embedded one):
    // there the render thread keeps to the refreshes the compositor reports instead.
    format.setSwapInterval(onWayland() ? 0 : 1);
    return format;
}

} // namespace

VideoWindow::VideoWindow(QWidget* topLevel) : m_topLevel(topLevel) {
    setSurfaceType(QWindow::OpenGLSurface);
    setTitle(QStringLiteral("Lumenarc View")); // names the view's own native window, for tests
    setFormat(viewFormat());
    create();
    m_spareSurface = std::make_unique<QOffscreenSurface>();
    m_spareSurface->setFormat(viewFormat());
    m_spareSurface->create();
    if (onWayland()) {
        QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
        m_wlDisplay =
            native != nullptr
                ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"))
                : nullptr;
        watchWaylandSurface();
    }
}

void VideoWindow::watchWaylandSurface() {
    // Qt's Wayland window destroys its surface when it hides (as every window does when the
    // program quits), before any event says so; it signals just before. Without that signal
    // the render thread could use a destroyed surface, so the compositor's times are not used.
    auto* platform = dynamic_cast<QObject*>(handle());
    const int going =
        platform != nullptr ? platform->metaObject()->indexOfSignal("wlSurfaceDestroyed()") : -1;
    const int slot = metaObject()->indexOfSlot("waylandSurfaceGoing()");
    if (going < 0 || slot < 0 ||
        !QObject::connect(platform, platform->metaObject()->method(going), this,
                          metaObject()->method(slot), Qt::DirectConnection)) {
        m_wlDisplay = nullptr;
        return;
    }
    const int created = platform->metaObject()->indexOfSignal("wlSurfaceCreated()");
    const int again = metaObject()->indexOfSlot("waylandSurfaceCreated()");
    if (created >= 0 && again >= 0) {
        QObject::connect(platform, platform->metaObject()->method(created), this,
                         metaObject()->method(again), Qt::QueuedConnection);
    }
}

void VideoWindow::waylandSurfaceGoing() {
    noteSurface(true);
    if (m_view != nullptr) {
        m_view->surfaceWillBeDestroyed(); // the render thread leaves it first
    }
}

void VideoWindow::waylandSurfaceCreated() {
    noteSurfaceSoon();
}

void VideoWindow::noteSurface(bool gone) {
    if (m_wlDisplay == nullptr) {
        return;
    }
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* surface =
        gone || native == nullptr
            ? nullptr
            : static_cast<wl_surface*>(native->nativeResourceForWindow("surface", this));
    if (m_wlSurface.exchange(surface) != surface) {
        ++m_surfaceGeneration;
    }
}

bool VideoWindow::requestPresentationTime(uint64_t token) {
    if (m_wlDisplay == nullptr) {
        return false;
    }
    if (const uint64_t generation = m_surfaceGeneration.load();
        generation != m_presentationGeneration) {
        m_presentation.reset();
        m_presentationGeneration = generation;
        m_presentation = WaylandPresentation::create(m_wlDisplay, m_wlSurface.load());
    }
    if (!m_presentation) {
        return false;
    }
    // The picture before must have been taken, or this commit would replace it unseen. The
    // toolkit's own wait for the display is off here (swap interval 0): it stalls on windows it
    // never told were exposed, which this wait does not (it gives up after a few refreshes).
    m_presentation->waitForFrame(kFrameWait);
    m_presentation->request(token);
    m_presentation->requestFrame();
    return true;
}

void VideoWindow::takePresentationTimes(std::vector<PresentationTime>& out) {
    if (!m_presentation) {
        return;
    }
    m_feedback.clear();
    m_presentation->collect(m_feedback);
    if (m_feedback.empty()) {
        return;
    }
    // The compositor's clock onto the steady clock, measured now: the two drift apart.
    const int64_t offset = ClockBridge::measure(CLOCK_MONOTONIC, m_presentation->clockId());
    for (const auto& feedback : m_feedback) {
        PresentationTime time;
        time.token = feedback.token;
        time.shown = feedback.shown;
        time.instant =
            RenderThread::Clock::time_point(std::chrono::nanoseconds(feedback.instant + offset));
        time.msc = feedback.msc;
        out.push_back(time);
    }
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

bool VideoWindow::makeCurrentContext(bool onWindow) {
    if (!m_context) {
        m_context = std::make_unique<QOpenGLContext>();
        m_context->setFormat(format());
        if (!m_context->create()) {
            m_context.reset();
            return false;
        }
        m_doubleBuffered = m_context->format().swapBehavior() != QSurfaceFormat::SingleBuffer;
    }
    QSurface* surface = onWindow ? static_cast<QSurface*>(this) : m_spareSurface.get();
    if (QOpenGLContext::currentContext() == m_context.get() && m_context->surface() == surface) {
        return true; // already so: making it current again costs every tick a trip to the driver
    }
    return m_context->makeCurrent(surface);
}

void VideoWindow::presentDrawable() {
    if (!m_context) {
        return;
    }
    if (m_doubleBuffered) {
        m_context->swapBuffers(this);
    } else {
        m_context->functions()->glFlush(); // a platform that refused a second buffer
    }
}

void VideoWindow::releaseContext() {
    m_presentation.reset();
    if (m_context) {
        m_context->doneCurrent();
        m_context.reset();
    }
}

QWidget* VideoWindow::holder() const {
    return m_container != nullptr ? m_container->window() : m_topLevel;
}

void VideoWindow::centerWindow() {
    QWidget* window = holder();
    const QScreen* screen = window->screen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void VideoWindow::setWindowContentSize(float width, float height) {
    // The content is what the main window holds below its menu bar: the view and its control
    // bar. A window without a menu bar (full screen) is all content.
    QWidget* window = holder();
    auto* main = qobject_cast<QMainWindow*>(window);
    const QWidget* content = main != nullptr ? main->centralWidget() : window;
    const QSize extra = window->frameGeometry().size() - content->size();
    // Below the view, the control bar keeps its height whatever the size.
    const int bar = m_container != nullptr ? content->height() - m_container->height() : 0;
    WindowFit::Size fitted{width, height};
    if (const QScreen* screen = window->screen()) {
        const QSize room = screen->availableGeometry().size();
        fitted = WindowFit::fitContent(
            {width, height}, static_cast<float>(std::max(bar, 0)),
            {static_cast<float>(extra.width()), static_cast<float>(extra.height())},
            {static_cast<float>(room.width()), static_cast<float>(room.height())});
    }
    const QSize frame = window->frameGeometry().size() - window->size();
    const int w = static_cast<int>(std::clamp(fitted.width, 1.0f, 16384.0f));
    const int h = static_cast<int>(std::clamp(fitted.height, 1.0f, 16384.0f));
    window->resize(w + extra.width() - frame.width(), h + extra.height() - frame.height());
}

void VideoWindow::runAlert(const std::string& title, const std::string& message,
                           const std::string& informative) {
    if (m_quit != nullptr && m_quit->requested()) {
        return; // the program is ending: nobody would read it, and it would hold the end up
    }
    if (m_divert) {
        m_divert(title, message, informative);
        return;
    }
    // An alert at start comes before the main window shows; it is shown first, in its place,
    // so that the alert sits on it rather than alone in a corner of the screen.
    if (!m_topLevel->isVisible()) {
        centerWindow();
        m_topLevel->show();
    }
    QMessageBox alert(QMessageBox::Warning, QString::fromStdString(title),
                      QString::fromStdString(message), QMessageBox::Ok, m_topLevel);
    alert.setInformativeText(QString::fromStdString(informative));
    alert.exec();
}

std::unique_ptr<GlyphSource> VideoWindow::makeGlyphSource() {
    return QtGlyphSource::create();
}

bool VideoWindow::event(QEvent* event) {
    // The render thread draws on this window's native surface: it must have left it before the
    // surface is destroyed, or its next use of the surface reads freed memory.
    // Moving the window into another may give it a new Wayland surface: the old one is
    // forgotten before, and the new one taken after (the view draws nothing meanwhile).
    if (event->type() == QEvent::ParentAboutToChange) {
        noteSurface(true);
    } else if (event->type() == QEvent::ParentChange) {
        noteSurfaceSoon();
    }
    if (event->type() == QEvent::PlatformSurface && m_view != nullptr) {
        const auto type = static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType();
        if (type == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed) {
            m_shown = false;
            noteSurface(true);
            m_view->surfaceWillBeDestroyed();
        } else if (type == QPlatformSurfaceEvent::SurfaceCreated) {
            m_view->surfaceWasCreated();
        }
    }
    return QWindow::event(event);
}

void VideoWindow::exposeEvent(QExposeEvent*) {
    m_shown = isExposed();
    if (isExposed()) {
        noteSurface(false);
    }
    if (!isExposed() || m_view == nullptr) {
        return;
    }
    storeSize();
    m_view->setNeedsDisplay();
}

void VideoWindow::showEvent(QShowEvent*) {
    // On Wayland a window embedded in another may never be told it is exposed, though its
    // pictures reach the screen: its surface is taken once it has one, after the show.
    noteSurfaceSoon();
}

void VideoWindow::hideEvent(QHideEvent*) {
    noteSurface(true); // a hidden Wayland window has lost its surface
}

void VideoWindow::noteSurfaceSoon() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isVisible() && m_wlDisplay != nullptr) {
                noteSurface(false);
                m_shown = m_shown || m_wlSurface.load() != nullptr;
                if (m_view != nullptr) {
                    m_view->surfaceWasCreated(); // drawing resumes where a hide stopped it
                }
            }
        },
        Qt::QueuedConnection);
}

void VideoWindow::resizeEvent(QResizeEvent*) {
    storeSize();
    if (m_view != nullptr) {
        m_view->surfaceChanged();
    }
}

void VideoWindow::sendMouse(MouseAction action, QMouseEvent* event) {
    if (m_mouseHandler) {
        const QPointF p = event->position();
        // Only differences of points are used, so flipping within this window is enough.
        m_mouseHandler(action, static_cast<float>(p.x()), static_cast<float>(height() - p.y()));
    }
}

void VideoWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        sendMouse(MouseAction::Down, event);
    }
}

void VideoWindow::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        sendMouse(MouseAction::Dragged, event);
    }
}

void VideoWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        sendMouse(MouseAction::Up, event);
    }
}

void VideoWindow::setWindowTitle(const std::string& title) {
    m_topLevel->setWindowTitle(QString::fromStdString(title));
}

void VideoWindow::terminate() {
    // Queued, so that the caller's own work finishes before the orderly end begins.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [quit = m_quit] {
            if (quit != nullptr) {
                quit->request();
            } else {
                QCoreApplication::quit();
            }
        },
        Qt::QueuedConnection);
}

void* VideoWindow::getProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context != nullptr ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

} // namespace lumenarc
