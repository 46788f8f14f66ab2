#pragma once

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
};

} // namespace lumenarc
