#pragma once

#include "MainQueue.h"
#include "base/MainThread.h"
#include "offscreen/OffscreenGL.h"
#include "playback/MpvPlayback.h"
#include "playback/PlaybackControl.h"
#include "view/MyOpenGLView.h"

#include <EGL/egl.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumenarc::test {

// The view's toolkit side without a window: an offscreen GL context, made on the render thread
// the first time it is asked for.
class OffscreenViewHost : public MyOpenGLView::Host {
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 240;

    float boundsWidth() const override { return kWidth; }
    float boundsHeight() const override { return kHeight; }
    int pixelWidth() const override { return kWidth; }
    int pixelHeight() const override { return kHeight; }
    double refreshRate() const override { return 60; }
    bool makeCurrentContext(bool) override {
        if (!m_gl) {
            m_gl = OffscreenGL::create(kWidth, kHeight);
        }
        return m_gl && m_gl->makeCurrent();
    }
    void presentDrawable() override { ++presented; }
    void releaseContext() override { m_gl.reset(); }
    void centerWindow() override {}
    void setWindowContentSize(float, float) override {}
    void setWindowTitle(const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_title = text;
    }
    void runAlert(const std::string& title, const std::string& message,
                  const std::string&) override {
        std::lock_guard lock(m_mutex);
        m_alerts.push_back(title + ": " + message);
    }
    void terminate() override { ++terminations; }
    std::unique_ptr<GlyphSource> makeGlyphSource() override { return nullptr; }

    std::string title() const {
        std::lock_guard lock(m_mutex);
        return m_title;
    }
    std::vector<std::string> alerts() const {
        std::lock_guard lock(m_mutex);
        return m_alerts;
    }

    std::atomic<int> presented{0};
    std::atomic<int> terminations{0};

private:
    std::unique_ptr<OffscreenGL> m_gl; // render thread only
    mutable std::mutex m_mutex;
    std::string m_title = "Lumenarc";
    std::vector<std::string> m_alerts;
};

// The player's engine as the application assembles it (view, render thread, display link, frame
// pump, libmpv movies, texture context, core reaper, playback control), on an offscreen context,
// with this thread as the main thread: its queue is drained while the test waits.
class LivePlayer {
public:
    LivePlayer()
        : m_view(host, LUMENARC_SHARE_DIR), m_mpv(m_view, &procAddress, nullptr, {.audio = false}),
          m_playback(m_view, m_mpv.movieOpener()) {
        m_view.awakeFromNib();
        m_view.startRendering();
    }
    ~LivePlayer() { quit(); }

    // The orderly end: a load in progress abandoned, the view cleaned up, every core destroyed.
    void quit() {
        if (m_quit) {
            return;
        }
        m_quit = true;
        m_playback.cancelOpen();
        m_view.cleanUp();
        m_main.run();
        m_mpv.drain();
    }

    MyOpenGLView& view() { return m_view; }
    PlaybackControl& playback() { return m_playback; }
    MpvPlayback& mpv() { return m_mpv; }
    uint64_t framesDrawn() { return m_view.framePump().framesDrawn(); }

    void runMainTasks() { m_main.run(); }

    bool waitFor(const std::function<bool()>& condition,
                 std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return m_main.waitFor(condition, limit);
    }

    // Waits until `count` more frames have been drawn.
    bool waitForFrames(uint64_t count) {
        const uint64_t target = framesDrawn() + count;
        return waitFor([&] { return framesDrawn() >= target; });
    }

    OffscreenViewHost host;

private:
    static void* procAddress(void*, const char* name) {
        return reinterpret_cast<void*>(eglGetProcAddress(name));
    }

    MainQueue m_main; // first made, last gone: it outlives everything that posts to it
    MyOpenGLView m_view;
    MpvPlayback m_mpv;
    PlaybackControl m_playback;
    bool m_quit = false;
};

} // namespace lumenarc::test
