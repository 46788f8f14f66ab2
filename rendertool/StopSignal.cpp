#include "rendertool/StopSignal.h"

#include <atomic>
#include <csignal>

namespace lumenarc {
namespace {

std::atomic<int> g_received{0};
static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");

void onSignal(int signalNumber) {
    int none = 0;
    g_received.compare_exchange_strong(none, signalNumber);
}

} // namespace

void StopSignal::install() {
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A closed terminal stops the render as cleanly as SIGTERM; under nohup it goes on.
    struct sigaction hangUp = {};
    if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN) {
        sigaction(SIGHUP, &action, nullptr);
    }
}

int StopSignal::received() {
    return g_received.load();
}

} // namespace lumenarc
