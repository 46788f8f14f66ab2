#pragma once

#include "sync/SyncAddress.h"

#include <array>
#include <cstdint>

namespace lumenarc {

// A leader's proof that a follower receives at the address it sends from: a join is answered
// with a cookie for that address, no larger than the join, and only what echoes it counts as
// a follower. A cookie is a keyed hash of the address and the time, so the leader keeps nothing
// per address asked; it holds for one to two kPeriods. Any thread (the key never changes).
class SyncCookies {
public:
    using Cookie = std::array<unsigned char, 16>;

    SyncCookies(); // a random key of this run's own

    Cookie make(const SyncAddress& from, int64_t now) const;
    bool check(const SyncAddress& from, const Cookie& cookie, int64_t now) const;

    static constexpr int64_t kPeriod = 30'000'000'000;

private:
    Cookie makeFor(const SyncAddress& from, int64_t period) const;

    std::array<unsigned char, 32> m_key{};
};

} // namespace lumenarc
