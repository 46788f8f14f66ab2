#include "sync/SyncSegment.h"

#include "base/WallClock.h"

#include <algorithm>
#include <cmath>

namespace lumenarc {

double SyncSegment::positionAt(int64_t wall, double duration) const {
    double at = position;
    if (!paused) {
        // Far apart (an anchor from a damaged timeline), the difference is taken in doubles.
        int64_t elapsed = 0;
        const double span = __builtin_sub_overflow(wall, anchor, &elapsed)
                                ? static_cast<double>(wall) - static_cast<double>(anchor)
                                : static_cast<double>(elapsed);
        at += rate * span / WallClock::kSecond;
    }
    if (!(duration > 0) || !std::isfinite(at)) {
        return std::isfinite(at) ? at : 0.0;
    }
    if (looping) {
        at = std::fmod(at, duration);
        return at < 0 ? at + duration : at;
    }
    return std::clamp(at, 0.0, duration);
}

SyncSegment SyncSegment::continuedAt(int64_t wall, double duration) const {
    SyncSegment next = *this;
    next.anchor = wall;
    next.position = positionAt(wall, duration);
    return next;
}

} // namespace lumenarc
