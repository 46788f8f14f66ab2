#pragma once

#include "playback/FramePath.h"
#include "playback/PixelStream.h"
#include "playback/WarpPath.h"
#include "view/TextureContext.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct mpv_handle;
struct mpv_render_context;

namespace lumenarc {

class MovieStatus;
class TexturePool;

// Frames of libmpv cores as GL textures of the view's context. Every core gets its own libmpv
// render context before its file loads (one core may load while another plays); the chosen one's
// pictures become frames. Render contexts are made, used and freed on the render thread; callers
// on other threads hand the work over and, where they must, wait for it. No movie is ever held
// here: a core is known by its handle and its published status, and the core's owner detaches it
// before destroying it.
//
// The frame path is chosen once, on the render thread (see FramePath): libmpv's GL renderer into
// a texture at the natural size, or libmpv's software renderer into pixel-unpack buffers at a
// size bounded by the drawable, then one upload.
class MpvTextureContext final : public TextureContext {
public:
    using GetProcAddress = void* (*)(void* context, const char* name);

    // Main thread; nothing happens in GL until prepare(). The render thread is shared: a core
    // the reaper destroys after the view has gone still finds it, ended, and nothing to free.
    MpvTextureContext(std::shared_ptr<RenderThread> thread, GetProcAddress getProcAddress,
                      void* procContext);
    ~MpvTextureContext() override;

    // Not on the render thread: makes the core's render context there and waits. False when
    // the render thread does not run.
    bool attachCore(mpv_handle* core, std::shared_ptr<const MovieStatus> status);
    // Main thread: the same without waiting; `then` runs on the main thread afterwards (also
    // when nothing could be made, never when the render thread has ended).
    void attachCoreThen(mpv_handle* core, std::shared_ptr<const MovieStatus> status,
                        std::function<void()> then);
    // Not on the render thread: frees the core's render context and waits; afterwards the core
    // may be destroyed.
    void detachCore(mpv_handle* core);

    void setMovie(const Movie* movie) override;
    void prepare() override;
    void setTargetSize(int width, int height) override;
    bool isNewImageAvailable(TimeStamp outputTime) override;
    FrameTextureRef copyImageForTime(TimeStamp outputTime) override;
    void task() override;
    void release() override;

    // The path chosen by prepare(); Gl before it.
    FramePath::Kind framePath() const { return m_path; }
    // Main thread, before the render thread starts: the frames go to a view that warps pictures
    // kept in memory on the processor (FrameTexture::inMemory), so prepare() may choose that
    // warp. Without it every frame is a texture.
    void acceptPicturesInMemory() { m_picturesInMemory = true; }
    // The warp chosen by prepare(); Gl before it.
    WarpPath::Kind warpPath() const { return m_warp; }
    // Main thread: `then` runs on the main thread once prepare() has run (never when the render
    // thread has ended), so that what depends on the renderer is known.
    void afterPrepare(std::function<void()> then);
    // libmpv's hwdec value for cores drawn here (see HardwareDecoding); final once prepare()
    // has run. Any thread.
    std::string hardwareDecoding() const;

private:
    struct Slot {
        mpv_handle* core = nullptr;
        mpv_render_context* render = nullptr;
        std::shared_ptr<const MovieStatus> status;
    };

    // Render thread.
    void attach(mpv_handle* core, std::shared_ptr<const MovieStatus> status);
    void detach(mpv_handle* core);
    void select(mpv_handle* core);
    Slot* find(mpv_handle* core);
    mpv_render_context* createRenderContext(mpv_handle* core);
    static void freeRenderContext(mpv_render_context* render);
    FrameTextureRef renderWithGl(const Slot& slot);
    FrameTextureRef renderOnProcessor(const Slot& slot);
    FrameTextureRef renderIntoMemory(const Slot& slot, FramePath::Size size, size_t stride);
    static bool convert(const Slot& slot, FramePath::Size size, size_t stride, uint8_t* pixels);
    FrameTextureRef makeFrame(uint32_t texture, int width, int height, bool topRowFirst);

    const std::shared_ptr<RenderThread> m_thread;
    GetProcAddress m_getProcAddress;
    void* m_procContext;
    std::atomic<FramePath::Kind> m_path{FramePath::Kind::Gl};
    std::atomic<bool> m_softwareRenderer{false};
    std::atomic<WarpPath::Kind> m_warp{WarpPath::Kind::Gl};
    std::atomic<bool> m_picturesInMemory{false};
    const std::string m_hwdecOverride; // LUMENARC_HWDEC, read once
    std::shared_ptr<TexturePool> m_pool;
    // Render thread only.
    std::vector<Slot> m_slots;
    mpv_handle* m_current = nullptr;
    uint32_t m_framebuffer = 0;
    PixelStream m_stream;
    // Memory of pictures kept for the processor warp, given back when their frame goes (on
    // any thread, as frames go) and used again; a leaf lock.
    struct PictureMemory {
        std::shared_ptr<uint8_t[]> bytes;
        size_t size = 0;
    };
    struct SpareMemory {
        std::mutex lock;
        std::vector<PictureMemory> spare;
    };
    std::shared_ptr<SpareMemory> m_spareMemory = std::make_shared<SpareMemory>();
    PictureMemory takeMemory(size_t size);
    int m_targetWidth = 0;
    int m_targetHeight = 0;
    bool m_released = false;
};

} // namespace lumenarc
