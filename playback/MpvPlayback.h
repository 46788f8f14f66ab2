#pragma once

#include "playback/MpvTextureContext.h"
#include "playback/PlaybackControl.h"

#include <memory>
#include <string>
#include <vector>

namespace lumenarc {

class CoreReaper;
class MpvMovie;
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
        std::string audioDevice{}; // as libmpv names it; "" for libmpv's default
        double audioDelay = 0;     // seconds, within AudioOutput::kMaxDelay either way
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

    // Main thread: the device the sound goes to, for the movies open now (the one on show and
    // one loading) and those opened from now on. "" is libmpv's default; AudioOutput::devices
    // lists the names. A device that cannot play leaves the movie without sound, never stopped.
    void setAudioDevice(const std::string& name);
    // Main thread: the same for the sound's delay, seconds. One outside AudioOutput::kMaxDelay
    // either way, or not a number, is refused (false, the reason in *error) and changes nothing.
    bool setAudioDelay(double seconds, std::string* error);
    const std::string& audioDevice() const { return m_settings.audioDevice; }
    double audioDelay() const { return m_settings.audioDelay; }

private:
    std::shared_ptr<Movie> open(const std::string& path, PlaybackControl::OpenDone done);
    // The movies still alive, which settings changed now reach.
    std::vector<std::shared_ptr<MpvMovie>> liveMovies();

    Settings m_settings;
    std::vector<std::weak_ptr<MpvMovie>> m_movies; // main thread
    std::shared_ptr<MpvTextureContext> m_context;
    std::shared_ptr<CoreReaper> m_reaper;
};

} // namespace lumenarc
