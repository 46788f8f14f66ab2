#include "playback/MpvPlayback.h"

#include "base/MainThread.h"
#include "playback/CoreReaper.h"
#include "playback/MpvMovie.h"
#include "view/MyOpenGLView.h"

namespace lumenarc {

MpvPlayback::MpvPlayback(MyOpenGLView& view, MpvTextureContext::GetProcAddress getProcAddress,
                         void* procContext, Settings settings)
    : m_settings(std::move(settings)), m_context(std::make_shared<MpvTextureContext>(
                                           view.sharedRenderThread(), getProcAddress, procContext)),
      m_reaper(std::make_shared<CoreReaper>()) {
    view.setTextureContext(m_context);
}

MpvPlayback::~MpvPlayback() = default;

void MpvPlayback::drain() {
    m_reaper->drain();
}

PlaybackControl::MovieOpener MpvPlayback::movieOpener() {
    return [this](const std::string& path, PlaybackControl::OpenDone done) {
        return open(path, std::move(done));
    };
}

std::shared_ptr<Movie> MpvPlayback::open(const std::string& path, PlaybackControl::OpenDone done) {
    MpvMovie::Options options;
    options.audio = m_settings.audio;
    options.videoOutput = m_settings.videoOutput;
    options.beforeDestroy = [context = m_context](mpv_handle* core) { context->detachCore(core); };
    options.dispose = [reaper = std::weak_ptr<CoreReaper>(m_reaper)](MpvMovie* gone) {
        if (const auto alive = reaper.lock()) {
            alive->dispose([gone] { delete gone; });
        } else {
            delete gone; // the run is over: nothing is waiting any more
        }
    };
    std::string reason;
    std::shared_ptr<MpvMovie> movie = MpvMovie::create(options, &reason);
    if (!movie) {
        MainThread::post([done, reason] { done(nullptr, reason); });
        return nullptr;
    }
    const std::weak_ptr<MpvMovie> weak = movie;
    // Each step holds the movie weakly: dropping the pending movie abandons the load.
    m_context->attachCoreThen(movie->handle(), movie->status(), [weak, path, done] {
        const auto loading = weak.lock();
        if (!loading) {
            return;
        }
        loading->beginLoad(path, [weak, done](const std::string& why) {
            const auto loaded = weak.lock();
            if (loaded) {
                done(why.empty() ? loaded : nullptr, why);
            }
        });
    });
    return movie;
}

} // namespace lumenarc
