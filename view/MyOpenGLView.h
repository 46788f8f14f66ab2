#pragma once

#include "mesh/DistortionMatrix.h"
#include "movie/MovieStatus.h"
#include "render/FrameRenderer.h"
#include "render/FrameTexture.h"
#include "render/GlyphSource.h"
#include "render/Timer.h"
#include "view/DisplayLink.h"
#include "view/FramePump.h"
#include "view/ProcessorWarp.h"
#include "view/RefreshClock.h"
#include "view/RenderThread.h"
#include "view/SwapPacing.h"
#include "view/TextureContext.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace lumenarc {

class Button;
class MenuItem;
class Movie;
class PrefsManager;
class Slider;

// The video view: the state every frame is drawn from, the preparation of its GL context, the
// start-up mesh, its resources and its clean-up. Toolkit work goes through its Host. The threads,
// the locks and who owns what are written down in view/ThreadContract.h; every entry point says
// which thread it belongs to.
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
        // Render thread: make (the first time) and make current the view's GL context, on the
        // window's surface, or, when `onWindow` is false, on one that is always there (for work
        // that draws nothing while the window's surface moves); present what was drawn; release
        // the context at the end.
        virtual bool makeCurrentContext(bool onWindow) = 0;
        virtual void presentDrawable() = 0;
        virtual void releaseContext() = 0;
        // Render thread, where the platform can tell when a picture really went on screen:
        // asks for the instant of the picture presented next (call before presentDrawable),
        // false where it cannot tell; and takes the instants that came, on the steady clock.
        struct PresentationTime {
            uint64_t token = 0;
            bool shown = false; // false: the picture was discarded and never shown
            RenderThread::Clock::time_point instant{};
            uint64_t msc = 0; // the display's refresh count, 0 when unknown
        };
        virtual bool requestPresentationTime(uint64_t token) {
            (void)token;
            return false;
        }
        virtual void takePresentationTimes(std::vector<PresentationTime>& out) { (void)out; }
        // Any thread: the window is on screen, so a swap measures the display, not a time-out.
        virtual bool isShown() const { return true; }
        // Main thread.
        virtual void centerWindow() = 0;
        // Sizes the view's window so that its content area is width x height points.
        virtual void setWindowContentSize(float width, float height) = 0;
        virtual void setWindowTitle(const std::string& title) = 0;
        // A modal alert with one "OK" button; `informative` (may be empty) says more, for
        // example which file.
        virtual void runAlert(const std::string& title, const std::string& message,
                              const std::string& informative) = 0;
        void runAlert(const std::string& title, const std::string& message) {
            runAlert(title, message, {});
        }
        // Ends the application in its orderly way (preferences saved, view cleaned up).
        virtual void terminate() = 0;
        // Any thread: the glyphs of the text overlay; nullptr when no font can be had.
        virtual std::unique_ptr<GlyphSource> makeGlyphSource() = 0;
    };
    struct MovieSize {
        float width = 0;
        float height = 0;
    };
    struct Point {
        float x = 0;
        float y = 0;
    };

    MyOpenGLView(Host& host, std::string resourcePath);
    ~MyOpenGLView();
    MyOpenGLView(const MyOpenGLView&) = delete;
    MyOpenGLView& operator=(const MyOpenGLView&) = delete;

    // Main thread, before startRendering: wiring.
    void setControls(Button* playButton, Slider* positionSlider, Slider* volumeSlider,
                     MenuItem* loopingMenuItem);
    // Called after every successful mesh load, to tick the projection menu.
    void setProjectionMenuHook(std::function<void()> hook) {
        m_projectionMenuHook = std::move(hook);
    }
    // Told on the main thread when the movie on show has reached its end and does not loop;
    // answers true when it takes the end over (a play list opens its next movie), so that the
    // run does not end there.
    void setEndHook(std::function<bool()> hook) { m_endHook = std::move(hook); }
    // Called on the render thread with each new frame drawn: when it goes on screen, and its
    // movie time. Set before rendering starts; it stays for the whole run.
    using PresentedHook =
        std::function<void(RenderThread::Clock::time_point presented, const MovieTime& time)>;
    void setPresentedHook(PresentedHook hook) { m_presentedHook = std::move(hook); }
    const PresentedHook& presentedHook() const { return m_presentedHook; }
    // The source of movie frames, for the whole run.
    void setTextureContext(std::shared_ptr<TextureContext> context);

    // Main thread, after the preferences were handed over.
    void awakeFromNib();
    // Main thread: starts the render thread, which makes and prepares the GL context.
    void startRendering();
    // Main thread: the window system asks for the view to be drawn again.
    void setNeedsDisplay();
    // Main thread: the drawable moved or resized; the context and viewport follow.
    void surfaceChanged();
    // Main thread: runs `move`, which may give the view's surface a new native window (moving
    // it into another window), while nothing is drawn on it. `move` may run the event loop.
    void moveSurface(const std::function<void()>& move);
    // Main thread: the window system is about to destroy the view's native surface (a window
    // closing, as every window does when the program quits), or has made it again. Returns once
    // the render thread has left the surface, which may then go.
    void surfaceWillBeDestroyed();
    void surfaceWasCreated();

    // Render thread, once, with the context current.
    void prepareOpenGL();
    bool loadTexture(uint32_t& name, const std::string& file);
    bool buildFont();
    // Render thread: viewport and projection from the current size.
    void reshape();
    // Main thread. False (after the alert) for a file that is not a valid mesh.
    // Loads a mesh file and draws through it from the next frame. The movie stops first, unless
    // `keepPlaying` (a show changing its mesh). A bad file gets an alert that says why, and the
    // mesh on show stays.
    bool loadDistortionMatrix(const std::string& path, bool keepPlaying = false);
    // Main thread: the file the mesh on show came from ("" for none) and the projection type
    // it gave; a save under another name makes that the mesh's file.
    const std::string& meshPath() const { return m_meshPath; }
    int32_t meshFileType() const { return m_meshFileType; }
    void setMeshPath(std::string path) { m_meshPath = std::move(path); }
    // Main thread: an edited mesh replaces the one on show from the next frame (nullptr keeps
    // it), with the editor's marks over it (nullptr: none).
    void showEditedMesh(std::shared_ptr<DistortionMatrix> mesh,
                        std::shared_ptr<const NodeHandles::Marks> marks);
    void cleanUp();

    // Render thread, with the context current: one picture, then presented. Only taking what it
    // is drawn from holds the lock.
    void drawPicture();
    void renderBits();

    // Where the instants of frames on screen come from, for logs; any thread.
    enum class TimeSource { Timer, Swap, Feedback };
    TimeSource timeSource() const { return m_timeSource; }
    static const char* describe(TimeSource source);
    // Render thread, once the window is shown: measures back-to-back swaps and chooses what
    // paces the ticks (logged once).
    void choosePacingOnce();
    // Render thread: when the picture drawn in the tick that starts now goes on screen: from the
    // last real instant and the measured refresh where the platform tells them, else the
    // timer's guess.
    RenderThread::Clock::time_point outputTimeFor(RenderThread::Clock::time_point timerGuess);
    // Render thread: the token of the picture the last drawPicture presented (0: none), and
    // whether its real instant will come.
    uint64_t lastPresentToken() const { return m_lastPresentToken; }
    bool lastPresentTimed() const { return m_lastPresentTimed; }
    // Render thread: takes the real instants that came; `shown` hears of each picture shown.
    void takePresentationTimes(
        const std::function<void(uint64_t token, RenderThread::Clock::time_point)>& shown);
    // Pictures the compositor discarded unseen, over the run.
    uint64_t picturesDiscarded() const { return m_discarded.load(std::memory_order_relaxed); }
    // Any thread: the refresh period in nanoseconds, measured from the display's instants where
    // it tells them, else the screen's nominal one.
    int64_t refreshPeriod() const { return m_refreshPeriod.load(std::memory_order_relaxed); }

    // Any thread: the mesh every frame is drawn from.
    std::shared_ptr<DistortionMatrix> distortionMatrix() const;
    // Main thread: the movie, and replacing it. The old one is released on this thread.
    std::shared_ptr<Movie> currentMovie() const;
    void setMovie(std::shared_ptr<Movie> movie);
    // Any thread: the movie's published status (nullptr without a movie).
    std::shared_ptr<const MovieStatus> movieStatus() const;
    // Render thread: the frame on show, swapped under the lock.
    void setCurrentFrame(FrameTextureRef frame);
    FrameTextureRef currentFrame() const;
    // Render thread: the picture on show went through the mesh's triangles while a drag or a
    // resize went on, which has rested since: drawn again, it goes through the warp map.
    bool warpMapDue() const { return m_processorWarp.mapDue(ProcessorWarp::Clock::now()); }
    // Render thread: the source of frames (nullptr when none was set).
    TextureContext* textureContext() const;

    // Switches the drawing reads at its next frame; any thread.
    bool looping() const { return m_looping; }
    void setLooping(bool on) { m_looping = on; }
    bool showDistortionMatrix() const { return m_showDistortionMatrix; }
    void setShowDistortionMatrix(bool on) { m_showDistortionMatrix = on; }
    bool showGridLines() const { return m_showGridLines; }
    void setShowGridLines(bool on) { m_showGridLines = on; }
    bool showFPS() const { return m_showFPS; }
    void setShowFPS(bool on) { m_showFPS = on; }
    // The translucent band across the lower picture; on unless the show turns it off.
    bool drawOverlay() const { return m_drawOverlay; }
    void setDrawOverlay(bool on) { m_drawOverlay = on; }

    // Main thread.
    MovieSize movieSize() const { return m_movieSize; }
    void setMovieSize(MovieSize size) { m_movieSize = size; }
    Point mouseDownPoint() const { return m_mouseDownPoint; }
    void setMouseDownPoint(Point point) { m_mouseDownPoint = point; }
    // Main thread: stops the display link, waiting for a frame in progress; true when it ran.
    bool stopDisplayLink();
    void startDisplayLink();
    void resetFrameTimer() { m_frameTimer.reset(); }
    const Timer& frameTimer() const { return m_frameTimer; }
    // Main thread: the viewport follows the drawable at the render thread's next chance.
    void requestReshape();
    // Main thread: the play button names what it would do: "Pause" while the movie plays,
    // "Play" otherwise.
    void showPlayState();
    // Main thread: the play position on the position slider, and the play state on the button.
    void showProgress(float position);
    // Main thread: widgets of the interface description.
    Button* playButton() const { return m_playButton; }
    Slider* positionSlider() const { return m_positionSlider; }
    Slider* volumeSlider() const { return m_volumeSlider; }
    MenuItem* loopingMenuItem() const { return m_loopingMenuItem; }

    FramePump& framePump() { return m_framePump; }
    Host& host() { return m_host; }
    // The render thread lives as long as the view, and longer for whoever shares it (a core
    // destroyed late still asks it to free its render context); it is internally synchronised.
    RenderThread& renderThread() { return *m_renderThread; }
    std::shared_ptr<RenderThread> sharedRenderThread() const { return m_renderThread; }
    const std::string& resourcePath() const { return m_resourcePath; }
    // Set on the main thread before the render thread starts; read by both.
    PrefsManager* prefsManager() const { return m_prefsManager; }
    void bindPrefsManager(PrefsManager* prefs) { m_prefsManager = prefs; }
    // Render thread.
    uint32_t gridTextureID() const { return m_gridTextureID; }
    uint32_t overlayTextureID() const { return m_overlayTexID; }
    uint32_t fontBase() const { return base; }
    void terminate() { m_host.terminate(); }
    // Any thread: whether the run ends with its movie: the preference, or this run's own wish
    // (which is no preference and is never saved).
    bool quitWhenMovieFinishes() const;
    void setQuitAtEnd(bool on) { m_quitAtEnd = on; }
    // Main thread: the frame pump saw the movie whose status this is at its end, not looping.
    void movieDidFinish(const std::shared_ptr<const MovieStatus>& status, bool quit);

