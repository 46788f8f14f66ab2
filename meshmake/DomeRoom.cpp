#include "meshmake/DomeRoom.h"

#include "meshmake/RaySphere.h"

namespace lumenarc::meshmake {

std::optional<Vec3> DomeRoom::landing(const Vec3& from, const Vec3& d) const {
    const Vec3 centre{0, 0, 0};
    if (!m_mirror) {
        return RaySphere::farHit(from, d, centre, m_domeRadius);
    }
    const auto hit = RaySphere::nearHit(from, d, m_mirror->centre, m_mirror->radius);
    if (!hit || hit->length() >= m_domeRadius) {
        return std::nullopt;
    }
    const Vec3 normal = (*hit - m_mirror->centre) * (1.0 / m_mirror->radius);
    return RaySphere::farHit(*hit, RaySphere::reflect(d, normal), centre, m_domeRadius);
}

} // namespace lumenarc::meshmake
