#include "shell/FullScreenGeometry.h"

#include <algorithm>

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

FullScreenGeometry::Placement FullScreenGeometry::place(const Rect& mainScreen,
                                                        const std::vector<Rect>& screens,
                                                        int hscreens, int vscreens) {
    Placement placement{contentRect(mainScreen, hscreens, vscreens), false};
    float top = mainScreen.y;
    float bottom = mainScreen.y + mainScreen.height;
    for (const Rect& screen : screens) {
        top = std::min(top, screen.y);
        bottom = std::max(bottom, screen.y + screen.height);
    }
    Rect& rect = placement.rect;
    const float from = std::max(rect.y, top);
    const float to = std::min(rect.y + rect.height, bottom);
    if (from > rect.y || to < rect.y + rect.height) {
        placement.cut = true;
        // The main screen's row is always kept, whatever the counts.
        rect.y = std::min(from, mainScreen.y);
        rect.height = std::max(to, mainScreen.y + mainScreen.height) - rect.y;
    }
    return placement;
}

} // namespace lumenarc
