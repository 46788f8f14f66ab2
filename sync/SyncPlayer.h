#pragma once

#include "sync/SyncCorrection.h"
#include "sync/SyncTimeline.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace lumenarc {

class MpvMovie;

// Plays one movie on a show's timeline: at each turn it compares the movie time the decoder
// last reported with the timeline's at that instant, and trims the speed or seeks. Seeks land
// paused, a little ahead of the timeline, and play on at the wall-clock instant the timeline
// reaches them, so a seek costs every machine the same short hold and no offset. Changes of
// rate are taken by such a seek too, since the decoder cannot change speed exactly. The leader
// plays its own timeline this way too. Main thread only.
class SyncPlayer {
public:
    enum class State { Idle, Seeking, Waiting, Following };

    explicit SyncPlayer(std::shared_ptr<MpvMovie> movie);
    ~SyncPlayer();
    SyncPlayer(const SyncPlayer&) = delete;
    SyncPlayer& operator=(const SyncPlayer&) = delete;

    // The timeline to play, with the leader's clock minus ours.
    void setTimeline(const SyncTimeline& timeline, int64_t clockOffset);
    bool hasTimeline() const { return m_timeline.has_value(); }
    const std::shared_ptr<MpvMovie>& movie() const { return m_movie; }
    // Main thread: a frame went on screen at `presented` (our wall clock). Once frames are
    // reported, what is on screen is what the player keeps on the timeline.
    void onPresented(int64_t presented, double seconds);
    // The display's refresh period, nanoseconds.
    void setRefreshPeriod(int64_t period) { m_refresh = period; }
    // One turn at `now` (our wall clock); returns when the next turn is due at the latest.
    int64_t tick(int64_t now);

    State state() const { return m_state; }
    // The median error kept (own minus timeline, seconds), and seeks made so far.
    double error() const { return m_correction.median(); }
    int seeks() const { return m_seeks; }
    double framePeriod() const;

    // A seek lands this long ahead of the timeline at first; seeks that take longer raise it.
    static constexpr int64_t kFirstMargin = 250'000'000;
    // A seek or a change of rate on the timeline holds the picture this long on every machine
    // alike, from the instant it is due, so that all land before they play on together.
    static constexpr int64_t kJumpHold = 300'000'000;
    static constexpr int64_t kMaxMargin = 2'000'000'000;
    // Reports right after a start or a change of rate are not yet steady.
    static constexpr int64_t kSettle = 200'000'000;
    static constexpr int64_t kTurn = 10'000'000;
    // The speed changes at most this often.
    static constexpr int64_t kTrimEvery = 300'000'000;
    // Errors measured on shown frames within this (seconds of movie time at rate 1) are left.
    static constexpr double kShownDeadband = 0.005;

private:
    void onPosition(double seconds, bool landed);
    // Whether errors are measured now, for the segment in effect at `now`.
    const SyncSegment* measurable(int64_t now) const;
    double deadband(double rate) const;
    void follow(int64_t now, const SyncSegment& segment);
    void holdPaused(const SyncSegment& segment);
    void play(const SyncSegment& segment, int64_t now);
    // Whether the movie plays, or is seeking to play, but not yet into `segment`.
    bool movesInto(const SyncSegment& segment) const;
    // Pauses with no trim at the rate playing on will take: the sound after the seek that
    // follows is then made at that speed, and starting changes no speed.
    void pauseAtRate(double rate, int64_t now);
    void setTrim(double trim, int64_t now);
    // New pictures wait until this instant of our wall clock.
    void holdPictures(int64_t untilLocal);
    // Seeks to where the timeline will be at `startAt` (leader's clock), held until then; by
    // default a margin from now that covers this machine's seeks.
    void resync(int64_t now);
    void resync(int64_t now, int64_t startAt);
    // Moves a seek's landing onto the next frame's time, and its start to match.
    void alignToFrame(const SyncSegment& segment, double& position, int64_t& startAt) const;
    // Whether the timeline jumps from one segment to the next (a seek).
    bool jumps(const SyncSegment& from, const SyncSegment& to) const;
    bool nearTheEnd(const SyncSegment& segment, double position) const;
    int64_t leaderTime(int64_t now) const { return now + m_offset; }

    std::shared_ptr<MpvMovie> m_movie;
    std::optional<SyncTimeline> m_timeline;
    int64_t m_offset = 0;
    State m_state = State::Idle;
    SyncCorrection m_correction;
    SyncSegment m_segment;                // the one in effect at the last turn
    std::optional<SyncSegment> m_heldFor; // the paused segment the movie was last sought for
    SyncSegment m_seekFor;                // the segment the last seek plays on in
    bool m_playing = false;               // the movie plays as far as this player knows
    bool m_landed = false;
    int64_t m_seekStarted = 0; // our clock
    int64_t m_startAt = 0;     // leader's clock: when a landed seek plays on
    int64_t m_margin = kFirstMargin;
    int64_t m_settleUntil = 0; // our clock
    int64_t m_trimmedAt = 0;   // our clock
    double m_trim = 1.0;
    int m_seeks = 0;
    bool m_framesReported = false;
    int64_t m_refresh = 16'666'667;
};

} // namespace lumenarc
