#include "app/SyncLink.h"

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
    if (!options.syncLog.empty()) {
        const std::string role = options.syncLeadPort              ? "leader"
                                 : !options.syncLeaderHost.empty() ? "follower"
                                                                   : "alone";
        std::shared_ptr<FrameLog> log =
            FrameLog::create(options.syncLog, "lumenarc sync log 1 role=" + role, why);
        if (!log) {
            why = "cannot write the sync log " + options.syncLog + ": " + why;
            return false;
        }
        m_view.setPresentedHook(
            [log](auto presented, const MovieTime& time) { log->presented(presented, time); });
    }
    if (!options.syncLeadPort && options.syncLeaderHost.empty()) {
        return true;
    }
    SyncSession::Settings settings;
    settings.role = options.syncLeadPort ? SyncSession::Role::Leader : SyncSession::Role::Follower;
    settings.bind = options.syncBind;
    settings.port = options.syncLeadPort.value_or(0);
    settings.leaderHost = options.syncLeaderHost;
    settings.leaderPort = options.syncLeaderPort;
    m_session = std::make_unique<SyncSession>(settings);
    m_session->setOpener([this](const std::string& path) { m_playback.openMovie(path); });
    m_session->setChangeHook([this](bool looping) { showChange(looping); });
    for (const std::string& file : options.files) {
        m_session->addMovieFolder(std::filesystem::absolute(file).parent_path().string());
    }
    if (!m_session->start(why)) {
        m_session.reset();
        return false;
    }
    return true;
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
