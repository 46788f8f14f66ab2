#include "sync/SyncTimeline.h"

#include <cmath>

namespace lumenarc {

void SyncTimeline::reset(const SyncSegment& segment) {
    before = segment;
    after = segment;
}

SyncSegment& SyncTimeline::change(int64_t now, int64_t lead) {
    if (now >= after.anchor) {
        before = after;
        after = before.continuedAt(now + lead, movie.duration);
    }
    return after;
}

bool SyncTimeline::plausibleAt(int64_t leaderNow) const {
    return before.anchor <= after.anchor && after.anchor <= leaderNow + kMaxAhead &&
           before.anchor >= leaderNow - kMaxAge;
}

double SyncTimeline::difference(double a, double b, double duration, bool looping) {
    const double d = a - b;
    if (looping && duration > 0) {
        return std::remainder(d, duration);
    }
    return d;
}

} // namespace lumenarc
