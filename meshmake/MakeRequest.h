#pragma once

#include "meshmake/DomeMeshMaker.h"
#include "meshmake/WallMeshMaker.h"

#include <string>

namespace lumenarc::meshmake {

// What `lumenarc-mesh make` was asked for.
struct MakeRequest {
    enum class Kind { Mirror, Dome, Wall };

    Kind kind = Kind::Dome;
    std::string out;
    DomeMeshMaker::Settings dome;
    WallMeshMaker::Settings wall;
};

} // namespace lumenarc::meshmake
