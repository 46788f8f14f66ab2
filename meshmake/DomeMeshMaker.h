#pragma once

#include "meshmake/DomeRoom.h"
#include "meshmake/MeshGrid.h"
#include "meshmake/Projector.h"

#include <cstdint>
#include <optional>

namespace lumenarc::meshmake {

// The fisheye mesh for one projector lighting a dome, directly or through a spherical mirror:
// each node of the projector's picture shows the point of the dome master that its light
// reaches on the dome.
class DomeMeshMaker {
public:
    struct Settings {
        Projector::Settings projector;
        double domeRadius = 2.5;
        std::optional<DomeRoom::Mirror> mirror;
        double apertureDegrees = 180;
        double tiltDegrees = 0;
        int32_t columns = 65;
        int32_t rows = 37;
        double feather = 0;     // fade width in the player's unit; 0 for none
        bool evenLight = false; // even light per unit of dome area
        double gamma = 2.2;     // light = brightness^gamma, for the two above
    };

    // The fisheye projection type of the mesh files.
    static constexpr int32_t kFisheyeType = 2;

    explicit DomeMeshMaker(const Settings& settings);

    // Node (column, row)'s position in the picture; row 0 is the bottom.
    double nodeX(int32_t column) const;
    double nodeY(int32_t row) const;
    // The dome point lit by picture point (x, y), or nothing.
    std::optional<Vec3> domePoint(double x, double y) const;
    // Dome area lit per unit of picture area around (x, y), or nothing where it cannot be
    // measured (no light on either side).
    std::optional<double> magnification(double x, double y) const;

    MeshGrid make() const;

private:
    std::optional<Vec3> slope(double x, double y, double dx, double dy) const;
    std::optional<Vec3> slopeNear(double x, double y, double dx, double dy) const;
    void applyLightShares(MeshGrid& grid, const std::vector<bool>& lit) const;

    Settings m_settings;
    Projector m_projector;
    DomeRoom m_room;
};

} // namespace lumenarc::meshmake
