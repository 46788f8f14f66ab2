#include "view/MyOpenGLView.h"

#include "base/DeveloperLog.h"
#include "base/MainThread.h"
#include "movie/Movie.h"
#include "prefs/PrefsManager.h"
#include "render/TextOverlay.h"
#include "render/TextureLoader.h"
#include "render/ViewSetup.h"
#include "ui/Button.h"
#include "ui/Slider.h"
#include "view/StartupMesh.h"
#include "view/ThreadContract.h"

#include <GL/gl.h>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

namespace lumenarc {
namespace {

int64_t steadyNanoseconds(RenderThread::Clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(path, ec);
}

} // namespace

MyOpenGLView::MyOpenGLView(Host& host, std::string resourcePath)
    : m_host(host), m_resourcePath(std::move(resourcePath)),
      m_renderThread(std::make_shared<RenderThread>(host.refreshRate())),
      m_displayLink(std::make_unique<DisplayLink>(*m_renderThread)),
      m_refresh(m_renderThread->period().count()), m_refreshPeriod(m_refresh.period()) {
    m_displayLink->setOutputCallback(&FramePump::MyRenderCallback, &m_framePump);
    m_renderThread->setBeforeWork([this] { makeContextCurrent(); });
}

MyOpenGLView::~MyOpenGLView() {
    cleanUp();
}

void MyOpenGLView::setControls(Button* playButton, Slider* positionSlider, Slider* volumeSlider,
                               MenuItem* loopingMenuItem) {
    m_playButton = playButton;
    m_positionSlider = positionSlider;
    m_volumeSlider = volumeSlider;
    m_loopingMenuItem = loopingMenuItem;
}

void MyOpenGLView::setTextureContext(std::shared_ptr<TextureContext> context) {
    LUMENARC_ASSERT_THREAD(!m_renderThread->isRunning());
    m_textureContext = std::move(context);
}

void MyOpenGLView::awakeFromNib() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    setMovie(nullptr);
    m_showDistortionMatrix = false;
    m_showGridLines = false;
    m_showFPS = false;

    DeveloperLog::write("lumenarc: a start-up mesh beside the installed tree, used when present: " +
                        StartupMesh::besideTheTree(m_resourcePath));
    const auto defaultMap =
        m_prefsManager != nullptr ? m_prefsManager->defaultMapPath() : std::nullopt;
    if (defaultMap && !defaultMap->empty() && !fileExists(*defaultMap)) {
        // A moved mesh file must not leave a show on another mesh without a word.
        refuseMesh(*defaultMap, "missing: no such file", "the DefaultMap");
    }
    for (const auto& candidate : StartupMesh::candidates(defaultMap, m_resourcePath, fileExists)) {
        if (loadMesh(candidate, "a start-up mesh")) {
            break; // a bad file was reported; the next candidate keeps the show from going black
        }
    }

    if (m_volumeSlider != nullptr) {
        m_volumeSlider->setFloatValue(m_prefsManager != nullptr ? m_prefsManager->volume() : 0.0f);
    }
    m_frameTimer.reset();
    m_host.centerWindow();
}

void MyOpenGLView::startRendering() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_renderThread->start([this] {
        makeContextCurrent();
        if (!m_onWindowSurface) {
            DeveloperLog::write("No GL context for the video view");
            return;
        }
        prepareOpenGL();
        reshape();
        m_framePump.drawRect();
    });
}

void MyOpenGLView::makeContextCurrent() {
    m_onWindowSurface = !m_surfaceMoving && !m_surfaceGone && m_host.makeCurrentContext(true);
    if (!m_onWindowSurface) {
        m_host.makeCurrentContext(false);
    }
}

void MyOpenGLView::setNeedsDisplay() {
    m_renderThread->post([this] { m_framePump.drawRect(); });
}

void MyOpenGLView::surfaceChanged() {
    // The toolkit keeps the context in step with its window by itself; what follows a new size
    // here is the viewport, which reshape sets on the render thread between two frames.
    m_renderThread->post([this] {
        reshape();
        m_framePump.drawRect();
    });
}

void MyOpenGLView::requestReshape() {
    m_renderThread->post([this] { reshape(); });
}

void MyOpenGLView::moveSurface(const std::function<void()>& move) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const bool wasRunning = stopDisplayLink();
    m_surfaceMoving = true;
    // Work queued before this point finishes on the window's surface; work after it goes to
    // the other one and draws nothing, until the move is over.
    m_renderThread->runAndWait([] {});
    move(); // no lock held: the move may run the event loop
    m_surfaceMoving = false;
    if (wasRunning) {
        startDisplayLink();
    }
    surfaceChanged();
}

void MyOpenGLView::surfaceWillBeDestroyed() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_surfaceGone = true;
    // Every task makes the context current first: once this one has, the context is on the
    // spare surface, and a task already drawing on the window has finished.
    m_renderThread->runAndWait([] {});
}

