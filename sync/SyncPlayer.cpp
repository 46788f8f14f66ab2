#include "sync/SyncPlayer.h"

#include "base/MainThread.h"
#include "base/WallClock.h"
#include "playback/MpvMovie.h"
#include "view/ThreadContract.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

namespace lumenarc {
namespace {

MovieTime movieTime(double seconds) {
    return {std::llround(std::max(0.0, seconds) * MpvMovie::kTimeScale), MpvMovie::kTimeScale, 0};
}

constexpr int64_t kSeekGiveUp = 3'000'000'000; // a seek not landed by then is made again

} // namespace

SyncPlayer::SyncPlayer(std::shared_ptr<MpvMovie> movie) : m_movie(std::move(movie)) {
    m_movie->setPositionObserver(
        [this](double seconds, bool landed) { onPosition(seconds, landed); });
}

SyncPlayer::~SyncPlayer() {
    m_movie->setPositionObserver(nullptr);
    m_movie->setSpeedTrim(1.0);
}

double SyncPlayer::framePeriod() const {
    const double rate = m_movie->frameRate();
    return rate > 1 && rate < 1000 ? 1.0 / rate : 1.0 / 30;
}

void SyncPlayer::setTimeline(const SyncTimeline& timeline, int64_t clockOffset) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_timeline = timeline;
    m_offset = clockOffset;
}

void SyncPlayer::onPosition(double seconds, bool landed) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_state == State::Seeking && landed) {
        m_landed = true;
        return;
    }
    // Without a display (or before its first frame), the decoder's position is the measure.
    const int64_t now = WallClock::now();
    const SyncSegment* segment = m_framesReported ? nullptr : measurable(now);
    if (segment != nullptr) {
        const double target = segment->positionAt(leaderTime(now), m_timeline->movie.duration);
        m_correction.add(SyncTimeline::difference(seconds, target, m_timeline->movie.duration,
                                                  segment->looping));
    }
}

void SyncPlayer::onPresented(int64_t presented, double seconds) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_framesReported = true;
    const SyncSegment* segment = measurable(presented);
    if (segment == nullptr) {
        return;
    }
    // A frame is on time when the timeline reaches it within the refresh it went on screen
    // in: its error then lies within one refresh of movie time, whose middle is the aim.
    const double target = segment->positionAt(leaderTime(presented), m_timeline->movie.duration);
    const double halfRefresh =
        segment->rate * static_cast<double>(m_refresh) / 2 / WallClock::kSecond;
    m_correction.add(
        SyncTimeline::difference(seconds, target, m_timeline->movie.duration, segment->looping) +
        halfRefresh);
}

const SyncSegment* SyncPlayer::measurable(int64_t now) const {
    if (!m_timeline || m_state != State::Following || !m_playing || now < m_settleUntil) {
        return nullptr;
    }
    const SyncSegment& segment = m_timeline->segmentAt(leaderTime(now));
    const double target = segment.positionAt(leaderTime(now), m_timeline->movie.duration);
    return segment.paused || nearTheEnd(segment, target) ? nullptr : &segment;
}

double SyncPlayer::deadband(double rate) const {
    // Shown frames measure the error without the decoder's jitter, so a narrower band holds;
    // it must stay wider than what one step of speed moves, or the corrections would hunt.
    return m_framesReported ? kShownDeadband * std::max(1.0, std::fabs(rate))
                            : SyncCorrection::kDeadband;
}

int64_t SyncPlayer::tick(int64_t now) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!m_timeline) {
        return now + kTurn;
    }
    const int64_t leader = leaderTime(now);
    const SyncSegment& segment = m_timeline->segmentAt(leader);
    if (!(segment == m_segment)) {
        const SyncSegment previous = std::exchange(m_segment, segment);
        m_correction.clear();
        m_settleUntil = now + kSettle;
        // A seek or a change of rate on the timeline: every machine makes it at once, rather
        // than when it notices. A new rate is taken by a seek too, as the decoder would move
        // the picture by the sound it has buffered.
        if (movesInto(segment) && !segment.paused &&
            (jumps(previous, segment) || previous.rate != segment.rate)) {
            resync(now, segment.anchor + kJumpHold);
        } else if (movesInto(segment) && !segment.paused && m_state != State::Following) {
            resync(now); // a seek's wait ends with the segment it was made for
        }
    }
    switch (m_state) {
    case State::Seeking:
        if (m_landed) {
            m_margin = std::clamp(std::max(m_margin, (now - m_seekStarted) * 3 / 2), kFirstMargin,
                                  kMaxMargin);
            m_state = State::Waiting;
        } else if (now - m_seekStarted > kSeekGiveUp) {
            resync(now);
        }
        break;
    case State::Waiting:
        if (segment.paused) {
            m_state = State::Following;
        } else if (leader >= m_startAt) {
            play(segment, now);
        }
        break;
    case State::Idle:
    case State::Following:
        follow(now, segment);
        break;
    }
    // Turn again in time for the next instant that matters: a change, or a held seek's start.
    int64_t next = now + kTurn;
    if (m_timeline->after.anchor > leader) {
        next = std::min(next, m_timeline->after.anchor - m_offset);
    }
    if (m_state == State::Waiting) {
        next = std::min(next, m_startAt - m_offset);
    }
    return next;
}

