#include "rendertool/TimeWindow.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <cmath>
#include <limits>

namespace lumenarc {
namespace {

// Ticks for a start or a duration: below 2^61, so that origin + start + duration stays
// within 64 bits.
constexpr double kMaxTicks = 0x1p61;

int64_t ticks(double seconds, AVRational timeBase) {
    const double count = seconds * timeBase.den / timeBase.num;
    return count > 0 ? std::llround(std::min(count, kMaxTicks)) : 0;
}

int64_t add(int64_t a, int64_t b) {
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    }
    return sum;
}

} // namespace

TimeWindow::TimeWindow(int64_t origin, AVRational timeBase, double startSeconds,
                       std::optional<double> durationSeconds)
    : m_timeBase(timeBase), m_begin(add(origin, ticks(startSeconds, timeBase))),
      m_cutsFront(startSeconds > 0) {
    if (durationSeconds) {
        m_end = add(m_begin, ticks(*durationSeconds, timeBase));
    }
}

double TimeWindow::maxSeconds(AVRational timeBase) {
    return kMaxTicks * timeBase.num / timeBase.den;
}

TimeWindow::Place TimeWindow::place(int64_t ts, AVRational timeBase) const {
    if (m_cutsFront && av_compare_ts(ts, timeBase, m_begin, m_timeBase) < 0) {
        return Place::Before;
    }
    if (m_end && av_compare_ts(ts, timeBase, *m_end, m_timeBase) >= 0) {
        return Place::After;
    }
    return Place::Inside;
}

int64_t TimeWindow::shift(int64_t ts, AVRational timeBase) const {
    return ts - av_rescale_q_rnd(m_begin, m_timeBase, timeBase,
                                 static_cast<AVRounding>(AV_ROUND_NEAR_INF));
}

double TimeWindow::secondsFromBegin(int64_t ts) const {
    return static_cast<double>(ts - m_begin) * av_q2d(m_timeBase);
}

} // namespace lumenarc
