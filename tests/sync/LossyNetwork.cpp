#include "sync/LossyNetwork.h"

#include <cstdlib>

namespace lumenarc::test {
namespace {

double environmentNumber(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr) {
        return 0;
    }
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    return end != text && value > 0 && value < 1e6 ? value : 0;
}

} // namespace

int64_t LossyNetwork::delayFor() {
    if (m_drop > 0 && std::uniform_real_distribution<>(0, 1)(m_random) < m_drop) {
        return -1;
    }
    return m_maxDelay > 0 ? std::uniform_int_distribution<int64_t>(0, m_maxDelay)(m_random) : 0;
}

void LossyNetwork::install(double drop, int64_t maxDelay) {
    SyncSocket::installFaults(
        [drop, maxDelay] { return std::make_unique<LossyNetwork>(drop, maxDelay); });
}

void LossyNetwork::installFromEnvironment() {
    const double drop = environmentNumber("LUMENARC_SYNC_TEST_DROP");
    const auto delay =
        static_cast<int64_t>(environmentNumber("LUMENARC_SYNC_TEST_DELAY_MS") * 1'000'000);
    if (drop > 0 || delay > 0) {
        install(drop, delay);
    }
}

void LossyNetwork::uninstall() {
    SyncSocket::installFaults(nullptr);
}

} // namespace lumenarc::test
