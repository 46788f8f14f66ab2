#include "app/FullScreenGeometry.h"

namespace lumenarc {

FullScreenGeometry::Rect FullScreenGeometry::contentRect(const Rect& mainScreen, int hscreens,
                                                         int vscreens) {
    // Single-precision products of the counts and the screen's size.
    const float width = static_cast<float>(hscreens) * mainScreen.width;
    const float height = static_cast<float>(vscreens) * mainScreen.height;
    // The lower-left corner stays put; upward is toward smaller y here.
    const float bottom = mainScreen.y + mainScreen.height;
    return {mainScreen.x, bottom - height, width, height};
}

} // namespace lumenarc
