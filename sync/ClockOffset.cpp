#include "sync/ClockOffset.h"

#include <algorithm>

namespace lumenarc {

ClockOffset::Sample ClockOffset::measure(int64_t t1, int64_t t2, int64_t t3, int64_t t4) {
    return {((t2 - t1) + (t3 - t4)) / 2, (t4 - t1) - (t3 - t2)};
}

bool ClockOffset::plausible(int64_t t1, int64_t t2, int64_t t3, int64_t t4) {
    // Time stamps of this era, the leader's within kMaxOffset of ours, in order: then none of
    // the sums and differences below can overflow.
    const auto near = [](int64_t leader, int64_t own) {
        return leader > own - kMaxOffset && leader < own + kMaxOffset;
    };
    return t1 >= 0 && t1 < kLatest && t4 >= t1 && t4 < kLatest && t3 >= t2 && near(t2, t1) &&
           near(t3, t4);
}

bool ClockOffset::add(int64_t t1, int64_t t2, int64_t t3, int64_t t4) {
    if (!plausible(t1, t2, t3, t4)) {
        return false;
    }
    const Sample sample = measure(t1, t2, t3, t4);
    if (sample.roundTrip < 0) {
        return false;
    }
    m_samples.push_back(sample);
    if (m_samples.size() > kKept) {
        m_samples.pop_front();
    }
    return true;
}

std::optional<ClockOffset::Sample> ClockOffset::best() const {
    if (m_samples.empty()) {
        return std::nullopt;
    }
    return *std::min_element(
        m_samples.begin(), m_samples.end(),
        [](const Sample& a, const Sample& b) { return a.roundTrip < b.roundTrip; });
}

} // namespace lumenarc
