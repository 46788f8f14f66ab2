#pragma once

#include "mesh/MeshVertex.h"

#include <cstdint>
#include <functional>
#include <string>

namespace lumenarc::resources {

// Writes a distortion matrix file: type, width, height, then one node per line.
// The node function receives the column and row and their positions 0..1 across the grid.
using NodeFunction = std::function<MeshVertex(int32_t column, int32_t row, double s, double t)>;

bool writeMesh(const std::string& path, int32_t type, int32_t width, int32_t height,
               const NodeFunction& node);

} // namespace lumenarc::resources