void MyOpenGLView::surfaceWasCreated() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_surfaceGone.exchange(false)) {
        surfaceChanged();
    }
}

bool MyOpenGLView::stopDisplayLink() {
    LUMENARC_ASSERT_THREAD(!m_renderThread->isRenderThread());
    const bool wasRunning = m_displayLink->isRunning();
    m_displayLink->stop();
    return wasRunning;
}

void MyOpenGLView::startDisplayLink() {
    m_displayLink->start();
}

void MyOpenGLView::prepareOpenGL() {
    LUMENARC_ASSERT_THREAD(m_renderThread->isRenderThread());
    ViewSetup::prepare();
    // The swap interval is part of the context's format, set by the host; what paces the ticks
    // is measured once the window is shown (choosePacingOnce).
    m_displayLink->start();
    if (m_textureContext) {
        m_textureContext->prepare();
    }
    loadTexture(m_gridTextureID, "/Grid.tif");
    loadTexture(m_overlayTexID, "/Overlay.tif");
    if (const auto frame = currentFrame()) {
        glBindTexture(frame->target, frame->name);
        glTexParameterf(frame->target, GL_TEXTURE_MIN_FILTER, static_cast<float>(GL_LINEAR));
        glTexParameterf(frame->target, GL_TEXTURE_MAG_FILTER, static_cast<float>(GL_LINEAR));
    }
    buildFont();
    m_prepared = true;
}

bool MyOpenGLView::loadTexture(uint32_t& name, const std::string& file) {
    return TextureLoader::loadTexture(name, m_resourcePath + file);
}

bool MyOpenGLView::buildFont() {
    const auto glyphs = m_host.makeGlyphSource();
    GLuint first = 0;
    const bool built = TextOverlay::buildFont(first, glyphs.get());
    base = first;
    return built;
}

void MyOpenGLView::reshape() {
    LUMENARC_ASSERT_THREAD(m_renderThread->isRenderThread());
    // No lock: the drawing runs on this thread too, so it never sees half a reshape.
    const int width = m_host.pixelWidth();
    const int height = m_host.pixelHeight();
    ViewSetup::reshape(width, height);
    if (m_textureContext) {
        m_textureContext->setTargetSize(width, height);
    }
}

bool MyOpenGLView::loadDistortionMatrix(const std::string& path, bool keepPlaying) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (const auto playing = currentMovie(); playing && !keepPlaying) {
        playing->setRate(0.0f);
        showPlayState();
    }
    return loadMesh(path, nullptr);
}

void MyOpenGLView::refuseMesh(const std::string& path, const std::string& why,
                              const char* startupRole) {
    if (startupRole != nullptr) {
        DeveloperLog::write(std::string("lumenarc: ") + startupRole + " refused: " + path + ": " +
                            why);
    }
    m_host.runAlert("File error", "Sorry, this does not appear to be a valid data file\n" + why,
                    path);
}

bool MyOpenGLView::loadMesh(const std::string& path, const char* startupRole) {
    std::string why;
    std::shared_ptr<DistortionMatrix> mesh = DistortionMatrix::initFromFile(path, why);
    if (!mesh) {
        refuseMesh(path, why, startupRole);
        return false;
    }
    {
        // A frame takes its mesh under the lock and keeps it while it draws: one frame is drawn
        // from one mesh, and the one replaced here goes with the last frame drawn from it.
        std::lock_guard guard(m_lock);
        m_distortionMatrix = std::move(mesh);
    }
    m_meshPath = path;
    m_meshFileType = distortionMatrix()->projectionType();
    if (m_projectionMenuHook) {
        m_projectionMenuHook();
    }
    return true;
}

void MyOpenGLView::showEditedMesh(std::shared_ptr<DistortionMatrix> mesh,
                                  std::shared_ptr<const NodeHandles::Marks> marks) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    // What is replaced goes after the lock, here or with the last frame drawn from it.
    std::shared_ptr<DistortionMatrix> oldMesh;
    std::shared_ptr<const NodeHandles::Marks> oldMarks;
    std::lock_guard guard(m_lock);
    if (mesh) {
        oldMesh = std::exchange(m_distortionMatrix, std::move(mesh));
    }
    oldMarks = std::exchange(m_nodeMarks, std::move(marks));
}

std::shared_ptr<DistortionMatrix> MyOpenGLView::distortionMatrix() const {
    std::lock_guard guard(m_lock);
    return m_distortionMatrix;
}

std::shared_ptr<Movie> MyOpenGLView::currentMovie() const {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    std::lock_guard guard(m_lock);
    return movie;
}

std::shared_ptr<const MovieStatus> MyOpenGLView::movieStatus() const {
    std::lock_guard guard(m_lock);
    return m_movieStatus;
}

