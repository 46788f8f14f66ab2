#pragma once

#include <cstdint>

namespace lumenarc {

// One stretch of a show's timeline: from its anchor (the leader's wall clock) the movie runs at
// `rate` from `position`, or stands there while paused.
struct SyncSegment {
    int64_t anchor = 0;  // nanoseconds, CLOCK_REALTIME on the leader
    double position = 0; // seconds of movie time at the anchor
    double rate = 1;     // kept while paused, so that playing on resumes it
    bool paused = true;
    bool looping = false;

    // Movie time at `wall`: wrapped into the movie while looping, else held at its ends. A
    // duration of 0 (unknown) neither wraps nor holds.
    double positionAt(int64_t wall, double duration) const;
    // The same motion, anchored at `wall`.
    SyncSegment continuedAt(int64_t wall, double duration) const;
    bool operator==(const SyncSegment&) const = default;
};

} // namespace lumenarc
