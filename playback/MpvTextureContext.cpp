#include "playback/MpvTextureContext.h"

#include "base/DeveloperLog.h"
#include "base/MainThread.h"
#include "movie/MovieStatus.h"
#include "playback/HardwareDecoding.h"
#include "playback/MpvMovie.h"
#include "playback/TexturePool.h"
#include "view/ThreadContract.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <algorithm>
#include <cstdlib>
#include <mpv/render_gl.h>
#include <new>
#include <string>

namespace lumenarc {
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

MpvTextureContext::MpvTextureContext(std::shared_ptr<RenderThread> thread,
                                     GetProcAddress getProcAddress, void* procContext)
    : m_thread(std::move(thread)), m_getProcAddress(getProcAddress), m_procContext(procContext),
      m_hwdecOverride(std::getenv("LUMENARC_HWDEC") != nullptr ? std::getenv("LUMENARC_HWDEC")
                                                               : ""),
      m_pool(std::make_shared<TexturePool>()) {}

MpvTextureContext::~MpvTextureContext() = default;

void MpvTextureContext::prepare() {
    LUMENARC_ASSERT_THREAD(m_thread->isRenderThread());
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string name = renderer != nullptr ? renderer : "";
    m_path = FramePath::choose(name, std::getenv("LUMENARC_FRAME_PATH"));
    m_softwareRenderer = FramePath::isSoftwareRenderer(name);
    DeveloperLog::write(std::string("Movie frames are converted ") +
                        (m_path == FramePath::Kind::Cpu ? "on the processor" : "by GL") + " (" +
                        name + ")");
    if (m_picturesInMemory) {
        m_warp = WarpPath::choose(m_path, m_softwareRenderer, std::getenv("LUMENARC_WARP"));
        DeveloperLog::write(WarpPath::describe(m_warp));
    }
    DeveloperLog::write(HardwareDecoding::describe(hardwareDecoding(), m_hwdecOverride.c_str()));
}

void MpvTextureContext::afterPrepare(std::function<void()> then) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    // The render thread prepares before it runs any task.
    m_thread->post([then = std::move(then)]() mutable { MainThread::post(std::move(then)); });
}

std::string MpvTextureContext::hardwareDecoding() const {
    return HardwareDecoding::choose(m_softwareRenderer, m_path == FramePath::Kind::Gl,
                                    m_hwdecOverride.c_str());
}

void MpvTextureContext::setTargetSize(int width, int height) {
    m_targetWidth = width;
    m_targetHeight = height;
}

bool MpvTextureContext::attachCore(mpv_handle* core, std::shared_ptr<const MovieStatus> status) {
    LUMENARC_ASSERT_THREAD(!m_thread->isRenderThread());
    return m_thread->runAndWait([this, core, &status] { attach(core, status); });
}

void MpvTextureContext::attachCoreThen(mpv_handle* core, std::shared_ptr<const MovieStatus> status,
                                       std::function<void()> then) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_thread->post([this, core, status = std::move(status), then = std::move(then)]() mutable {
        attach(core, std::move(status));
        MainThread::post(std::move(then));
    });
}

void MpvTextureContext::detachCore(mpv_handle* core) {
    LUMENARC_ASSERT_THREAD(!m_thread->isRenderThread());
    m_thread->runAndWait([this, core] { detach(core); });
}

void MpvTextureContext::setMovie(const Movie* movie) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const auto* mpv =
        dynamic_cast<const MpvMovie*>(movie != nullptr ? movie->pictureSource() : nullptr);
    m_thread->post([this, core = mpv != nullptr ? mpv->handle() : nullptr] { select(core); });
}

void MpvTextureContext::attach(mpv_handle* core, std::shared_ptr<const MovieStatus> status) {
    if (m_released || find(core) != nullptr) {
        return;
    }
    if (mpv_render_context* render = createRenderContext(core)) {
        m_slots.push_back({core, render, std::move(status)});
    }
}

void MpvTextureContext::detach(mpv_handle* core) {
    const auto slot = std::find_if(m_slots.begin(), m_slots.end(),
                                   [core](const Slot& s) { return s.core == core; });
    if (slot == m_slots.end()) {
        return;
    }
    freeRenderContext(slot->render);
    m_slots.erase(slot);
    if (m_current == core) {
        m_current = nullptr;
    }
}

