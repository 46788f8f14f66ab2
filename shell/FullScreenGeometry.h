#pragma once

#include <vector>

namespace lumenarc {

// Where the full-screen window goes: hscreens x vscreens main-screen sizes, extending to the
// right of and upward from the main screen's lower-left corner. Screen rectangles here have
// their origin at the top-left with y growing downward, as the toolkit's do.
class FullScreenGeometry {
public:
    struct Rect {
        float x = 0, y = 0, width = 0, height = 0;
    };
    static Rect contentRect(const Rect& mainScreen, int hscreens, int vscreens);

    struct Placement {
        Rect rect;
        bool cut = false; // rows of screens were asked for where there is no screen
    };
    // contentRect kept to the rows of screens that exist: upward from the main screen there may
    // be none (on X the main screen is often the topmost, at y 0), and a window there would be
    // partly off every screen. The rows the screens span from top to bottom are kept; `screens`
    // holds every screen (the main one among them).
    static Placement place(const Rect& mainScreen, const std::vector<Rect>& screens, int hscreens,
                           int vscreens);
};

} // namespace lumenarc
