#pragma once

#include "movie/Movie.h"

#include <memory>
#include <string>

namespace lumenarc {

class MpvMovie;
class SyncSession;

// A movie that belongs to a show of several machines. Once its session has taken it, the
// transport (rate, pause, seek, step, looping) goes to the session, which schedules it on every
// machine, instead of to the decoder; so the keys, menus and remotes drive the whole show.
// Until then, and for everything else, it is the movie itself.
class SyncedMovie final : public Movie {
public:
    SyncedMovie(std::shared_ptr<MpvMovie> movie, std::string path, SyncSession& session);

    const std::shared_ptr<MpvMovie>& movie() const { return m_movie; }
    const std::string& path() const { return m_path; }
    // Main thread: the session takes over the transport (or gives it back).
    void setTaken(bool taken) { m_taken = taken; }

    Size naturalSize() const override;
    std::string displayName() const override;
    void setLoops(bool loops) override;
    float rate() const override;
    void setRate(float rate) override;
    void play() override { setRate(1.0f); }
    void stepForward() override;
    void stepBackward() override;
    MovieTime currentTime() const override;
    MovieTime duration() const override;
    void setCurrentTime(const MovieTime& time) override;
    void setVolume(float volume) override;
    bool isDone() const override;
    std::shared_ptr<const MovieStatus> status() const override;
    const Movie* pictureSource() const override;

private:
    std::shared_ptr<MpvMovie> m_movie;
    std::string m_path;
    SyncSession& m_session;
    bool m_taken = false;
};

} // namespace lumenarc
