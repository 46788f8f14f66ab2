#include "playback/MpvTextureContext.h"

#include "playback/MpvMovie.h"
#include "render/DeveloperLog.h"
#include "view/MainThread.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <mpv/render_gl.h>

namespace lumenarc {

// Textures of one size, reused frame after frame. A frame returns its texture when its last
// user lets go, from whatever thread; textures are made and deleted on the render thread only.
class MpvTextureContext::TexturePool {
public:
    GLuint acquire(int width, int height) {
        std::vector<GLuint> stale;
        GLuint name = 0;
        {
            std::lock_guard lock(m_mutex);
            if (width != m_width || height != m_height) {
                stale.swap(m_free);
                m_width = width;
                m_height = height;
            } else if (!m_free.empty()) {
                name = m_free.back();
                m_free.pop_back();
            }
        }
        if (!stale.empty()) {
            glDeleteTextures(static_cast<GLsizei>(stale.size()), stale.data());
        }
        return name != 0 ? name : make(width, height);
    }

    void giveBack(GLuint name, int width, int height) {
        std::lock_guard lock(m_mutex);
        if (width == m_width && height == m_height) {
            m_free.push_back(name);
        } else {
            m_orphans.push_back(name); // deleted on the render thread at the next drain
        }
    }

    void drain() {
        std::vector<GLuint> names;
        {
            std::lock_guard lock(m_mutex);
            names.swap(m_orphans);
            names.insert(names.end(), m_free.begin(), m_free.end());
            m_free.clear();
        }
        if (!names.empty()) {
            glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
        }
    }

    void dropOrphans() {
        std::vector<GLuint> names;
        {
            std::lock_guard lock(m_mutex);
            names.swap(m_orphans);
        }
        if (!names.empty()) {
            glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
        }
    }

private:
    static GLuint make(int width, int height) {
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        return name;
    }

    std::mutex m_mutex;
    std::vector<GLuint> m_free;
    std::vector<GLuint> m_orphans;
    int m_width = 0;
    int m_height = 0;
};

namespace {

// libmpv draws with its own shaders, buffers and framebuffer. Everything the view's fixed-function
// drawing relies on is saved before and restored after.
class SavedGLState {
public:
    SavedGLState() {
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &m_drawFramebuffer);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &m_readFramebuffer);
        glGetIntegerv(GL_CURRENT_PROGRAM, &m_program);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &m_vertexArray);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &m_arrayBuffer);
        glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &m_unpackBuffer);
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &m_packBuffer);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &m_activeTexture);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    }
    ~SavedGLState() {
        glBindVertexArray(static_cast<GLuint>(m_vertexArray));
        glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(m_arrayBuffer));
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(m_unpackBuffer));
        glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(m_packBuffer));
        glUseProgram(static_cast<GLuint>(m_program));
        glActiveTexture(static_cast<GLenum>(m_activeTexture));
        glPopClientAttrib();
        glPopAttrib();
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(m_drawFramebuffer));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(m_readFramebuffer));
    }
    SavedGLState(const SavedGLState&) = delete;
    SavedGLState& operator=(const SavedGLState&) = delete;

private:
    GLint m_drawFramebuffer = 0, m_readFramebuffer = 0, m_program = 0, m_vertexArray = 0;
    GLint m_arrayBuffer = 0, m_unpackBuffer = 0, m_packBuffer = 0, m_activeTexture = GL_TEXTURE0;
};

} // namespace

MpvTextureContext::MpvTextureContext(RenderThread& thread, GetProcAddress getProcAddress,
                                     void* procContext)
    : m_thread(thread), m_getProcAddress(getProcAddress), m_procContext(procContext),
      m_pool(std::make_shared<TexturePool>()) {}

MpvTextureContext::~MpvTextureContext() = default;

