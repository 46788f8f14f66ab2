#pragma once

#include "meshmake/Vec3.h"

#include <optional>

namespace lumenarc::meshmake {

// Where a ray meets a sphere, and how it leaves a mirror.
class RaySphere {
public:
    // The first point ahead of `origin` along the unit direction `d` on the sphere, or nothing
    // when the ray misses it or the sphere lies behind.
    static std::optional<Vec3> nearHit(const Vec3& origin, const Vec3& d, const Vec3& centre,
                                       double radius);
    // The last point ahead of `origin` along `d` on the sphere: from inside, where the ray
    // leaves it. Nothing when the ray misses it or the sphere lies behind.
    static std::optional<Vec3> farHit(const Vec3& origin, const Vec3& d, const Vec3& centre,
                                      double radius);
    // The direction `d` reflected off a surface of unit normal `n`.
    static Vec3 reflect(const Vec3& d, const Vec3& n) { return d - n * (2.0 * d.dot(n)); }
};

} // namespace lumenarc::meshmake
