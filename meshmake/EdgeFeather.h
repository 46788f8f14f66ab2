#pragma once

#include <cstdint>
#include <vector>

namespace lumenarc::meshmake {

// Fades light towards the edge of the lit part of a grid of nodes.
class EdgeFeather {
public:
    // For each node of a width x height grid (row by row) with node spacings dx and dy, the
    // distance to the nearest unlit node, counting a ring of unlit nodes just outside the grid:
    // the picture's border is an edge too. An exact Euclidean distance transform, in time
    // proportional to the node count.
    static std::vector<double> distanceToUnlit(const std::vector<bool>& lit, int32_t width,
                                               int32_t height, double dx, double dy);
    // The share of light kept at `distance` from the edge when fading over `width`: an S-curve
    // from 0 at the edge to 1 at `width` and beyond. A width of 0 keeps everything.
    static double share(double distance, double width);
};

} // namespace lumenarc::meshmake
