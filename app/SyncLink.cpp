#include "app/SyncLink.h"

#include "base/DeveloperLog.h"
#include "base/MainThread.h"
#include "base/WallClock.h"
#include "playback/MpvMovie.h"
#include "sync/FrameLog.h"
#include "sync/SyncSession.h"
#include "sync/SyncedMovie.h"
#include "ui/MenuItem.h"
#include "view/MyOpenGLView.h"

#include <filesystem>

namespace lumenarc {

SyncLink::SyncLink(MyOpenGLView& view, PlaybackControl& playback)
    : m_view(view), m_playback(playback) {}

SyncLink::~SyncLink() {
    stop();
}

bool SyncLink::start(const LaunchOptions& options, std::string& why) {
    std::shared_ptr<FrameLog> log;
    if (!options.syncLog.empty()) {
        const std::string role = options.syncLeadPort              ? "leader"
                                 : !options.syncLeaderHost.empty() ? "follower"
                                                                   : "alone";
        log = FrameLog::create(options.syncLog, "lumenarc sync log 1 role=" + role, why);
        if (!log) {
            why = "cannot write the sync log " + options.syncLog + ": " + why;
            return false;
        }
    }
    if ((options.syncLeadPort || !options.syncLeaderHost.empty()) && !startSession(options, why)) {
        return false;
    }
    if (log || m_session) {
        watchFrames(log);
    }
    return true;
}

bool SyncLink::startSession(const LaunchOptions& options, std::string& why) {
    SyncSession::Settings settings;
    settings.role = options.syncLeadPort ? SyncSession::Role::Leader : SyncSession::Role::Follower;
    settings.bind = options.syncBind;
    settings.port = options.syncLeadPort.value_or(0);
    settings.leaderHost = options.syncLeaderHost;
    settings.leaderPort = options.syncLeaderPort;
    settings.secretFile = options.syncSecret;
    auto session = std::make_shared<SyncSession>(settings);
    // The leader moves the show on: a movie that does not open here is said on standard error,
    // as nobody at this machine asked for it.
    session->setOpener([this](const std::string& path) {
        m_playback.openMovie(path,
                             [](const std::string& why) { DeveloperLog::write("sync: " + why); });
    });
    session->setChangeHook([this](bool looping) { showChange(looping); });
    session->setRefreshPeriod(m_view.refreshPeriod());
    for (const std::string& file : options.files) {
        session->addMovieFolder(std::filesystem::absolute(file).parent_path().string());
    }
    if (!session->start(why)) {
        return false;
    }
    m_session = std::move(session);
    return true;
}

void SyncLink::watchFrames(const std::shared_ptr<FrameLog>& log) {
    // Render thread: each frame shown goes into the log, and to the session on the main thread.
    m_view.setPresentedHook([log, session = std::weak_ptr<SyncSession>(m_session), &view = m_view](
                                RenderThread::Clock::time_point presented, const MovieTime& time) {
        const int64_t wall = WallClock::fromSteady(presented);
        if (log) {
            log->source(MyOpenGLView::describe(view.timeSource()));
            log->presented(wall, time);
        }
        if (session.expired()) {
            return;
        }
        const double seconds = time.scale > 0 ? static_cast<double>(time.value) / time.scale : 0.0;
        MainThread::post([session, wall, seconds, period = view.refreshPeriod()] {
            if (const auto alive = session.lock()) {
                alive->setRefreshPeriod(period);
                alive->framePresented(wall, seconds);
            }
        });
    });
}

std::shared_ptr<Movie> SyncLink::open(const PlaybackControl::MovieOpener& inner,
                                      const std::string& path, PlaybackControl::OpenDone done) {
    if (!m_session) {
        return inner(path, std::move(done));
    }
    return inner(path, [this, path, done](std::shared_ptr<Movie> movie, const std::string& why) {
        auto decoded = std::dynamic_pointer_cast<MpvMovie>(movie);
        if (!decoded || !m_session) {
            done(std::move(movie), why);
            return;
        }
        done(std::make_shared<SyncedMovie>(std::move(decoded), path, *m_session), why);
    });
}

void SyncLink::movieOpenDidEnd(bool opened) {
    if (m_session && opened) {
        m_session->movieOpened(std::dynamic_pointer_cast<SyncedMovie>(m_view.currentMovie()));
    } else if (m_session) {
        m_session->movieOpenFailed();
    }
}

void SyncLink::stop() {
    if (m_session) {
        m_session->stop();
    }
}

void SyncLink::showChange(bool looping) {
    if (m_view.looping() != looping) {
        m_view.setLooping(looping);
        if (MenuItem* item = m_view.loopingMenuItem()) {
            item->setState(looping ? 1 : 0);
        }
    }
    m_view.showPlayState();
}

} // namespace lumenarc
