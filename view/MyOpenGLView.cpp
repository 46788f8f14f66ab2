#include "view/MyOpenGLView.h"

#include "prefs/PrefsManager.h"
#include "render/DeveloperLog.h"
#include "render/TextOverlay.h"
#include "render/TextureLoader.h"
#include "render/ViewSetup.h"
#include "ui/Slider.h"
#include "view/Movie.h"

#include <GL/gl.h>
#include <filesystem>
#include <string>
#include <utility>

namespace lumenarc {
namespace {

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(path, ec);
}

} // namespace

MyOpenGLView::MyOpenGLView(Host& host, std::string resourcePath)
    : m_host(host), m_resourcePath(std::move(resourcePath)),
      m_frameTimer(std::make_unique<Timer>()),
      m_renderThread(std::make_unique<RenderThread>(host.refreshRate())) {}

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

void MyOpenGLView::awakeFromNib() {
    setMovie(nullptr);
    m_showDistortionMatrix = false;
    m_showGridLines = false;
    m_showFPS = false;

    const std::string rect = m_resourcePath + "/rect.data";
    const std::string beside = m_resourcePath + "/../../../default.data";
    DeveloperLog::write(beside);
    std::string candidate = fileExists(beside) ? beside : rect;
    if (m_prefsManager != nullptr && m_prefsManager->defaultMapPath() &&
        fileExists(*m_prefsManager->defaultMapPath())) {
        candidate = *m_prefsManager->defaultMapPath();
    }
    loadDistortionMatrix(candidate);

    if (m_volumeSlider != nullptr) {
        m_volumeSlider->setFloatValue(m_prefsManager != nullptr ? m_prefsManager->volume() : 0.0f);
    }
    m_frameTimer = std::make_unique<Timer>();
    m_host.centerWindow();
}

void MyOpenGLView::startRendering() {
    m_renderThread->start([this] {
        if (!m_host.makeCurrentContext()) {
            DeveloperLog::write("No GL context for the video view");
            return;
        }
        prepareOpenGL();
        reshape();
        m_framePump.drawRect();
    });
}

void MyOpenGLView::setNeedsDisplay() {
    m_renderThread->post([this] { m_framePump.drawRect(); });
}

void MyOpenGLView::surfaceChanged() {
    update();
    m_renderThread->post([this] {
        reshape();
        m_framePump.drawRect();
    });
}

void MyOpenGLView::moveSurface(const std::function<void()>& move) {
    DisplayLink* link = displayLink();
    const bool wasRunning = link != nullptr && link->isRunning();
    if (wasRunning) {
        link->stop();
    }
    m_renderThread->runAndWait([this] {
        std::lock_guard guard(m_lock);
        m_host.doneCurrentContext();
    });
    {
        // Redraws that the move itself asks for wait until the surface has settled.
        std::lock_guard guard(m_lock);
        move();
    }
    if (wasRunning) {
        link->start();
    }
    surfaceChanged();
}

void MyOpenGLView::prepareOpenGL() {
    ViewSetup::prepare();
    // The swap interval of 1 is part of the context's format, set by the host.
    auto link = std::make_unique<DisplayLink>(*m_renderThread);
    link->setOutputCallback(&FramePump::MyRenderCallback, &m_framePump);
    link->start();
    {
        std::lock_guard guard(m_lock);
        m_displayLink = std::move(link);
    }
    if (m_textureContextFactory) {
        auto context = m_textureContextFactory();
        std::lock_guard guard(m_lock);
        m_textureContext = std::move(context);
        if (m_textureContext && movie) {
            m_textureContext->setMovie(movie); // a movie opened before the context existed
        }
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

void MyOpenGLView::update() {
    // The toolkit keeps the context in step with its window; holding the lock keeps a size
    // change from landing in the middle of a frame.
    std::lock_guard guard(m_lock);
}

void MyOpenGLView::reshape() {
    std::lock_guard guard(m_lock);
    ViewSetup::reshape(m_host.pixelWidth(), m_host.pixelHeight());
}

void MyOpenGLView::loadDistortionMatrix(const std::string& path) {
    if (const auto playing = currentMovie()) {
        playing->setRate(0.0f);
    }
    std::shared_ptr<DistortionMatrix> mesh = DistortionMatrix::initFromFile(path);
    if (!mesh) {
        m_host.runAlert("File error", "Sorry, this does not appear to be a valid data file");
        return;
    }
    {
        // The drawing holds the lock for a whole frame, so one frame is drawn from one mesh.
        std::lock_guard guard(m_lock);
        m_distortionMatrix = std::move(mesh);
    }
    if (m_projectionMenuHook) {
        m_projectionMenuHook();
    }
}

std::shared_ptr<DistortionMatrix> MyOpenGLView::distortionMatrix() const {
    std::lock_guard guard(m_lock);
    return m_distortionMatrix;
}

std::shared_ptr<Movie> MyOpenGLView::currentMovie() const {
    std::lock_guard guard(m_lock);
    return movie;
}

void MyOpenGLView::setMovie(std::shared_ptr<Movie> newMovie) {
    std::shared_ptr<Movie> old;
    {
        std::lock_guard guard(m_lock);
        old = std::exchange(movie, std::move(newMovie));
    }
    // Released outside the lock: releasing a movie may wait for the render thread.
}

DisplayLink* MyOpenGLView::displayLink() const {
    std::lock_guard guard(m_lock);
    return m_displayLink.get();
}

TextureContext* MyOpenGLView::textureContext() const {
    std::lock_guard guard(m_lock);
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

void MyOpenGLView::drawPicture() {
    std::lock_guard guard(m_lock);
    if (!m_prepared || !m_host.makeCurrentContext()) {
        return;
    }
    renderBits();
    m_host.presentDrawable();
}

void MyOpenGLView::renderBits() {
    FrameRenderer::Inputs in;
    in.mesh = m_distortionMatrix.get();
    in.frame = m_currentFrame.get();
    in.showDistortionMatrix = m_showDistortionMatrix;
    in.showGridLines = m_showGridLines;
    in.showFPS = m_showFPS;
    in.gridTexture = m_gridTextureID;
    in.overlayTexture = m_overlayTexID;
    in.fontBase = base;
    in.viewWidth = m_host.boundsWidth();
    in.viewHeight = m_host.boundsHeight();
    in.frameTimer = m_frameTimer.get();
    if (m_textureContext) {
        in.afterFlush = [context = m_textureContext.get()] { context->task(); };
    }
    m_renderer.renderBits(in);
}

void MyOpenGLView::cleanUp() {
    if (m_cleanedUp) {
        return;
    }
    m_cleanedUp = true;
    DeveloperLog::write("Movie frames drawn: " + std::to_string(m_framePump.framesDrawn()));
    // The display link stops first, so that no frame is drawn from what goes next.
    if (DisplayLink* link = displayLink()) {
        link->stop();
    }
    if (const auto playing = currentMovie()) {
        playing->setRate(0.0f);
        if (TextureContext* context = textureContext()) {
            context->setMovie(nullptr);
        }
        setMovie(nullptr);
    }
    // The frame, the texture context and the GL context go on the render thread, with the
    // context current; then the thread ends.
    m_renderThread->quit([this] {
        std::lock_guard guard(m_lock);
        m_currentFrame.reset();
        if (m_textureContext) {
            m_textureContext->release();
            m_textureContext.reset();
        }
        m_displayLink.reset();
        m_host.releaseContext();
    });
}

} // namespace lumenarc
