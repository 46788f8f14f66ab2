#pragma once

#include "sync/SyncAddress.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace lumenarc {

// A leader's followers: the addresses that proved themselves by a cookie, each until it has not
// been heard from for kForget. Bounded in all and per host, so that many senders on one machine
// cannot shut out the others.
class SyncFollowers {
public:
    enum class Heard { Added, Renewed, HostFull, TableFull };

    Heard heard(const SyncAddress& from, int64_t now);
    // Forgets those not heard from since `now - kForget`.
    void expire(int64_t now);
    size_t size() const { return m_entries.size(); }

    template <typename Visit> void forEach(Visit visit) const {
        for (const auto& [key, entry] : m_entries) {
            visit(entry.address);
        }
    }

    static constexpr int64_t kForget = 5'000'000'000;
    static constexpr size_t kMaxTotal = 256;
    static constexpr size_t kMaxPerHost = 16;

private:
    struct Entry {
        SyncAddress address;
        int64_t lastHeard = 0;
    };
    std::map<std::string, Entry> m_entries; // by address
    std::map<std::string, size_t> m_perHost;
};

} // namespace lumenarc
