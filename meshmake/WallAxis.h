#pragma once

#include <vector>

namespace lumenarc::meshmake {

// The nodes along one direction of a wall of projectors side by side (or one above another).
// Each projector's picture is its own equal part of the view, without overlap on the screen;
// in the movie, neighbours overlap by the share F of a projector's picture. With
// E = N - (N - 1) F, projector j shows movie coordinates j (1 - F) / E to (j (1 - F) + 1) / E,
// linearly. Neighbours' nodes at their common border sit on the same screen position with
// different movie coordinates, so the picture jumps there as it must.
class WallAxis {
public:
    struct Node {
        double position; // on the screen, in the player's unit
        double movie;    // u or v
        double share;    // of this projector's light, 0..1
    };

    struct Settings {
        int projectors = 1;
        double overlap = 0;    // F, 0..0.5
        int plainNodes = 17;   // evenly across each picture, outside the overlaps
        int rampSteps = 16;    // equal steps across each overlap
        double halfExtent = 1; // the view spans -halfExtent..halfExtent
    };

    static std::vector<Node> nodes(const Settings& settings);
    // Positions 0..1 across one projector's picture at which it gets nodes.
    static std::vector<double> pictureStops(const Settings& settings, int projector);
};

} // namespace lumenarc::meshmake
