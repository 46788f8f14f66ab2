#pragma once

#include "AppSession.h"

#include <string>
#include <vector>

namespace lumenarc::test {

// Looks at the view's pixels, as a person would at the screen.
struct E2EPictures {
    // True when the point at fractions (fx, fy) of the area is lit.
    static bool lit(const std::vector<uint8_t>& pixels, const AppSession::Rect& area, double fx,
                    double fy);
    // Pure white pixels in the top-left corner: the frame-rate readout.
    static int readoutPixels(const std::vector<uint8_t>& pixels, const AppSession::Rect& area);
    // Has a paused picture drawn again: a drag there and back moves nothing but asks for a
    // redraw.
    static void redraw(AppSession& app, const AppSession::Rect& area);
    // A planar mesh that fills the left half of the view only.
    static std::string leftHalfMesh();
};

} // namespace lumenarc::test
