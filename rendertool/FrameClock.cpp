#include "rendertool/FrameClock.h"

namespace lumenarc {

int64_t FrameClock::next(std::optional<int64_t> pts, int64_t duration) {
    int64_t chosen = 0;
    if (pts && (!m_last || *pts > *m_last)) {
        chosen = *pts;
    } else if (m_last) {
        chosen = *m_last + (pts ? 1 : m_lastDuration);
    }
    m_last = chosen;
    m_lastDuration = duration > 0 ? duration : 1;
    return chosen;
}

} // namespace lumenarc
