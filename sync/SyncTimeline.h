#pragma once

#include "sync/MovieIdentity.h"
#include "sync/SyncSegment.h"

#include <cstdint>

namespace lumenarc {

// A show's timeline as the leader publishes it: the movie, the segment in effect, and the next
// one from its anchor on. Changes are scheduled a lead time ahead, so that every machine, having
// heard of a change before it is due, makes it at the same wall-clock instant.
struct SyncTimeline {
    MovieIdentity movie;
    SyncSegment before; // in effect until after.anchor
    SyncSegment after;  // in effect from its anchor on

    const SyncSegment& segmentAt(int64_t wall) const {
        return wall < after.anchor ? before : after;
    }
    double positionAt(int64_t wall) const {
        return segmentAt(wall).positionAt(wall, movie.duration);
    }
    // Leader: starts the timeline at `wall` with one segment.
    void reset(const SyncSegment& segment);
    // Leader: the segment that takes effect `lead` after `now`, to be changed by the caller.
    // Changes asked for while one is still pending join it, at its instant.
    SyncSegment& change(int64_t now, int64_t lead);
    // Follower: whether a timeline heard when the leader's clock reads `leaderNow` can be the
    // leader's: its next change at most kMaxAhead away (a change is made kLead ahead), and its
    // last no older than kMaxAge.
    bool plausibleAt(int64_t leaderNow) const;
    static constexpr int64_t kMaxAhead = 5'000'000'000;
    static constexpr int64_t kMaxAge = 366LL * 86'400'000'000'000;
    // Difference a - b of two movie times, the shorter way round a looping movie.
    static double difference(double a, double b, double duration, bool looping);
};

} // namespace lumenarc
