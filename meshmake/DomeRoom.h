#pragma once

#include "meshmake/Vec3.h"

#include <optional>

namespace lumenarc::meshmake {

// The dome, a sphere about the origin, and perhaps a spherical mirror inside it: where a ray
// of light ends up on the dome.
class DomeRoom {
public:
    struct Mirror {
        Vec3 centre;
        double radius = 0.3;
    };

    DomeRoom(double domeRadius, std::optional<Mirror> mirror)
        : m_domeRadius(domeRadius), m_mirror(mirror) {}

    double domeRadius() const { return m_domeRadius; }

    // The dome point lit by the ray from `from` along the unit direction `d`. With a mirror,
    // the ray reflects off its nearest hit; it gives no light when it misses the mirror or
    // meets it outside the dome.
    std::optional<Vec3> landing(const Vec3& from, const Vec3& d) const;

private:
    double m_domeRadius;
    std::optional<Mirror> m_mirror;
};

} // namespace lumenarc::meshmake
