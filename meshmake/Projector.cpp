#include "meshmake/Projector.h"

#include <cmath>
#include <numbers>

namespace lumenarc::meshmake {

Projector::Projector(const Settings& settings) : m_settings(settings) {
    m_forward = (settings.aim - settings.position).unit();
    const Vec3 side = m_forward.cross(Vec3{0, 0, 1});
    // Aimed straight up or down the side direction is undefined; +x is its limit when the aim
    // tips towards the front, so a small change of aim never flips the picture.
    m_right = side.length() > 1e-12 ? side.unit() : Vec3{1, 0, 0};
    m_up = m_right.cross(m_forward);
}

std::optional<Vec3> Projector::ray(double x, double y) const {
    if (m_settings.lens == Lens::Flat) {
        const double k = 1.0 / (2.0 * m_settings.throwRatio * m_settings.aspect);
        return (m_forward + m_right * (x * k) + m_up * ((y + m_settings.offset) * k)).unit();
    }
    const double rho = std::hypot(x, y);
    if (rho > 1.0) {
        return std::nullopt;
    }
    if (rho == 0.0) {
        return m_forward;
    }
    const double alpha = rho * 0.5 * m_settings.lensApertureDegrees * std::numbers::pi / 180.0;
    const Vec3 across = m_right * (x / rho) + m_up * (y / rho);
    return (m_forward * std::cos(alpha) + across * std::sin(alpha)).unit();
}

} // namespace lumenarc::meshmake
