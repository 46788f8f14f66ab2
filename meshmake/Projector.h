#pragma once

#include "meshmake/Vec3.h"

#include <optional>

namespace lumenarc::meshmake {

// A projector in the room: where it stands, where it looks, and the ray each point of its
// picture sends out. Picture points are in the player's unit, half the picture's height:
// x from -aspect to aspect, y from -1 to 1.
class Projector {
public:
    enum class Lens { Flat, Fisheye };

    struct Settings {
        Vec3 position;
        Vec3 aim; // any point on the picture's central ray, not the position itself
        Lens lens = Lens::Flat;
        double aspect = 16.0 / 9.0;
        double throwRatio = 1.5;          // flat: distance over picture width
        double offset = 0;                // flat: lens shift in half picture heights, up
        double lensApertureDegrees = 180; // fisheye: equidistant, circle fills the height
    };

    explicit Projector(const Settings& settings);

    const Vec3& position() const { return m_settings.position; }
    const Vec3& forward() const { return m_forward; }
    const Vec3& right() const { return m_right; }
    const Vec3& up() const { return m_up; }

    // The unit direction of the light leaving picture point (x, y), or nothing where the lens
    // sends none (outside a fisheye's circle).
    std::optional<Vec3> ray(double x, double y) const;

private:
    Settings m_settings;
    Vec3 m_forward;
    Vec3 m_right;
    Vec3 m_up;
};

} // namespace lumenarc::meshmake