void MpvTextureContext::select(mpv_handle* core) {
    m_current = core;
}

MpvTextureContext::Slot* MpvTextureContext::find(mpv_handle* core) {
    for (Slot& slot : m_slots) {
        if (slot.core == core) {
            return &slot;
        }
    }
    return nullptr;
}

mpv_render_context* MpvTextureContext::createRenderContext(mpv_handle* core) {
    mpv_opengl_init_params init{m_getProcAddress, m_procContext};
    int advanced = 0;
    const bool cpu = m_path == FramePath::Kind::Cpu;
    mpv_render_param gl[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
        {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_param sw[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
                             {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
                             {MPV_RENDER_PARAM_INVALID, nullptr}};
    SavedGLState saved;
    mpv_render_context* render = nullptr;
    if (mpv_render_context_create(&render, core, cpu ? sw : gl) < 0) {
        DeveloperLog::write("The movie's frames cannot be drawn: no libmpv render context");
        return nullptr;
    }
    return render;
}

void MpvTextureContext::freeRenderContext(mpv_render_context* render) {
    SavedGLState saved;
    mpv_render_context_free(render);
}

bool MpvTextureContext::isNewImageAvailable(TimeStamp) {
    m_pool->dropOrphans();
    const Slot* slot = find(m_current);
    return slot != nullptr &&
           (mpv_render_context_update(slot->render) & MPV_RENDER_UPDATE_FRAME) != 0;
}

FrameTextureRef MpvTextureContext::copyImageForTime(TimeStamp) {
    const Slot* slot = find(m_current);
    if (slot == nullptr) {
        return nullptr;
    }
    return m_path == FramePath::Kind::Cpu ? renderOnProcessor(*slot) : renderWithGl(*slot);
}

FrameTextureRef MpvTextureContext::renderWithGl(const Slot& slot) {
    const auto natural = slot.status->videoSize();
    const auto size =
        FramePath::conversionSize(FramePath::Kind::Gl, natural.width, natural.height, 0, 0);
    if (size.width == 0) {
        return nullptr;
    }
    const GLuint texture = m_pool->acquire(size.width, size.height);
    {
        SavedGLState saved;
        if (m_framebuffer == 0) {
            glGenFramebuffers(1, &m_framebuffer);
        }
        glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        mpv_opengl_fbo target{static_cast<int>(m_framebuffer), size.width, size.height, 0};
        int flipY = 1; // bottom row at t = 0, as the drawing expects
        int block = 0; // the display link paces us; never wait for a frame's time here
        mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                     {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(slot.render, params);
    }
    return makeFrame(texture, size.width, size.height, false);
}

bool MpvTextureContext::convert(const Slot& slot, FramePath::Size size, size_t stride,
                                uint8_t* pixels) {
    int extent[2] = {size.width, size.height};
    int block = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, extent},
                                 {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("rgb0")},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, pixels},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    return mpv_render_context_render(slot.render, params) >= 0;
}

FrameTextureRef MpvTextureContext::renderOnProcessor(const Slot& slot) {
    const auto natural = slot.status->videoSize();
    const auto size = FramePath::conversionSize(FramePath::Kind::Cpu, natural.width, natural.height,
                                                m_targetWidth, m_targetHeight);
    if (size.width == 0) {
        return nullptr;
    }
    size_t stride = FramePath::rowBytes(size.width);
    if (m_warp == WarpPath::Kind::Processor) {
        return renderIntoMemory(slot, size, stride);
    }
    // The converter may write the padding after the last row as well.
    uint8_t* pixels = m_stream.map(stride * (static_cast<size_t>(size.height) + 1));
    if (pixels == nullptr) {
        return nullptr;
    }
    const bool rendered = convert(slot, size, stride, pixels);
    if (!m_stream.unmap() || !rendered) {
        m_stream.finish();
        return nullptr;
    }
    const GLuint texture = m_pool->acquire(size.width, size.height);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(stride / 4));
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glBindTexture(GL_TEXTURE_2D, texture);
    // Byte order R, G, B, x: an RGBA8 texture's own layout on a software rasteriser, so the
    // upload is a plain copy.
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.width, size.height, GL_RGBA, GL_UNSIGNED_BYTE,
                    reinterpret_cast<const void*>(m_stream.uploadOffset()));
    glBindTexture(GL_TEXTURE_2D, 0);
    glPopClientAttrib();
    m_stream.finish();
    return makeFrame(texture, size.width, size.height, true);
}

