#pragma once

#include "app/LaunchOptions.h"
#include "playback/PlaybackControl.h"

#include <memory>
#include <string>

namespace lumenarc {

class MyOpenGLView;
class FrameLog;
class SyncSession;

// Joins the player to a show of several machines, when the command line asks for one: movies
// open as synced movies, the one on show is handed to the session, the controls show the
// show's state, and each frame shown goes into the sync log.
class SyncLink {
public:
    SyncLink(MyOpenGLView& view, PlaybackControl& playback);
    ~SyncLink();
    SyncLink(const SyncLink&) = delete;
    SyncLink& operator=(const SyncLink&) = delete;

    // Main thread, before rendering starts: the role and the log the options ask for; false
    // with the reason when either cannot be had.
    bool start(const LaunchOptions& options, std::string& why);
    // Opens through `inner`, turning the movie into a synced one while a session runs.
    std::shared_ptr<Movie> open(const PlaybackControl::MovieOpener& inner, const std::string& path,
                                PlaybackControl::OpenDone done);
    // An open has ended: the movie on show joins the show.
    void movieOpenDidEnd(bool opened);
    // Nothing drives the player from the network after this.
    void stop();
    SyncSession* session() const { return m_session.get(); }

private:
    bool startSession(const LaunchOptions& options, std::string& why);
    void watchFrames(const std::shared_ptr<FrameLog>& log);
    void showChange(bool looping);

    MyOpenGLView& m_view;
    PlaybackControl& m_playback;
    // Shared only so that frames reported from the render thread can find it gone.
    std::shared_ptr<SyncSession> m_session;
};

} // namespace lumenarc
