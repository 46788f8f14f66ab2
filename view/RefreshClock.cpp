#include "view/RefreshClock.h"

#include <algorithm>

namespace lumenarc {
namespace {

// a / b rounded to the nearest whole number, for b > 0.
int64_t roundedQuotient(int64_t a, int64_t b) {
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

} // namespace

RefreshClock::RefreshClock(int64_t nominalPeriod)
    : m_period(nominalPeriod > 0 ? nominalPeriod : 16'666'667) {}

void RefreshClock::observe(int64_t instant, uint64_t msc) {
    if (m_count > 0 && instant > m_last) {
        const int64_t elapsed = instant - m_last;
        const bool counted = msc != 0 && m_lastMsc != 0 && msc > m_lastMsc;
        const int64_t refreshes =
            counted ? static_cast<int64_t>(msc - m_lastMsc) : roundedQuotient(elapsed, m_period);
        if (refreshes >= 1 && (counted || refreshes <= kMaxRefreshesBetween)) {
            const int64_t sample = elapsed / refreshes;
            // The first samples set the period; later ones move it an eighth of the way, which
            // follows a clock's slow drift and averages out the stamps' jitter.
            const int64_t weight = std::min<int64_t>(m_samples + 1, 8);
            m_period += (sample - m_period) / weight;
            ++m_samples;
        }
    }
    if (instant >= m_last || m_count == 0) {
        m_last = instant;
        m_lastMsc = msc;
    }
    ++m_count;
}

void RefreshClock::learn(int64_t nextAtDraw, int64_t actual) {
    m_lag = std::clamp<int64_t>(roundedQuotient(actual - nextAtDraw, m_period), 0, kMaxLag);
}

int64_t RefreshClock::nextRefresh(int64_t now) const {
    if (m_count == 0) {
        return now + m_period;
    }
    if (now < m_last) {
        return m_last;
    }
    return m_last + ((now - m_last) / m_period + 1) * m_period;
}

} // namespace lumenarc
