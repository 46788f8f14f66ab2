#include "softwarp/WarpMapKey.h"

#include "mesh/DistortionMatrix.h"

namespace lumenarc {

WarpMapKey WarpMapKey::of(const DistortionMatrix& mesh, int32_t viewWidth, int32_t viewHeight,
                          int32_t frameWidth, int32_t frameHeight) {
    const auto state = mesh.interaction();
    return {mesh.serial(),  mesh.projectionType(),
            state.rotation, state.offsetX,
            state.offsetY,  viewWidth,
            viewHeight,     frameWidth,
            frameHeight};
}

} // namespace lumenarc
