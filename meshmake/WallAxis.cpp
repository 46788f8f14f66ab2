#include "meshmake/WallAxis.h"

#include "meshmake/BlendRamp.h"

#include <algorithm>
#include <cmath>

namespace lumenarc::meshmake {

std::vector<double> WallAxis::pictureStops(const Settings& settings, int projector) {
    const double f = settings.overlap;
    const bool before = projector > 0 && f > 0;
    const bool after = projector + 1 < settings.projectors && f > 0;
    std::vector<double> stops;
    // Inside an overlap only its ramp nodes, at the same steps on both projectors, so that
    // each node of one faces a node of the other in the movie.
    if (before) {
        for (int k = 0; k <= settings.rampSteps; ++k) {
            stops.push_back(f * k / settings.rampSteps);
        }
    }
    if (after) {
        for (int k = 0; k <= settings.rampSteps; ++k) {
            stops.push_back(1.0 - f + f * k / settings.rampSteps);
        }
    }
    const double low = before ? f : 0.0, high = after ? 1.0 - f : 1.0;
    for (int k = 0; k < settings.plainNodes; ++k) {
        const double p = static_cast<double>(k) / (settings.plainNodes - 1);
        if (p >= low && p <= high) {
            stops.push_back(p);
        }
    }
    stops.push_back(low);
    stops.push_back(high);
    std::sort(stops.begin(), stops.end());
    stops.erase(std::unique(stops.begin(), stops.end(),
                            [](double a, double b) { return std::fabs(a - b) < 1e-12; }),
                stops.end());
    return stops;
}

std::vector<WallAxis::Node> WallAxis::nodes(const Settings& settings) {
    const int n = settings.projectors;
    const double f = settings.overlap;
    const double e = n - (n - 1) * f;
    const double width = 2.0 * settings.halfExtent / n;
    std::vector<Node> out;
    for (int j = 0; j < n; ++j) {
        for (const double p : pictureStops(settings, j)) {
            double share = 1.0;
            if (j > 0 && f > 0 && p < f) {
                share = BlendRamp::share(p / f);
            } else if (j + 1 < n && f > 0 && p > 1.0 - f) {
                share = 1.0 - BlendRamp::share((p - (1.0 - f)) / f);
            }
            out.push_back(
                Node{-settings.halfExtent + width * (j + p), (j * (1.0 - f) + p) / e, share});
        }
    }
    return out;
}

} // namespace lumenarc::meshmake
