#include "meshmake/BlendRamp.h"

#include <algorithm>
#include <cmath>

namespace lumenarc::meshmake {

double BlendRamp::share(double s) {
    const double c = std::clamp(s, 0.0, 1.0);
    return c * c * (3.0 - 2.0 * c);
}

double BlendRamp::brightness(double share, double gamma) {
    return std::pow(std::clamp(share, 0.0, 1.0), 1.0 / gamma);
}

double BlendRamp::worstSum(int steps, double gamma) {
    constexpr int kSamplesPerStep = 32;
    double worst = 0;
    for (int k = 0; k < steps; ++k) {
        const double s0 = static_cast<double>(k) / steps, s1 = static_cast<double>(k + 1) / steps;
        const double l0 = brightness(1.0 - share(s0), gamma),
                     l1 = brightness(1.0 - share(s1), gamma);
        const double r0 = brightness(share(s0), gamma), r1 = brightness(share(s1), gamma);
        for (int j = 1; j < kSamplesPerStep; ++j) {
            const double f = static_cast<double>(j) / kSamplesPerStep;
            const double left = l0 + (l1 - l0) * f, right = r0 + (r1 - r0) * f;
            worst = std::max(worst, std::fabs(std::pow(left, gamma) + std::pow(right, gamma) - 1));
        }
    }
    return worst;
}

int BlendRamp::stepsFor(double gamma) {
    int steps = 2;
    while (steps < kMaxSteps && worstSum(steps, gamma) > kTolerance) {
        ++steps;
    }
    return steps;
}

} // namespace lumenarc::meshmake
