#include "render/MeshScreen.h"

#include "render/DrawPlan.h"

namespace lumenarc {

MeshScreen::Point MeshScreen::toWindow(double meshX, double meshY, float viewWidth,
                                       float viewHeight) {
    const auto scale = DrawPlan::aspectScale(viewWidth, viewHeight);
    return {(meshX * scale.x + 1.0) * 0.5 * static_cast<double>(viewWidth),
            (meshY * scale.y + 1.0) * 0.5 * static_cast<double>(viewHeight)};
}

MeshScreen::Point MeshScreen::toMesh(double windowX, double windowY, float viewWidth,
                                     float viewHeight) {
    const Point offset =
        toMeshOffset(windowX - 0.5 * static_cast<double>(viewWidth),
                     windowY - 0.5 * static_cast<double>(viewHeight), viewWidth, viewHeight);
    return offset;
}

MeshScreen::Point MeshScreen::toMeshOffset(double dx, double dy, float viewWidth,
                                           float viewHeight) {
    const auto scale = DrawPlan::aspectScale(viewWidth, viewHeight);
    return {dx / (scale.x * 0.5 * static_cast<double>(viewWidth)),
            dy / (scale.y * 0.5 * static_cast<double>(viewHeight))};
}

} // namespace lumenarc
