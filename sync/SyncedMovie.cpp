#include "sync/SyncedMovie.h"

#include "playback/MpvMovie.h"
#include "sync/SyncSession.h"

namespace lumenarc {

SyncedMovie::SyncedMovie(std::shared_ptr<MpvMovie> movie, std::string path, SyncSession& session)
    : m_movie(std::move(movie)), m_path(std::move(path)), m_session(session) {}

Movie::Size SyncedMovie::naturalSize() const {
    return m_movie->naturalSize();
}

std::string SyncedMovie::displayName() const {
    return m_movie->displayName();
}

void SyncedMovie::setLoops(bool loops) {
    if (m_taken) {
        m_session.requestLoop(loops);
    } else {
        m_movie->setLoops(loops);
    }
}

float SyncedMovie::rate() const {
    return m_taken ? m_session.requestedRate() : m_movie->rate();
}

void SyncedMovie::setRate(float rate) {
    if (m_taken) {
        m_session.requestRate(rate);
    } else {
        m_movie->setRate(rate);
    }
}

void SyncedMovie::stepForward() {
    if (m_taken) {
        m_session.requestStep(1);
    } else {
        m_movie->stepForward();
    }
}

void SyncedMovie::stepBackward() {
    if (m_taken) {
        m_session.requestStep(-1);
    } else {
        m_movie->stepBackward();
    }
}

MovieTime SyncedMovie::currentTime() const {
    return m_movie->currentTime();
}

MovieTime SyncedMovie::duration() const {
    return m_movie->duration();
}

void SyncedMovie::setCurrentTime(const MovieTime& time) {
    if (time.scale <= 0) {
        return;
    }
    if (m_taken) {
        m_session.requestSeek(static_cast<double>(time.value) / time.scale);
    } else {
        m_movie->setCurrentTime(time);
    }
}

void SyncedMovie::setVolume(float volume) {
    m_movie->setVolume(volume);
}

bool SyncedMovie::isDone() const {
    return m_movie->isDone();
}

std::shared_ptr<const MovieStatus> SyncedMovie::status() const {
    return m_movie->status();
}

const Movie* SyncedMovie::pictureSource() const {
    return m_movie.get();
}

} // namespace lumenarc
