#include "tools/rendertool/TimeWindow.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <cmath>

namespace lumenarc {
namespace {

int64_t ticks(double seconds, AVRational timeBase) {
    return std::llround(seconds * timeBase.den / timeBase.num);
}

} // namespace

TimeWindow::TimeWindow(int64_t origin, AVRational timeBase, double startSeconds,
                       std::optional<double> durationSeconds)
    : m_timeBase(timeBase), m_begin(origin + ticks(startSeconds, timeBase)),
      m_cutsFront(startSeconds > 0) {
    if (durationSeconds) {
        m_end = m_begin + ticks(*durationSeconds, timeBase);
    }
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
