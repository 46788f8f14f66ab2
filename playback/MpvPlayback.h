#pragma once

#include "playback/MpvTextureContext.h"
#include "playback/PlaybackControl.h"

#include <memory>
#include <string>

namespace lumenarc {

class CoreReaper;
class MyOpenGLView;

// Joins libmpv movies to the view: one texture context for the whole run, a core reaper, and
// the opener that playback control uses. Opening never waits: the core is made on the main
// thread, its render context on the render thread, and its file loads on the core's own
// threads; each step hands over to the next. A movie's render context exists before its file
// loads and is freed before its core goes, on the reaper's thread.
class MpvPlayback {
public:
    struct Settings {
        bool audio = true;
        std::string videoOutput = "libmpv";
    };

    // Main thread, before the view starts rendering; gives the view its texture context.
    MpvPlayback(MyOpenGLView& view, MpvTextureContext::GetProcAddress getProcAddress,
                void* procContext, Settings settings);
    // After the view's clean-up: waits (a bounded time) for the cores still being destroyed.
    ~MpvPlayback();
    MpvPlayback(const MpvPlayback&) = delete;
    MpvPlayback& operator=(const MpvPlayback&) = delete;

    PlaybackControl::MovieOpener movieOpener();
    MpvTextureContext& textureContext() { return *m_context; }
    // Waits until every movie released so far is destroyed.
    void drain();

private:
    std::shared_ptr<Movie> open(const std::string& path, PlaybackControl::OpenDone done);

    Settings m_settings;
    std::shared_ptr<MpvTextureContext> m_context;
    std::shared_ptr<CoreReaper> m_reaper;
};

} // namespace lumenarc
