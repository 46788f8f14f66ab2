#pragma once

#include "sync/SyncSocket.h"

#include <cstdint>
#include <memory>
#include <random>

namespace lumenarc::test {

// A poor network for sync tests: drops a share of the datagrams received and delays the rest
// at random up to a largest delay, which also reorders them.
class LossyNetwork final : public SyncReceiveFaults {
public:
    LossyNetwork(double drop, int64_t maxDelay) : m_drop(drop), m_maxDelay(maxDelay) {}

    int64_t delayFor() override;

    // Every sync socket started from now on receives through a network of this kind.
    static void install(double drop, int64_t maxDelay);
    // The same, from LUMENARC_SYNC_TEST_DROP (a share) and LUMENARC_SYNC_TEST_DELAY_MS (the
    // largest delay), when either is set: how the sync show test makes a player's network poor.
    static void installFromEnvironment();
    static void uninstall();

private:
    double m_drop;
    int64_t m_maxDelay;
    std::mt19937_64 m_random{std::random_device{}()};
};

} // namespace lumenarc::test
