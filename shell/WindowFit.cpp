#include "shell/WindowFit.h"

#include <algorithm>
#include <cmath>

namespace lumenarc {

WindowFit::Size WindowFit::fitContent(Size wanted, float fixedHeight, Size frameExtra,
                                      Size available) {
    const float fixed = std::clamp(fixedHeight, 0.0f, std::max(wanted.height, 0.0f));
    const float pictureWidth = std::max(wanted.width, 0.0f);
    const float pictureHeight = std::max(wanted.height, 0.0f) - fixed;
    const float roomWidth = available.width - frameExtra.width;
    const float roomHeight = available.height - frameExtra.height - fixed;
    if (pictureWidth <= roomWidth && pictureHeight <= roomHeight) {
        return wanted;
    }
    if (pictureWidth <= 0.0f || pictureHeight <= 0.0f || roomWidth < 1.0f || roomHeight < 1.0f) {
        // Nothing of this shape fits (or it has no shape): the smallest picture there is.
        return {std::min(pictureWidth, 1.0f), fixed + std::min(pictureHeight, 1.0f)};
    }
    const float scale = std::min(roomWidth / pictureWidth, roomHeight / pictureHeight);
    return {std::max(1.0f, std::floor(pictureWidth * scale)),
            fixed + std::max(1.0f, std::floor(pictureHeight * scale))};
}

} // namespace lumenarc
