#include "offscreen/OffscreenGL.h"

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

namespace lumenarc {
namespace {

EGLDisplay surfacelessDisplay() {
    const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) {
        return EGL_NO_DISPLAY;
    }
    return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

void setError(std::string* error, const std::string& message) {
    if (error != nullptr) {
        *error = message;
    }
}

} // namespace

std::unique_ptr<OffscreenGL> OffscreenGL::create(int width, int height, std::string* error,
                                                 Buffers buffers) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        setError(error, "offscreen size must be between 1x1 and 16384x16384");
        return nullptr;
    }
    std::unique_ptr<OffscreenGL> gl(new OffscreenGL);
    EGLDisplay display = surfacelessDisplay();
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
        setError(error, "no EGL surfaceless display (is Mesa's EGL installed?)");
        return nullptr;
    }
    gl->m_display = display;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        setError(error, "EGL cannot bind desktop OpenGL");
        return nullptr;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context =
        eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        setError(error, "EGL cannot create a compatibility-profile GL context");
        return nullptr;
    }
    gl->m_context = context;
    gl->m_width = width;
    gl->m_height = height;
    gl->m_buffers = buffers;
    if (!gl->makeCurrent() || !gl->createFramebuffer()) {
        setError(error, "cannot make an offscreen framebuffer");
        return nullptr;
    }
    return gl;
}

OffscreenGL::~OffscreenGL() {
    if (m_context != nullptr) {
        if (makeCurrent()) {
            deleteFramebuffer();
        }
        eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(m_display, m_context);
    }
    // The display stays initialised: EGL displays are shared process-wide, and terminating one
    // would break other contexts made on it.
}

bool OffscreenGL::makeCurrent() {
    if (!eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context)) {
        return false;
    }
    if (m_framebuffer != 0) {
        glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    }
    return true;
}

void OffscreenGL::doneCurrent() {
    eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

bool OffscreenGL::createFramebuffer() {
    glGenFramebuffers(1, &m_framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    glGenRenderbuffers(1, &m_colorBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, m_colorBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, m_width, m_height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colorBuffer);
    if (m_buffers == Buffers::ColourDepthStencil) {
        glGenRenderbuffers(1, &m_depthBuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, m_depthBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, m_width, m_height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                  m_depthBuffer);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glViewport(0, 0, m_width, m_height);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void OffscreenGL::deleteFramebuffer() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteRenderbuffers(1, &m_depthBuffer);
    glDeleteRenderbuffers(1, &m_colorBuffer);
    glDeleteFramebuffers(1, &m_framebuffer);
    m_framebuffer = m_colorBuffer = m_depthBuffer = 0;
}

bool OffscreenGL::resize(int width, int height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || !makeCurrent()) {
        return false;
    }
    deleteFramebuffer();
    m_width = width;
    m_height = height;
    return createFramebuffer();
}

std::vector<uint8_t> OffscreenGL::readPixels() const {
    std::vector<uint8_t> pixels(static_cast<size_t>(m_width) * static_cast<size_t>(m_height) * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_width, m_height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

OffscreenGL::Pixel OffscreenGL::pixel(int x, int y) const {
    Pixel p{0, 0, 0, 0};
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return p;
    }
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &p);
    return p;
}

} // namespace lumenarc
