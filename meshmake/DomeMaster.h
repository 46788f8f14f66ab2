#pragma once

#include "meshmake/Vec3.h"

#include <optional>

namespace lumenarc::meshmake {

// The dome master: an azimuthal equidistant fisheye seen from the dome's centre, tilted
// towards the front. Its centre is (0.5, 0.5); v grows upwards, so the front is at the bottom.
class DomeMaster {
public:
    struct Point {
        double u = 0;
        double v = 0;
    };

    DomeMaster(double apertureDegrees, double tiltDegrees);

    // Where a direction from the dome's centre (any length but zero) lies on the master, or
    // nothing when it is outside the master's aperture.
    std::optional<Point> map(const Vec3& direction) const;

private:
    double m_halfAperture; // radians
    double m_cosTilt;
    double m_sinTilt;
};

} // namespace lumenarc::meshmake