void MyOpenGLView::setMovie(std::shared_ptr<Movie> newMovie) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    std::shared_ptr<const MovieStatus> status = newMovie ? newMovie->status() : nullptr;
    const Movie* chosen = newMovie.get();
    std::shared_ptr<Movie> old;
    {
        std::lock_guard guard(m_lock);
        old = std::exchange(movie, std::move(newMovie));
        m_movieStatus = std::move(status);
    }
    if (m_textureContext) {
        m_textureContext->setMovie(chosen);
    }
    // The old movie is released here, on the main thread, outside the lock: its core goes to
    // the reaper, which first has the render thread let go of it.
}

TextureContext* MyOpenGLView::textureContext() const {
    return m_textureContext.get();
}

void MyOpenGLView::setCurrentFrame(FrameTextureRef frame) {
    FrameTextureRef old;
    std::lock_guard guard(m_lock);
    old = std::exchange(m_currentFrame, std::move(frame));
}

FrameTextureRef MyOpenGLView::currentFrame() const {
    std::lock_guard guard(m_lock);
    return m_currentFrame;
}

bool MyOpenGLView::quitWhenMovieFinishes() const {
    return m_quitAtEnd || (m_prefsManager != nullptr && m_prefsManager->quitWhenMovieFinishes());
}

void MyOpenGLView::movieDidFinish(const std::shared_ptr<const MovieStatus>& status, bool quit) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (status != movieStatus()) {
        return; // another movie has taken its place meanwhile
    }
    if (m_endHook && m_endHook()) {
        return;
    }
    if (quit) {
        terminate();
    }
}

void MyOpenGLView::showPlayState() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_playButton == nullptr) {
        return;
    }
    const auto playing = currentMovie();
    m_playButton->setTitle(playing && playing->rate() != 0.0f ? "Pause" : "Play");
}

void MyOpenGLView::showProgress(float position) {
    if (m_positionSlider != nullptr) {
        m_positionSlider->followValue(position);
    }
    showPlayState();
}

void MyOpenGLView::drawPicture() {
    LUMENARC_ASSERT_THREAD(m_renderThread->isRenderThread());
    if (!m_prepared || !m_onWindowSurface || m_surfaceMoving) {
        return;
    }
    renderBits();
    present();
}

void MyOpenGLView::present() {
    const uint64_t token = ++m_presents;
    // Asked before the swap: the platform ties the request to the commit the swap makes.
    m_lastPresentTimed = m_host.requestPresentationTime(token);
    m_lastPresentToken = token;
    if (m_lastPresentTimed) {
        const int64_t tickStart = std::exchange(m_tickStart, 0);
        const int64_t drawn =
            tickStart != 0 ? tickStart : steadyNanoseconds(RenderThread::Clock::now());
        m_inFlight.push_back({token, m_refresh.nextRefresh(drawn)});
        if (m_inFlight.size() > kMaxInFlight) {
            m_inFlight.pop_front(); // its answer never came
        }
        m_timeSource = TimeSource::Feedback;
    }
    m_host.presentDrawable();
    if (m_pacer == SwapPacing::Pacer::Swap) {
        m_renderThread->tickAgainAtOnce();
    }
}

void MyOpenGLView::choosePacingOnce() {
    LUMENARC_ASSERT_THREAD(m_renderThread->isRenderThread());
    if (m_pacer || !m_prepared || !m_onWindowSurface || m_surfaceMoving || !m_host.isShown()) {
        return;
    }
    // The picture on show, drawn and swapped a few times back to back: a swap that waits for
    // the display takes a refresh each time; one that does not comes back at once.
    std::vector<int64_t> durations;
    for (int i = 0; i < SwapPacing::kSwapsMeasured; ++i) {
        renderBits();
        const auto before = RenderThread::Clock::now();
        // Where the platform waits for the display before a commit rather than in the swap
        // (a compositor's frame callback), that wait is part of presenting.
        m_host.requestPresentationTime(0);
        m_host.presentDrawable();
        durations.push_back(steadyNanoseconds(RenderThread::Clock::now()) -
                            steadyNanoseconds(before));
    }
    m_pacer = SwapPacing::choose(durations, m_renderThread->period().count());
    if (m_pacer == SwapPacing::Pacer::Swap && m_timeSource == TimeSource::Timer) {
        m_timeSource = TimeSource::Swap;
    }
    DeveloperLog::write(SwapPacing::describe(*m_pacer, durations));
}

RenderThread::Clock::time_point
MyOpenGLView::outputTimeFor(RenderThread::Clock::time_point timerGuess) {
    const auto now = RenderThread::Clock::now();
    m_tickStart = steadyNanoseconds(now);
    if (!m_refresh.known()) {
        return timerGuess;
    }
    // Unless a swap that waited for the display starts the next tick at once, the timer keeps to
    // the display's own refreshes: the next tick just after the next one.
    m_renderThread->tickNextAt(RenderThread::Clock::time_point(
        std::chrono::nanoseconds(m_refresh.nextRefresh(m_tickStart) + kTickAfterRefresh)));
    return RenderThread::Clock::time_point(
        std::chrono::nanoseconds(m_refresh.outputTime(m_tickStart)));
}

