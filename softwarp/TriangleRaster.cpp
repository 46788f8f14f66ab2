#include "softwarp/TriangleRaster.h"

#include <cmath>

namespace lumenarc {

bool TriangleRaster::snap(double window, int64_t& snapped) {
    if (!std::isfinite(window) || std::fabs(window) > kGuardBand) {
        return false;
    }
    snapped = std::llrint(window * static_cast<double>(kOne));
    return true;
}

} // namespace lumenarc
