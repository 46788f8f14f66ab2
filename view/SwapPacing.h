#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumenarc {

// What paces the render thread: the display, through a swap that blocks until it takes the
// next picture, or a timer at the nominal refresh where swaps come back at once (a virtual
// frame buffer, a dummy driver, a rasteriser that does not wait). Chosen by measuring swaps
// made back to back, never by the driver's name.
class SwapPacing {
public:
    enum class Pacer { Timer, Swap };

    // Swaps that take at least half a refresh are paced by the display; ones far longer than a
    // refresh are a toolkit's time-out (a window not shown), not a display.
    static Pacer choose(std::vector<int64_t> swapDurations, int64_t nominalPeriod);
    static std::string describe(Pacer pacer, const std::vector<int64_t>& swapDurations);

    // Back-to-back swaps measured at start.
    static constexpr int kSwapsMeasured = 6;
};

} // namespace lumenarc
