#include "meshmake/DomeMaster.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumenarc::meshmake {
namespace {
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
}

DomeMaster::DomeMaster(double apertureDegrees, double tiltDegrees)
    : m_halfAperture(0.5 * apertureDegrees * kRadiansPerDegree),
      m_cosTilt(std::cos(tiltDegrees * kRadiansPerDegree)),
      m_sinTilt(std::sin(tiltDegrees * kRadiansPerDegree)) {}

std::optional<DomeMaster::Point> DomeMaster::map(const Vec3& direction) const {
    const Vec3 d = direction.unit();
    // Turned about x so that the master's centre looks along +z.
    const Vec3 t{d.x, d.y * m_cosTilt - d.z * m_sinTilt, d.y * m_sinTilt + d.z * m_cosTilt};
    const double theta = std::acos(std::clamp(t.z, -1.0, 1.0));
    if (theta > m_halfAperture) {
        return std::nullopt;
    }
    const double rho = 0.5 * theta / m_halfAperture;
    const double h = std::hypot(t.x, t.y);
    if (h == 0.0) {
        return Point{0.5, 0.5};
    }
    return Point{0.5 + rho * t.x / h, 0.5 - rho * t.y / h};
}

} // namespace lumenarc::meshmake
