#pragma once

#include <cstdint>

namespace lumenarc {

class DistortionMatrix;

// Everything a warp map depends on: the mesh (its nodes never change once loaded), its
// projection type (the strips and the wrap), the interaction, the view's size and the frame's.
// A map is rebuilt only when one of these differs from the one it was built for.
struct WarpMapKey {
    const DistortionMatrix* mesh = nullptr;
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
