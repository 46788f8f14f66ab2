#pragma once

namespace lumenarc {

// Sizes a window to its content without letting it outgrow the screen: the content size asked
// for where the whole window fits the available area, and otherwise the largest size of the
// same shape that fits, so that the window, its menus and its controls stay on screen.
class WindowFit {
public:
    struct Size {
        float width = 0;
        float height = 0;
        bool operator==(const Size&) const = default;
    };

    // The content size to give the window. `fixedHeight` is the part of the content's height
    // that does not scale (the control bar below the picture): only the rest keeps its aspect
    // ratio as it shrinks. `frameExtra` is what the window adds around its content (menu bar,
    // borders); `available` is the screen area that windows may use. Whole points, never more
    // than asked for.
    static Size fitContent(Size wanted, float fixedHeight, Size frameExtra, Size available);
};

} // namespace lumenarc
