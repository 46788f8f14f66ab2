#pragma once

#include <cstddef>
#include <deque>

namespace lumenarc {

// How a player pulls its picture onto the timeline: errors of a few frames are taken in by
// playing up to 5 % faster or slower (sound follows), larger ones by seeking. The error is the
// median of the last positions reported, which the decoder gives once per frame, so one late
// report moves nothing.
class SyncCorrection {
public:
    struct Decision {
        bool seek = false;
        double trim = 1.0; // speed factor while not seeking
    };

    // Keeps one error (own movie time minus the timeline's, seconds).
    void add(double error);
    void clear() { m_errors.clear(); }
    size_t size() const { return m_errors.size(); }
    double median() const;
    // What to do about the errors kept, for a movie of this frame period played at `rate`.
    Decision decide(double framePeriod, double rate, double deadband = kDeadband) const;

    // The speed factor for an error: the error goes in about kSettle seconds, within ±kMaxTrim,
    // in whole steps of kTrimStep. Each change of speed costs the decoder a little smoothness,
    // so errors within kDeadband are left alone and small changes are not made.
    static double trimFor(double error, double rate, double deadband = kDeadband);

    static constexpr size_t kKept = 15;
    static constexpr size_t kEnough = 3;     // errors needed before any decision
    static constexpr double kSeekFrames = 4; // beyond this many frames a seek is quicker
    static constexpr double kMaxTrim = 0.05;
    static constexpr double kSettle = 1.0;
    static constexpr double kTrimStep = 0.01;
    static constexpr double kDeadband = 0.010;

private:
    std::deque<double> m_errors;
};

} // namespace lumenarc