// The picture stays in memory, where the view's processor warp reads it: no texture, no upload.
FrameTextureRef MpvTextureContext::renderIntoMemory(const Slot& slot, FramePath::Size size,
                                                    size_t stride) {
    constexpr size_t kAlignment = 64;
    // The converter may write the padding after the last row as well.
    const size_t needed = stride * (static_cast<size_t>(size.height) + 1) + kAlignment;
    PictureMemory memory = takeMemory(needed);
    if (!memory.bytes) {
        return nullptr;
    }
    const auto address = reinterpret_cast<uintptr_t>(memory.bytes.get());
    uint8_t* pixels = memory.bytes.get() + (kAlignment - address % kAlignment) % kAlignment;
    if (!convert(slot, size, stride, pixels)) {
        return nullptr;
    }
    auto* frame = new FrameTexture{GL_TEXTURE_2D, 0, {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}}, {}};
    // Stored top row first: the bottom row is the last one, and the rows go up backwards.
    const auto rowBytes = static_cast<ptrdiff_t>(stride);
    frame->inMemory = {pixels + rowBytes * (size.height - 1), size.width, size.height, -rowBytes};
    // The memory goes back to the pool with the frame, wherever that goes.
    auto giveBack = [owner = std::weak_ptr<SpareMemory>(m_spareMemory),
                     memory = std::move(memory)](FrameTexture* gone) mutable {
        constexpr size_t kSpares = 2;
        if (auto pool = owner.lock()) {
            std::lock_guard guard(pool->lock);
            if (pool->spare.size() < kSpares) {
                pool->spare.push_back(std::move(memory));
            }
        }
        delete gone;
    };
    return std::shared_ptr<FrameTexture>(frame, std::move(giveBack));
}

MpvTextureContext::PictureMemory MpvTextureContext::takeMemory(size_t size) {
    {
        std::lock_guard guard(m_spareMemory->lock);
        auto& spare = m_spareMemory->spare;
        if (!spare.empty() && spare.back().size == size) {
            PictureMemory memory = std::move(spare.back());
            spare.pop_back();
            return memory;
        }
        spare.clear(); // of another size: not needed again
    }
    return {std::shared_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]), size};
}

FrameTextureRef MpvTextureContext::makeFrame(uint32_t texture, int width, int height,
                                             bool topRowFirst) {
    // The drawing expects the picture's bottom at t = 0; a picture stored top row first is
    // turned by its corners.
    const FrameTexture::Corner low = {0, topRowFirst ? 1.0f : 0.0f};
    const FrameTexture::Corner high = {1, topRowFirst ? 0.0f : 1.0f};
    return std::shared_ptr<FrameTexture>(
        new FrameTexture{GL_TEXTURE_2D, texture, {{low, {1, low[1]}, high, {0, high[1]}}}, {}},
        [pool = std::weak_ptr<TexturePool>(m_pool), width, height](FrameTexture* gone) {
            if (auto owner = pool.lock()) {
                owner->giveBack(gone->name, width, height);
            }
            delete gone;
        });
}

void MpvTextureContext::task() {
    if (const Slot* slot = find(m_current)) {
        mpv_render_context_report_swap(slot->render);
    }
}

void MpvTextureContext::release() {
    LUMENARC_ASSERT_THREAD(m_thread->isRenderThread() || !m_thread->isRunning());
    for (const Slot& slot : m_slots) {
        freeRenderContext(slot.render);
    }
    m_slots.clear();
    m_current = nullptr;
    m_released = true; // nothing is attached from now on: the cores go without render contexts
    m_pool->drain();
    {
        std::lock_guard guard(m_spareMemory->lock);
        m_spareMemory->spare.clear();
    }
    m_stream.release();
    if (m_framebuffer != 0) {
        glDeleteFramebuffers(1, &m_framebuffer);
        m_framebuffer = 0;
    }
}

} // namespace lumenarc