void SyncPlayer::follow(int64_t now, const SyncSegment& segment) {
    if (m_movie->isDone() && !segment.looping) {
        return; // at the end of a movie that does not loop: nothing left to follow
    }
    if (segment.paused) {
        holdPaused(segment);
        return;
    }
    const double target = segment.positionAt(leaderTime(now), m_timeline->movie.duration);
    const std::optional<SyncSegment> held = std::exchange(m_heldFor, std::nullopt);
    if (!m_playing) {
        // Held on the frame the timeline plays on from (a pause ends): start at once.
        if (held &&
            std::fabs(SyncTimeline::difference(held->position, target, m_timeline->movie.duration,
                                               segment.looping)) < framePeriod()) {
            if (held->rate == segment.rate) {
                play(segment, now);
            } else {
                resync(now, segment.anchor + kJumpHold);
            }
        } else if (!nearTheEnd(segment, target)) {
            resync(now);
        }
        return;
    }
    if (m_movie->status()->loops() != segment.looping) {
        m_movie->setLoops(segment.looping);
    }
    if (m_movie->status()->nominalRate() != static_cast<float>(segment.rate)) {
        resync(now); // a rate not taken at its change
        return;
    }
    const SyncCorrection::Decision decision =
        m_correction.decide(framePeriod(), segment.rate, deadband(segment.rate));
    if (decision.seek) {
        resync(now);
    } else if (decision.trim != m_trim && now - m_trimmedAt >= kTrimEvery) {
        setTrim(decision.trim, now);
    }
}

void SyncPlayer::holdPaused(const SyncSegment& segment) {
    if (m_playing || m_state == State::Idle) {
        m_movie->setRate(0.0f);
        m_playing = false;
        m_state = State::Following;
    }
    if (m_movie->status()->loops() != segment.looping) {
        m_movie->setLoops(segment.looping);
    }
    // Every machine seeks to the same instant once, and so holds the same frame.
    if (!(m_heldFor && *m_heldFor == segment)) {
        m_heldFor = segment;
        const int64_t now = WallClock::now();
        holdPictures(now + kFirstMargin);
        pauseAtRate(segment.rate, now);
        m_movie->setCurrentTime(movieTime(segment.position));
    }
}

bool SyncPlayer::movesInto(const SyncSegment& segment) const {
    if (m_state == State::Following) {
        return m_playing;
    }
    // A seek under way that plays on in the segment was made for it already.
    return (m_state == State::Seeking || m_state == State::Waiting) && !(m_seekFor == segment);
}

void SyncPlayer::pauseAtRate(double rate, int64_t now) {
    setTrim(1.0, now);
    m_movie->setPausedRate(static_cast<float>(rate));
    m_playing = false;
}

void SyncPlayer::setTrim(double trim, int64_t now) {
    m_trim = trim;
    m_trimmedAt = now;
    m_movie->setSpeedTrim(trim);
}

void SyncPlayer::holdPictures(int64_t untilLocal) {
    m_movie->holdPicturesUntil(std::chrono::steady_clock::now() +
                               std::chrono::nanoseconds(untilLocal - WallClock::now()));
}

void SyncPlayer::play(const SyncSegment& segment, int64_t now) {
    m_movie->holdPicturesUntil({});
    setTrim(1.0, now);
    m_movie->setRate(static_cast<float>(segment.rate));
    m_playing = true;
    m_state = State::Following;
    m_correction.clear();
    m_settleUntil = now + kSettle;
}

void SyncPlayer::resync(int64_t now) {
    resync(now, leaderTime(now) + m_margin);
}

void SyncPlayer::resync(int64_t now, int64_t startAt) {
    const SyncSegment& segment = m_timeline->segmentAt(startAt);
    m_seekFor = segment;
    double position = m_timeline->positionAt(startAt);
    alignToFrame(segment, position, startAt);
    // The frame on show stays until the landed one plays on, on every machine alike. The hold
    // comes first: the render thread may draw at any moment in between.
    holdPictures(startAt - m_offset);
    if (m_movie->status()->loops() != segment.looping) {
        m_movie->setLoops(segment.looping);
    }
    pauseAtRate(segment.rate, now);
    m_movie->setCurrentTime(movieTime(position));
    m_startAt = startAt;
    m_seekStarted = now;
    m_landed = false;
    m_state = State::Seeking;
    m_correction.clear();
    ++m_seeks;
}

void SyncPlayer::alignToFrame(const SyncSegment& segment, double& position,
                              int64_t& startAt) const {
    // A seek shows the first frame at or after the time asked for, and playing on starts the
    // clock from that frame: so land on a frame's own time, and start when the timeline gets
    // there, or the picture runs up to a frame ahead.
    const double period = framePeriod();
    const double duration = m_timeline->movie.duration;
    const double frame = std::ceil(position / period - 1e-6) * period;
    if (segment.paused || segment.rate <= 0 || (duration > 0 && frame > duration - period)) {
        return;
    }
    startAt += std::llround((frame - position) / segment.rate * WallClock::kSecond);
    position = frame;
}

bool SyncPlayer::jumps(const SyncSegment& from, const SyncSegment& to) const {
    const double duration = m_timeline->movie.duration;
    const double before = from.positionAt(to.anchor, duration);
    // Smaller jumps than a seek is for are taken in by the speed, as any other error.
    return std::fabs(SyncTimeline::difference(before, to.position, duration, to.looping)) >
           SyncCorrection::kSeekFrames * framePeriod() * std::max(1.0, std::fabs(to.rate));
}

bool SyncPlayer::nearTheEnd(const SyncSegment& segment, double position) const {
    const double duration = m_timeline->movie.duration;
    return !segment.looping && duration > 0 && position >= duration - 2 * framePeriod();
}

} // namespace lumenarc
