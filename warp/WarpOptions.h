#pragma once

#include <optional>
#include <string>

namespace lumenarc {

// How a picture is drawn through a mesh by the command-line tools: the options that
// lumenarc-warp and lumenarc-render share, with the same meaning in both.
struct WarpOptions {
    std::string mesh;
    int width = 0;
    int height = 0;
    bool grid = false;       // the calibration grid through the mesh
    bool lines = false;      // the mesh lines
    bool overlay = true;     // the overlay band, as in the player
    float rotation = 0;      // radians, as a drag on a fisheye mesh turns it
    float du = 0, dv = 0;    // pan, in fractions of the picture's width and height
    std::optional<int> type; // projection type drawn instead of the mesh's own
    bool glWarp = false; // the frame through the mesh's triangles in GL, not the processor's map
};

} // namespace lumenarc
