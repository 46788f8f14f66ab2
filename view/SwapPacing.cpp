#include "view/SwapPacing.h"

#include <algorithm>
#include <cstdio>

namespace lumenarc {
namespace {

int64_t median(std::vector<int64_t> values) {
    if (values.empty()) {
        return 0;
    }
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace

SwapPacing::Pacer SwapPacing::choose(std::vector<int64_t> swapDurations, int64_t nominalPeriod) {
    // The first swap may wait for the window to be shown: it says nothing about the display.
    if (swapDurations.size() > 1) {
        swapDurations.erase(swapDurations.begin());
    }
    const int64_t typical = median(std::move(swapDurations));
    return typical >= nominalPeriod / 2 && typical <= 3 * nominalPeriod ? Pacer::Swap
                                                                        : Pacer::Timer;
}

std::string SwapPacing::describe(Pacer pacer, const std::vector<int64_t>& swapDurations) {
    char text[160];
    std::snprintf(text, sizeof text, "%s (back-to-back swaps took a median %.2f ms)",
                  pacer == Pacer::Swap ? "Frames are paced by the display's swap"
                                       : "Frames are paced by a timer at the nominal refresh",
                  static_cast<double>(median(swapDurations)) / 1e6);
    return text;
}

} // namespace lumenarc
