#include "sync/SyncFollowers.h"

namespace lumenarc {

SyncFollowers::Heard SyncFollowers::heard(const SyncAddress& from, int64_t now) {
    const std::string key = from.describe();
    if (const auto found = m_entries.find(key); found != m_entries.end()) {
        found->second = {from, now}; // the local address it arrived at may have changed
        return Heard::Renewed;
    }
    expire(now);
    const std::string host = from.host();
    if (m_entries.size() >= kMaxTotal) {
        return Heard::TableFull;
    }
    if (m_perHost[host] >= kMaxPerHost) {
        return Heard::HostFull;
    }
    m_entries[key] = {from, now};
    ++m_perHost[host];
    return Heard::Added;
}

void SyncFollowers::expire(int64_t now) {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (now - it->second.lastHeard > kForget) {
            const std::string host = it->second.address.host();
            if (--m_perHost[host] == 0) {
                m_perHost.erase(host);
            }
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace lumenarc