void MyOpenGLView::takePresentationTimes(
    const std::function<void(uint64_t, RenderThread::Clock::time_point)>& shown) {
    LUMENARC_ASSERT_THREAD(m_renderThread->isRenderThread());
    m_arrived.clear();
    m_host.takePresentationTimes(m_arrived);
    for (const auto& time : m_arrived) {
        while (!m_inFlight.empty() && m_inFlight.front().token < time.token) {
            m_inFlight.pop_front(); // an answer that never came
        }
        const bool known = !m_inFlight.empty() && m_inFlight.front().token == time.token;
        const int64_t nextAtDraw = known ? m_inFlight.front().nextAtDraw : 0;
        if (known) {
            m_inFlight.pop_front();
        }
        if (!time.shown) {
            m_discarded.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        const int64_t instant = steadyNanoseconds(time.instant);
        m_refresh.observe(instant, time.msc);
        if (m_refresh.measured()) {
            m_refreshPeriod.store(m_refresh.period(), std::memory_order_relaxed);
        }
        if (known) {
            m_refresh.learn(nextAtDraw, instant);
        }
        shown(time.token, time.instant);
    }
}

const char* MyOpenGLView::describe(TimeSource source) {
    switch (source) {
    case TimeSource::Feedback:
        return "the compositor's presentation feedback";
    case TimeSource::Swap:
        return "the display's swap (predicted refresh)";
    case TimeSource::Timer:
        break;
    }
    return "the render thread's timer (predicted refresh)";
}

void MyOpenGLView::renderBits() {
    // The lock is held only to take what the frame is drawn from; drawing and presenting run
    // without it, so the main thread never waits for GL, libmpv or the window system.
    std::shared_ptr<DistortionMatrix> mesh;
    FrameTextureRef frame;
    std::shared_ptr<const NodeHandles::Marks> marks;
    {
        std::lock_guard guard(m_lock);
        mesh = m_distortionMatrix;
        frame = m_currentFrame;
        marks = m_nodeMarks;
    }
    FrameRenderer::Inputs in;
    in.mesh = mesh.get();
    in.frame = frame.get();
    if (frame && frame->inMemory.pixels != nullptr) {
        const auto drawing =
            m_processorWarp.prepare(mesh.get(), frame->inMemory, ProcessorWarp::Clock::now());
        in.frame = drawing.triangles;
        in.warped = drawing.warped;
    }
    in.showDistortionMatrix = m_showDistortionMatrix;
    in.showGridLines = m_showGridLines;
    in.showFPS = m_showFPS;
    in.drawOverlay = m_drawOverlay;
    in.nodeMarks = marks.get();
    if (in.showFPS) {
        if (const auto status = movieStatus()) {
            in.position = status->currentTime().seconds();
            in.duration = status->duration().seconds();
        }
    }
    in.gridTexture = m_gridTextureID;
    in.overlayTexture = m_overlayTexID;
    in.fontBase = base;
    in.viewWidth = m_host.boundsWidth();
    in.viewHeight = m_host.boundsHeight();
    in.frameTimer = &m_frameTimer;
    if (m_textureContext) {
        in.afterFlush = [context = m_textureContext.get()] { context->task(); };
    }
    m_renderer.renderBits(in);
}

void MyOpenGLView::cleanUp() {
    if (m_cleanedUp) {
        return;
    }
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_cleanedUp = true;
    DeveloperLog::write("Movie frames drawn: " + std::to_string(m_framePump.framesDrawn()));
    if (m_timeSource == TimeSource::Feedback) {
        DeveloperLog::write("Pictures the compositor discarded: " +
                            std::to_string(picturesDiscarded()));
        char period[64];
        std::snprintf(period, sizeof period, "Display refresh measured: %.3f ms",
                      static_cast<double>(refreshPeriod()) / 1e6);
        DeveloperLog::write(period);
    }
    // The display link stops first, so that no frame is drawn from what goes next.
    stopDisplayLink();
    if (const auto playing = currentMovie()) {
        playing->setRate(0.0f);
    }
    setMovie(nullptr);
    // The frame, the texture context and the GL context go on the render thread, with the
    // context current; then the thread ends. A core released after this point finds its render
    // context already freed.
    m_renderThread->quit([this] {
        setCurrentFrame(nullptr);
        m_processorWarp.release();
        if (m_textureContext) {
            m_textureContext->release();
        }
        m_host.releaseContext();
    });
}

} // namespace lumenarc
