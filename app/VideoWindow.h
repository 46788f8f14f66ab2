#pragma once

#include "render/MyOpenGLView.h"

#include <QWindow>
#include <atomic>
#include <memory>

class QOpenGLContext;

namespace lumenarc {

// The native surface of the video view, and the view's toolkit side: size, GL context (made
// and used on the view's render thread only), window placement and alerts.
class VideoWindow : public QWindow, public MyOpenGLView::Host {
    Q_OBJECT
public:
    explicit VideoWindow(QWidget* topLevel);
    ~VideoWindow() override;

    void setView(MyOpenGLView* view) { m_view = view; }

    float boundsWidth() const override { return m_width.load(); }
    float boundsHeight() const override { return m_height.load(); }
    int pixelWidth() const override { return m_pixelWidth.load(); }
    int pixelHeight() const override { return m_pixelHeight.load(); }
    double refreshRate() const override;
    bool makeCurrentContext() override;
    void presentDrawable() override;
    void releaseContext() override;
    void centerWindow() override;
    void runAlert(const std::string& title, const std::string& message) override;
    std::unique_ptr<GlyphSource> makeGlyphSource() override;

protected:
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void storeSize();

    QWidget* m_topLevel;
    MyOpenGLView* m_view = nullptr;
    bool m_started = false;
    std::atomic<float> m_width{1};
    std::atomic<float> m_height{1};
    std::atomic<int> m_pixelWidth{1};
    std::atomic<int> m_pixelHeight{1};
    std::unique_ptr<QOpenGLContext> m_context; // render thread only
    bool m_doubleBuffered = false;
};

} // namespace lumenarc
