#pragma once

#include "view/TextureContext.h"

#include <memory>
#include <mutex>
#include <vector>

struct mpv_handle;
struct mpv_render_context;

namespace lumenarc {

class MpvMovie;

// Frames of a libmpv core, each rendered into a pooled GL_TEXTURE_2D at the movie's size. A
// libmpv render context belongs to one core and must exist before the core loads its file, and
// be freed before the core is destroyed; both happen on the render thread, with the GL context
// current, and callers on other threads wait for them.
class MpvTextureContext final : public TextureContext {
public:
    using GetProcAddress = void* (*)(void* context, const char* name);

    // On the render thread, with the GL context current.
    MpvTextureContext(RenderThread& thread, GetProcAddress getProcAddress, void* procContext);
    ~MpvTextureContext() override;

    // Any thread: makes the core's render context now, before its file loads. False when the
    // render thread is not running; setMovie then makes it later.
    bool attachCore(mpv_handle* core);
    // Any thread: frees the core's render context, if it has one, before the core goes.
    void detachCore(mpv_handle* core);

    void setMovie(const std::shared_ptr<Movie>& movie) override;
    bool isNewImageAvailable(TimeStamp outputTime) override;
    FrameTextureRef copyImageForTime(TimeStamp outputTime) override;
    void task() override;
    void release() override;

private:
    class TexturePool;

    void createRenderContext(mpv_handle* core); // render thread
    void freeRenderContext();                   // render thread
    std::shared_ptr<MpvMovie> movie() const;

    RenderThread& m_thread;
    GetProcAddress m_getProcAddress;
    void* m_procContext;
    mpv_handle* m_core = nullptr;           // render thread
    mpv_render_context* m_render = nullptr; // render thread
    uint32_t m_framebuffer = 0;             // render thread
    std::shared_ptr<TexturePool> m_pool;
    mutable std::mutex m_movieMutex;
    std::weak_ptr<MpvMovie> m_movie;
};

} // namespace lumenarc
