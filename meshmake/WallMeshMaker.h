#pragma once

#include "meshmake/MeshGrid.h"

#include <cstdint>

namespace lumenarc::meshmake {

// One planar mesh for a wall of `across` x `down` projectors shown full screen (hscreens
// `across`, vscreens `down`), their pictures blended where they overlap in the movie. Rows
// blend as columns do, counted from the bottom as v is; a node's light share is the product
// of both.
class WallMeshMaker {
public:
    struct Settings {
        int32_t across = 1;
        int32_t down = 1;
        double overlap = 0;
        double gamma = 2.2;
        double aspect = 16.0 / 9.0; // of one projector
        int32_t columns = 17;       // per projector, outside the overlaps
        int32_t rows = 9;
    };

    static constexpr int32_t kPlanarType = 1;

    explicit WallMeshMaker(const Settings& settings) : m_settings(settings) {}

    // Steps across each overlap, enough for the light to add up between nodes.
    int rampSteps() const;
    MeshGrid make() const;

private:
    Settings m_settings;
};

} // namespace lumenarc::meshmake
