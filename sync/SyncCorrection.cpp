#include "sync/SyncCorrection.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace lumenarc {

void SyncCorrection::add(double error) {
    if (!std::isfinite(error)) {
        return;
    }
    m_errors.push_back(error);
    if (m_errors.size() > kKept) {
        m_errors.pop_front();
    }
}

double SyncCorrection::median() const {
    if (m_errors.empty()) {
        return 0;
    }
    std::vector<double> sorted(m_errors.begin(), m_errors.end());
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    return sorted[sorted.size() / 2];
}

SyncCorrection::Decision SyncCorrection::decide(double framePeriod, double rate,
                                                double deadband) const {
    if (m_errors.size() < kEnough) {
        return {};
    }
    const double error = median();
    if (std::fabs(error) > kSeekFrames * framePeriod * std::max(1.0, std::fabs(rate))) {
        return {true, 1.0};
    }
    return {false, trimFor(error, rate, deadband)};
}

double SyncCorrection::trimFor(double error, double rate, double deadband) {
    if (rate == 0 || !std::isfinite(error) || std::fabs(error) < deadband) {
        return 1.0;
    }
    // Ahead of the timeline (positive error, forward) means slower; backward the other way.
    const double signedError = rate > 0 ? error : -error;
    const double change = -signedError / (kSettle * std::fabs(rate));
    return 1.0 + std::clamp(std::round(change / kTrimStep) * kTrimStep, -kMaxTrim, kMaxTrim);
}

} // namespace lumenarc
