#include "remote/OscQueue.h"

namespace lumenarc {

OscQueue::Pushed OscQueue::push(OscCommand command) {
    std::lock_guard guard(m_mutex);
    if (!m_commands.empty() && m_commands.back().verb == command.verb && command.mergeable()) {
        m_commands.back() = std::move(command);
        return Pushed::Merged;
    }
    if (m_commands.size() >= m_capacity) {
        return Pushed::Dropped;
    }
    m_commands.push_back(std::move(command));
    return m_commands.size() == 1 ? Pushed::First : Pushed::Queued;
}

std::vector<OscCommand> OscQueue::take(size_t most) {
    std::lock_guard guard(m_mutex);
    std::vector<OscCommand> out;
    while (!m_commands.empty() && out.size() < most) {
        out.push_back(std::move(m_commands.front()));
        m_commands.pop_front();
    }
    return out;
}

size_t OscQueue::size() const {
    std::lock_guard guard(m_mutex);
    return m_commands.size();
}

} // namespace lumenarc
