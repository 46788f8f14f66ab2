#pragma once

#include <cstdint>

namespace lumenarc {

class DistortionMatrix;

// Everything a warp map depends on: the mesh (its nodes never change once made), its
// projection type (the strips and the wrap), the interaction, the view's size and the frame's.
// A map is rebuilt only when one of these differs from the one it was built for. The mesh is
// known by its serial, never by its address: an edited mesh is a new object, and may be
// allocated where the one it replaces was.
struct WarpMapKey {
    uint64_t mesh = 0; // DistortionMatrix::serial(); 0: no mesh
    int32_t type = 0;
    double rotation = 0;
    double offsetX = 0;
    double offsetY = 0;
    int32_t viewWidth = 0;
    int32_t viewHeight = 0;
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;

    static WarpMapKey of(const DistortionMatrix& mesh, int32_t viewWidth, int32_t viewHeight,
                         int32_t frameWidth, int32_t frameHeight);
    bool operator==(const WarpMapKey&) const = default;
};

} // namespace lumenarc
