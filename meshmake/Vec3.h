#pragma once

#include <cmath>

namespace lumenarc::meshmake {

// A point or direction in the room, in metres: +x right, +y front, +z up.
struct Vec3 {
    double x = 0;
    double y = 0;
    double z = 0;

    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(double k) const { return {x * k, y * k, z * k}; }
    double dot(const Vec3& o) const { return x * o.x + y * o.y + z * o.z; }
    Vec3 cross(const Vec3& o) const {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    double length() const { return std::sqrt(dot(*this)); }
    // This direction scaled to length 1; the caller makes sure it is not zero.
    Vec3 unit() const { return *this * (1.0 / length()); }
};

} // namespace lumenarc::meshmake
