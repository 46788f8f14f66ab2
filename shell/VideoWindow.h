#pragma once

#include "view/MyOpenGLView.h"
#include "view/WaylandPresentation.h"

#include <QWindow>
#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QOffscreenSurface;
class QOpenGLContext;
struct wl_display;
struct wl_surface;

namespace lumenarc {

class QuitRequest;
class WaylandPresentation;

// The native surface of the video view, and the view's toolkit side: size, GL context (made
// and used on the view's render thread only), window placement and alerts.
class VideoWindow : public QWindow, public MyOpenGLView::Host {
    Q_OBJECT
public:
    explicit VideoWindow(QWidget* topLevel);
    ~VideoWindow() override;

    void setView(MyOpenGLView* view) { m_view = view; }
    // Where terminate() goes; alerts are not shown once a quit was asked for.
    void setQuitRequest(QuitRequest* quit) { m_quit = quit; }
    // Mouse presses, drags and releases, in window coordinates with y upward.
    enum class MouseAction { Down, Dragged, Up };
    void setMouseHandler(std::function<void(MouseAction, float x, float y)> handler) {
        m_mouseHandler = std::move(handler);
    }
    // Where alerts go instead of on the screen, while set (for what a remote asked for, which
    // nobody may be at the screen to dismiss); returns the one set before, to put back.
    using AlertDivert = std::function<void(const std::string& title, const std::string& message,
                                           const std::string& informative)>;
    AlertDivert divertAlerts(AlertDivert divert) {
        return std::exchange(m_divert, std::move(divert));
    }
    // The widget that embeds this window; its top-level is the window that holds the view.
    void setContainer(QWidget* container) { m_container = container; }
    // Render thread: GL entry points of the view's context, for the movie decoder's renderer.
    static void* getProcAddress(void* context, const char* name);

    float boundsWidth() const override { return m_width.load(); }
    float boundsHeight() const override { return m_height.load(); }
    int pixelWidth() const override { return m_pixelWidth.load(); }
    int pixelHeight() const override { return m_pixelHeight.load(); }
    double refreshRate() const override;
    bool makeCurrentContext(bool onWindow) override;
    void presentDrawable() override;
    void releaseContext() override;
    bool requestPresentationTime(uint64_t token) override;
    void takePresentationTimes(std::vector<PresentationTime>& out) override;
    bool isShown() const override { return m_shown.load(); }
    void centerWindow() override;
    void setWindowContentSize(float width, float height) override;
    void setWindowTitle(const std::string& title) override;
    void runAlert(const std::string& title, const std::string& message,
                  const std::string& informative) override;
    void terminate() override;
    std::unique_ptr<GlyphSource> makeGlyphSource() override;

protected:
    bool event(QEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private Q_SLOTS:
    // Main thread, from the toolkit's Wayland window: its surface is about to go, or is new.
    void waylandSurfaceGoing();
    void waylandSurfaceCreated();

private:
    void watchWaylandSurface();
    void storeSize();
    // Main thread: notes the native surface the window has now (Wayland), for the render thread.
    void noteSurface(bool gone);
    // The same once the event loop has run, when the window has its surface.
    void noteSurfaceSoon();

    QWidget* holder() const;
    void sendMouse(MouseAction action, QMouseEvent* event);

    QWidget* m_topLevel;
    QWidget* m_container = nullptr;
    std::function<void(MouseAction, float, float)> m_mouseHandler;
    MyOpenGLView* m_view = nullptr;
    QuitRequest* m_quit = nullptr;
    AlertDivert m_divert;
    std::atomic<float> m_width{1};
    std::atomic<float> m_height{1};
    std::atomic<int> m_pixelWidth{1};
    std::atomic<int> m_pixelHeight{1};
    std::unique_ptr<QOpenGLContext> m_context; // render thread only
    // Made on the main thread, where surfaces must be made; the context goes current on it for
    // work that draws nothing while the window's own surface moves.
    std::unique_ptr<QOffscreenSurface> m_spareSurface;
    bool m_doubleBuffered = false;
    std::atomic<bool> m_shown{false};
    // Wayland: the connection (for the whole run), the window's surface as the main thread last
    // saw it, and a count that changes whenever it changes.
    wl_display* m_wlDisplay = nullptr;
    std::atomic<wl_surface*> m_wlSurface{nullptr};
    std::atomic<uint64_t> m_surfaceGeneration{0};
    // Render thread only: the presentation feedback on the surface of that generation.
    std::unique_ptr<WaylandPresentation> m_presentation;
    uint64_t m_presentationGeneration = 0;
    std::vector<WaylandPresentation::Feedback> m_feedback;
    static constexpr int64_t kFrameWait = 50'000'000; // three refreshes at 60 Hz
};

} // namespace lumenarc
