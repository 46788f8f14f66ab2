#include "playback/MpvPlayback.h"

#include "base/DeveloperLog.h"
#include "base/MainThread.h"
#include "playback/AudioOutput.h"
#include "playback/CoreReaper.h"
#include "playback/MpvMovie.h"
#include "view/MyOpenGLView.h"
#include "view/ThreadContract.h"

namespace lumenarc {

MpvPlayback::MpvPlayback(MyOpenGLView& view, MpvTextureContext::GetProcAddress getProcAddress,
                         void* procContext, Settings settings)
    : m_settings(std::move(settings)), m_context(std::make_shared<MpvTextureContext>(
                                           view.sharedRenderThread(), getProcAddress, procContext)),
      m_reaper(std::make_shared<CoreReaper>()) {
    m_context->acceptPicturesInMemory(); // the view warps them on the processor where it pays
    view.setTextureContext(m_context);
}

MpvPlayback::~MpvPlayback() = default;

void MpvPlayback::drain() {
    m_reaper->drain();
}

void MpvPlayback::setAudioDevice(const std::string& name) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_settings.audioDevice = name;
    for (const auto& movie : liveMovies()) {
        movie->setAudioDevice(name);
    }
}

bool MpvPlayback::setAudioDelay(double seconds, std::string* error) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (std::string refused = AudioOutput::checkDelay(seconds); !refused.empty()) {
        if (error != nullptr) {
            *error = std::move(refused);
        }
        return false;
    }
    m_settings.audioDelay = seconds;
    for (const auto& movie : liveMovies()) {
        movie->setAudioDelay(seconds);
    }
    return true;
}

std::vector<std::shared_ptr<MpvMovie>> MpvPlayback::liveMovies() {
    std::vector<std::shared_ptr<MpvMovie>> alive;
    std::erase_if(m_movies, [&](const std::weak_ptr<MpvMovie>& movie) {
        if (auto held = movie.lock()) {
            alive.push_back(std::move(held));
            return false;
        }
        return true;
    });
    return alive;
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
    options.audioDevice = m_settings.audioDevice;
    options.audioDelay = m_settings.audioDelay;
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
    liveMovies(); // forgets the movies gone
    m_movies.push_back(movie);
    const std::weak_ptr<MpvMovie> weak = movie;
    // Each step holds the movie weakly: dropping the pending movie abandons the load. The
    // decoding suits the renderer, known once the render thread has prepared, and is settled
    // before the core's render context is made.
    m_context->afterPrepare([weak, context = m_context, path, done] {
        const auto pending = weak.lock();
        if (!pending) {
            return;
        }
        if (std::string why; !pending->setHardwareDecoding(context->hardwareDecoding(), &why)) {
            DeveloperLog::write("Hardware decoding stays off: " + why);
        }
        context->attachCoreThen(pending->handle(), pending->status(), [weak, path, done] {
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
    });
    return movie;
}

} // namespace lumenarc
