#include "E2EPictures.h"

namespace lumenarc::test {

bool E2EPictures::lit(const std::vector<uint8_t>& pixels, const AppSession::Rect& area, double fx,
                      double fy) {
    const int x = static_cast<int>(fx * area.width), y = static_cast<int>(fy * area.height);
    const size_t at = (static_cast<size_t>(y) * area.width + x) * 3;
    if (at + 2 >= pixels.size()) {
        return false;
    }
    return pixels[at] + pixels[at + 1] + pixels[at + 2] > 60;
}

int E2EPictures::readoutPixels(const std::vector<uint8_t>& pixels, const AppSession::Rect& area) {
    int white = 0;
    for (int y = 0; y < area.height / 8; ++y) {
        for (int x = 0; x < area.width / 4; ++x) {
            const size_t at = (static_cast<size_t>(y) * area.width + x) * 3;
            if (at + 2 < pixels.size() && pixels[at] == 255 && pixels[at + 1] == 255 &&
                pixels[at + 2] == 255) {
                ++white;
            }
        }
    }
    return white;
}

void E2EPictures::redraw(AppSession& app, const AppSession::Rect& area) {
    const auto x = std::to_string(area.x + area.width / 2);
    const auto y = std::to_string(area.y + area.height / 2);
    const auto x1 = std::to_string(area.x + area.width / 2 + 3);
    // Pauses between the moves: the toolkit merges motions, and a merged move back to the press
    // point would be no move at all.
    app.x().run({"/usr/bin/xdotool",
                 "mousemove",
                 x,
                 y,
                 "mousedown",
                 "1",
                 "sleep",
                 "0.1",
                 "mousemove",
                 x1,
                 y,
                 "sleep",
                 "0.1",
                 "mousemove",
                 x,
                 y,
                 "sleep",
                 "0.1",
                 "mouseup",
                 "1"});
}

std::string E2EPictures::leftHalfMesh() {
    return "1 2 2\n"
           "-1 -1 0 0 1\n0 -1 1 0 1\n"
           "-1 1 0 1 1\n0 1 1 1 1\n";
}

} // namespace lumenarc::test