void MpvTextureContext::createRenderContext(mpv_handle* core) {
    freeRenderContext();
    mpv_opengl_init_params init{m_getProcAddress, m_procContext};
    int advanced = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
        {MPV_RENDER_PARAM_INVALID, nullptr}};
    SavedGLState saved;
    if (mpv_render_context_create(&m_render, core, params) < 0) {
        m_render = nullptr;
        DeveloperLog::write("The movie's frames cannot be drawn: no libmpv render context");
        return;
    }
    m_core = core;
}

void MpvTextureContext::freeRenderContext() {
    if (m_render != nullptr) {
        SavedGLState saved;
        mpv_render_context_free(m_render);
    }
    m_render = nullptr;
    m_core = nullptr;
}

bool MpvTextureContext::attachCore(mpv_handle* core) {
    return m_thread.runAndWait([this, core] {
        if (m_core != core) {
            createRenderContext(core);
        }
    });
}

void MpvTextureContext::detachCore(mpv_handle* core) {
    m_thread.runAndWait([this, core] {
        if (m_core == core) {
            freeRenderContext();
        }
    });
}

void MpvTextureContext::setMovie(const std::shared_ptr<Movie>& movie) {
    auto mpv = std::dynamic_pointer_cast<MpvMovie>(movie);
    {
        std::lock_guard lock(m_movieMutex);
        m_movie = mpv;
    }
    if (!mpv) {
        m_thread.runAndWait([this] { freeRenderContext(); });
        return;
    }
    // A movie loaded before its render context existed lost its video output; once the context
    // exists, its video track is selected again.
    bool late = false;
    m_thread.runAndWait([this, core = mpv->handle(), &late] {
        if (m_core != core) {
            createRenderContext(core);
            late = m_render != nullptr;
        }
    });
    if (late) {
        MainThread::post([weak = std::weak_ptr<MpvMovie>(mpv)] {
            if (auto movie = weak.lock()) {
                movie->reloadVideo();
            }
        });
    }
}

std::shared_ptr<MpvMovie> MpvTextureContext::movie() const {
    std::lock_guard lock(m_movieMutex);
    return m_movie.lock();
}

bool MpvTextureContext::isNewImageAvailable(TimeStamp) {
    m_pool->dropOrphans();
    return m_render != nullptr &&
           (mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME) != 0;
}

FrameTextureRef MpvTextureContext::copyImageForTime(TimeStamp) {
    const auto current = movie(); // keeps the core alive while its frame is drawn
    if (m_render == nullptr || !current || current->handle() != m_core) {
        return nullptr;
    }
    const auto size = current->videoSize();
    const int width = static_cast<int>(size.width);
    const int height = static_cast<int>(size.height);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        return nullptr;
    }
    const GLuint texture = m_pool->acquire(width, height);
    {
        SavedGLState saved;
        if (m_framebuffer == 0) {
            glGenFramebuffers(1, &m_framebuffer);
        }
        glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        mpv_opengl_fbo target{static_cast<int>(m_framebuffer), width, height, 0};
        int flipY = 1; // bottom row at t = 0, as the drawing expects
        int block = 0; // the display link paces us; never wait for a frame's time here
        mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                     {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(m_render, params);
    }
    auto frame = std::shared_ptr<FrameTexture>(
        new FrameTexture{GL_TEXTURE_2D, texture, {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}}},
        [pool = std::weak_ptr<TexturePool>(m_pool), width, height](FrameTexture* gone) {
            if (auto owner = pool.lock()) {
                owner->giveBack(gone->name, width, height);
            }
            delete gone;
        });
    return frame;
}

void MpvTextureContext::task() {
    if (m_render != nullptr) {
        mpv_render_context_report_swap(m_render);
    }
}

void MpvTextureContext::release() {
    freeRenderContext();
    m_pool->drain();
    if (m_framebuffer != 0) {
        glDeleteFramebuffers(1, &m_framebuffer);
        m_framebuffer = 0;
    }
}

} // namespace lumenarc
