#include "base/LogThrottle.h"

#include "base/DeveloperLog.h"

namespace lumenarc {

std::string LogThrottle::admit(const std::string& line, Clock::time_point now) {
    std::lock_guard guard(m_mutex);
    if (m_wroteOnce && now - m_last < m_period) {
        ++m_heldBack;
        return {};
    }
    std::string out = line;
    if (m_heldBack > 0) {
        out += " (and " + std::to_string(m_heldBack) + " more not shown)";
    }
    m_wroteOnce = true;
    m_last = now;
    m_heldBack = 0;
    return out;
}

void LogThrottle::write(const std::string& line) {
    const std::string out = admit(line, Clock::now());
    if (!out.empty()) {
        DeveloperLog::write(out);
    }
}

} // namespace lumenarc
