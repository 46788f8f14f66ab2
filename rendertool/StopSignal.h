#pragma once

namespace lumenarc {

// SIGINT, SIGTERM and SIGHUP ask a long render to stop: the handler only records the signal,
// and every loop of the render polls it, so that the work ends cleanly within a moment.
class StopSignal {
public:
    static void install();
    // The signal received, or 0.
    static int received();
    static bool requested() { return received() != 0; }
    // The exit status for a stop by `signalNumber`: 128 + its number (130, 143, 129).
    static int exitStatus(int signalNumber) { return 128 + signalNumber; }
};

} // namespace lumenarc
