#include "meshmake/RaySphere.h"

#include <cmath>

namespace lumenarc::meshmake {
namespace {

// The distances along the ray to both crossings, nearest first, or nothing for a miss.
std::optional<std::pair<double, double>> crossings(const Vec3& origin, const Vec3& d,
                                                   const Vec3& centre, double radius) {
    const Vec3 o = origin - centre;
    const double b = o.dot(d);
    const double c = o.dot(o) - radius * radius;
    const double disc = b * b - c;
    if (disc < 0.0) {
        return std::nullopt;
    }
    const double root = std::sqrt(disc);
    return std::pair{-b - root, -b + root};
}

} // namespace

std::optional<Vec3> RaySphere::nearHit(const Vec3& origin, const Vec3& d, const Vec3& centre,
                                       double radius) {
    const auto t = crossings(origin, d, centre, radius);
    if (!t || t->first <= 0.0) {
        return std::nullopt;
    }
    return origin + d * t->first;
}

std::optional<Vec3> RaySphere::farHit(const Vec3& origin, const Vec3& d, const Vec3& centre,
                                      double radius) {
    const auto t = crossings(origin, d, centre, radius);
    if (!t || t->second <= 0.0) {
        return std::nullopt;
    }
    return origin + d * t->second;
}

} // namespace lumenarc::meshmake
