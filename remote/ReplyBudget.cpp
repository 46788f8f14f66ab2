#include "remote/ReplyBudget.h"

#include <algorithm>

namespace lumenarc {

bool ReplyBudget::take(size_t bytes, Clock::time_point now) {
    if (m_started && now > m_filled) {
        const std::chrono::duration<double> passed = now - m_filled;
        m_left = std::min(m_burst, m_left + passed.count() * m_perSecond);
    }
    if (!m_started || now > m_filled) {
        m_filled = now;
    }
    m_started = true;
    const auto cost = static_cast<double>(bytes);
    if (cost > m_left) {
        return false;
    }
    m_left -= cost;
    return true;
}

} // namespace lumenarc
