#pragma once

#include "mesh/DistortionMatrix.h"
#include "render/FrameRenderer.h"
#include "render/FrameTexture.h"
#include "render/GlyphSource.h"
#include "render/RenderThread.h"
#include "render/Timer.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace lumenarc {

class PrefsManager;
class Slider;

// The video view: the state every frame is drawn from, the preparation of its GL context, the
// start-up mesh and its resources. Toolkit work (the window, the GL context, alerts) goes
// through its Host. Threads: everything here runs on the main thread except prepareOpenGL,
// reshape and drawing, which run on the render thread that owns the GL context.
class MyOpenGLView {
public:
    // The toolkit side of the view.
    class Host {
    public:
        virtual ~Host() = default;
        // The view's bounds in points; safe to call from any thread.
        virtual float boundsWidth() const = 0;
        virtual float boundsHeight() const = 0;
        // The drawable's size in device pixels; safe to call from any thread.
        virtual int pixelWidth() const = 0;
        virtual int pixelHeight() const = 0;
        // The main display's refresh rate in Hz (60 when unknown).
        virtual double refreshRate() const = 0;
        // Render thread: make (the first time) and make current the view's GL context; present
        // what was drawn; release the context at the end.
        virtual bool makeCurrentContext() = 0;
        virtual void presentDrawable() = 0;
        virtual void releaseContext() = 0;
        // Main thread.
        virtual void centerWindow() = 0;
        virtual void runAlert(const std::string& title, const std::string& message) = 0;
        // The glyphs of the text overlay; nullptr when no font can be had.
        virtual std::unique_ptr<GlyphSource> makeGlyphSource() = 0;
    };

    MyOpenGLView(Host& host, std::string resourcePath);
    ~MyOpenGLView();
    MyOpenGLView(const MyOpenGLView&) = delete;
    MyOpenGLView& operator=(const MyOpenGLView&) = delete;

    // Wiring from the interface description.
    void setVolumeSlider(Slider* slider) { m_volumeSlider = slider; }
    // Called after every successful mesh load, to tick the projection menu.
    void setProjectionMenuHook(std::function<void()> hook) { m_projectionMenuHook = std::move(hook); }
    void setPrefsManager(PrefsManager* prefs) { m_prefsManager = prefs; }

    // Main thread, after the preferences were handed over.
    void awakeFromNib();
    // Main thread, when the view's surface is first shown: starts the render thread, which
    // prepares the GL context and draws.
    void startRendering();
    // Main thread: the window system asks for the view to be drawn again.
    void setNeedsDisplay();
    // Main thread: the drawable moved or resized; the context and viewport follow.
    void surfaceChanged();
    // Render thread, once, with the context current.
    void prepareOpenGL();
    bool loadTexture(uint32_t& name, const std::string& file);
    // Main thread, when the drawable moved or resized.
    void update();
    // Render thread: viewport and projection from the current size.
    void reshape();
    // Main thread.
    void loadDistortionMatrix(const std::string& path);
    void cleanUp();

    // One whole picture: under the view's lock, with the context current (render thread).
    void drawRect();
    // With the lock held and the context current.
    void renderBits();
    bool buildFont();

    std::shared_ptr<DistortionMatrix> distortionMatrix() const;
    std::recursive_mutex& lock() { return m_lock; }
    RenderThread& renderThread() { return *m_renderThread; }
    const std::string& resourcePath() const { return m_resourcePath; }
    Timer& frameTimer() { return *m_frameTimer; }
    uint32_t gridTextureID() const { return m_gridTextureID; }
    uint32_t overlayTextureID() const { return m_overlayTexID; }
    uint32_t fontBase() const { return base; }

    // Display switches, read by the drawing thread at its next frame.
    std::atomic<bool> m_showDistortionMatrix{false};
    std::atomic<bool> m_showGridLines{false};
    std::atomic<bool> m_showFPS{false};

private:
    Host& m_host;
    const std::string m_resourcePath;
    std::recursive_mutex m_lock; // guards the GL context, the frame and the mesh swap
    FrameTextureRef currentFrame;
    std::unique_ptr<Timer> m_frameTimer;
    std::shared_ptr<DistortionMatrix> m_distortionMatrix;
    uint32_t m_gridTextureID = 0;
    uint32_t m_overlayTexID = 0;
    uint32_t base = 0;
    Slider* m_volumeSlider = nullptr;
    PrefsManager* m_prefsManager = nullptr;
    std::function<void()> m_projectionMenuHook;
    FrameRenderer m_renderer;
    std::unique_ptr<RenderThread> m_renderThread;
    bool m_prepared = false; // render thread only
    bool m_cleanedUp = false;
};

} // namespace lumenarc
