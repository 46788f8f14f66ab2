#pragma once

#include "mesh/DistortionMatrix.h"
#include "render/FrameRenderer.h"
#include "render/FrameTexture.h"
#include "render/GlyphSource.h"
#include "render/Timer.h"
#include "view/DisplayLink.h"
#include "view/FramePump.h"
#include "view/RenderThread.h"
#include "view/TextureContext.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace lumenarc {

class Button;
class MenuItem;
class Movie;
class PrefsManager;
class Slider;

// The video view: the state every frame is drawn from, the preparation of its GL context, the
// start-up mesh, its resources and its clean-up. Toolkit work goes through its Host.
//
// Threads: one render thread owns the GL context and makes every GL call (prepareOpenGL,
// reshape, all drawing, the texture context). Everything else runs on the main thread. What
// both threads touch is atomic (switches, looping) or guarded by the view's lock (the movie, the
// current frame, the mesh, the texture context), and the lock is held for a whole frame.
class MyOpenGLView {
public:
    // The toolkit side of the view.
    class Host {
    public:
        virtual ~Host() = default;
        // The view's bounds in points, and its drawable in device pixels; any thread.
        virtual float boundsWidth() const = 0;
        virtual float boundsHeight() const = 0;
        virtual int pixelWidth() const = 0;
        virtual int pixelHeight() const = 0;
        // The main display's refresh rate in Hz (60 when unknown).
        virtual double refreshRate() const = 0;
        // Render thread: make (the first time) and make current the view's GL context; present
        // what was drawn; release the context at the end.
        virtual bool makeCurrentContext() = 0;
        virtual void doneCurrentContext() = 0;
        virtual void presentDrawable() = 0;
        virtual void releaseContext() = 0;
        // Main thread.
        virtual void centerWindow() = 0;
        // Sizes the view's window so that its content area is width x height points.
        virtual void setWindowContentSize(float width, float height) = 0;
        virtual void setWindowTitle(const std::string& title) = 0;
        virtual void runAlert(const std::string& title, const std::string& message) = 0;
        // Ends the application in its orderly way (preferences saved, view cleaned up).
        virtual void terminate() = 0;
        // Any thread: the glyphs of the text overlay; nullptr when no font can be had.
        virtual std::unique_ptr<GlyphSource> makeGlyphSource() = 0;
    };
    // Makes the movie texture context on the render thread (nullptr if none can be made).
    using TextureContextFactory = std::function<std::unique_ptr<TextureContext>()>;

    MyOpenGLView(Host& host, std::string resourcePath);
    ~MyOpenGLView();
    MyOpenGLView(const MyOpenGLView&) = delete;
    MyOpenGLView& operator=(const MyOpenGLView&) = delete;

    // Wiring from the interface description.
    void setControls(Button* playButton, Slider* positionSlider, Slider* volumeSlider,
                     MenuItem* loopingMenuItem);
    // Called after every successful mesh load, to tick the projection menu.
    void setProjectionMenuHook(std::function<void()> hook) {
        m_projectionMenuHook = std::move(hook);
    }
    void setTextureContextFactory(TextureContextFactory factory) {
        m_textureContextFactory = std::move(factory);
    }

    // Main thread, after the preferences were handed over.
    void awakeFromNib();
    // Main thread: starts the render thread, which makes and prepares the GL context.
    void startRendering();
    // Main thread: the window system asks for the view to be drawn again.
    void setNeedsDisplay();
    // Main thread: the drawable moved or resized; the context and viewport follow.
    void surfaceChanged();
    // Main thread: runs `move`, which may give the view's surface a new native window (moving
    // it into another window), while no frame is drawn and the context is bound to nothing.
    void moveSurface(const std::function<void()>& move);

    // Render thread, once, with the context current.
    void prepareOpenGL();
    bool loadTexture(uint32_t& name, const std::string& file);
    bool buildFont();
    // Main thread: holds the lock while the toolkit brings the context up to date.
    void update();
    // Render thread: viewport and projection from the current size.
    void reshape();
    // Main thread.
    void loadDistortionMatrix(const std::string& path);
    void cleanUp();

    // Render thread: one picture under the lock with the context current, then presented.
    void drawPicture();
    // With the lock held and the context current.
    void renderBits();

    // Accessors for the collaborators that work on the view's state.
    std::shared_ptr<DistortionMatrix> distortionMatrix() const;
    std::shared_ptr<Movie> currentMovie() const;
    // Main thread: replaces the movie (the old one is released, and with it its frames).
    void setMovie(std::shared_ptr<Movie> movie);
    // Main thread: the texture context, if the GL context has been prepared.
    TextureContext* textureContext() const;
    TextureContext* textureContextOnRenderThread() const { return m_textureContext.get(); }
    void setCurrentFrame(FrameTextureRef frame);
    FrameTextureRef currentFrame() const;
    DisplayLink* displayLink() const;
    FramePump& framePump() { return m_framePump; }
    Host& host() { return m_host; }
    RenderThread& renderThread() { return *m_renderThread; }
    std::recursive_mutex& lock() const { return m_lock; }
    const std::string& resourcePath() const { return m_resourcePath; }
    Timer& frameTimer() { return *m_frameTimer; }
    PrefsManager* prefsManager() const { return m_prefsManager; }
    void bindPrefsManager(PrefsManager* prefs) { m_prefsManager = prefs; }
    Button* playButton() const { return m_playButton; }
    Slider* positionSlider() const { return m_positionSlider; }
    Slider* volumeSlider() const { return m_volumeSlider; }
    MenuItem* loopingMenuItem() const { return m_loopingMenuItem; }
    uint32_t gridTextureID() const { return m_gridTextureID; }
    uint32_t overlayTextureID() const { return m_overlayTexID; }
    uint32_t fontBase() const { return base; }
    void terminate() { m_host.terminate(); }

    // The movie's natural size, for sizing the window (main thread).
    struct MovieSize {
        float width = 0;
        float height = 0;
    } movieSize;
    // Read by the drawing thread at its next frame.
    std::atomic<bool> m_looping{false};
    std::atomic<bool> m_showDistortionMatrix{false};
    std::atomic<bool> m_showGridLines{false};
    std::atomic<bool> m_showFPS{false};
    // Reference point of a mouse drag (main thread).
    struct Point {
        float x = 0;
        float y = 0;
    } m_mouseDownPoint;

private:
    Host& m_host;
    const std::string m_resourcePath;
    mutable std::recursive_mutex m_lock;
    std::shared_ptr<Movie> movie;
    std::unique_ptr<DisplayLink> m_displayLink;
    std::unique_ptr<TextureContext> m_textureContext;
    FrameTextureRef m_currentFrame;
    std::unique_ptr<Timer> m_frameTimer;
    std::shared_ptr<DistortionMatrix> m_distortionMatrix;
    uint32_t m_gridTextureID = 0;
    uint32_t m_overlayTexID = 0;
    uint32_t base = 0;
    Button* m_playButton = nullptr;
    Slider* m_positionSlider = nullptr;
    Slider* m_volumeSlider = nullptr;
    MenuItem* m_loopingMenuItem = nullptr;
    PrefsManager* m_prefsManager = nullptr;
    std::function<void()> m_projectionMenuHook;
    TextureContextFactory m_textureContextFactory;
    FrameRenderer m_renderer;
    FramePump m_framePump{*this};
    std::unique_ptr<RenderThread> m_renderThread;
    bool m_prepared = false; // render thread only
    bool m_cleanedUp = false;
};

} // namespace lumenarc