private:
    // Loads without touching the movie; a start-up candidate (its role named) is also logged.
    bool loadMesh(const std::string& path, const char* startupRole);
    void refuseMesh(const std::string& path, const std::string& why, const char* startupRole);
    // Render thread, before every task and tick.
    void makeContextCurrent();
    // Render thread: presents what was drawn, timing the swap and asking for its instant.
    void present();

    Host& m_host;
    const std::string m_resourcePath;
    mutable std::recursive_mutex m_lock;
    // Guarded by m_lock: what a frame is drawn from.
    std::shared_ptr<Movie> movie; // set and dropped on the main thread only
    std::shared_ptr<const MovieStatus> m_movieStatus;
    FrameTextureRef m_currentFrame;
    std::shared_ptr<DistortionMatrix> m_distortionMatrix;
    std::shared_ptr<const NodeHandles::Marks> m_nodeMarks;
    // Made on the main thread, shared with the frame source; started and stopped on either.
    const std::shared_ptr<RenderThread> m_renderThread;
    const std::unique_ptr<DisplayLink> m_displayLink;
    std::shared_ptr<TextureContext> m_textureContext; // set before the render thread starts
    Timer m_frameTimer;                               // atomic fields: reset here, read there
    std::atomic<bool> m_looping{false};
    std::atomic<bool> m_showDistortionMatrix{false};
    std::atomic<bool> m_showGridLines{false};
    std::atomic<bool> m_showFPS{false};
    std::atomic<bool> m_drawOverlay{true};
    std::atomic<bool> m_quitAtEnd{false};
    // While either is set, nothing is drawn on the window's surface: it is moving, or gone.
    std::atomic<bool> m_surfaceMoving{false};
    std::atomic<bool> m_surfaceGone{false};
    // Main thread only.
    MovieSize m_movieSize;
    Point m_mouseDownPoint;
    std::string m_meshPath;
    int32_t m_meshFileType = 0;
    Button* m_playButton = nullptr;
    Slider* m_positionSlider = nullptr;
    Slider* m_volumeSlider = nullptr;
    MenuItem* m_loopingMenuItem = nullptr;
    PrefsManager* m_prefsManager = nullptr;
    std::function<void()> m_projectionMenuHook;
    std::function<bool()> m_endHook;
    PresentedHook m_presentedHook;
    bool m_cleanedUp = false;
    // Render thread only.
    uint32_t m_gridTextureID = 0;
    uint32_t m_overlayTexID = 0;
    uint32_t base = 0;
    FrameRenderer m_renderer;
    ProcessorWarp m_processorWarp; // frames kept in memory, warped for the frame pass
    FramePump m_framePump{*this};
    bool m_prepared = false;
    bool m_onWindowSurface = false; // the context is current on the window's surface
    // Render thread only: presentation.
    std::optional<SwapPacing::Pacer> m_pacer;
    RefreshClock m_refresh;
    int64_t m_tickStart = 0; // steady ns at which the current tick's output time was predicted
    uint64_t m_presents = 0;
    uint64_t m_lastPresentToken = 0;
    bool m_lastPresentTimed = false;
    struct InFlight {
        uint64_t token;
        int64_t nextAtDraw; // the refresh after the tick's start, steady ns
    };
    std::deque<InFlight> m_inFlight;
    static constexpr size_t kMaxInFlight = 32;
    // Where the timer keeps to real refreshes, it ticks this long after each one.
    static constexpr int64_t kTickAfterRefresh = 1'000'000;
    std::vector<Host::PresentationTime> m_arrived;
    std::atomic<TimeSource> m_timeSource{TimeSource::Timer};
    std::atomic<uint64_t> m_discarded{0};
    std::atomic<int64_t> m_refreshPeriod;
};

} // namespace lumenarc
