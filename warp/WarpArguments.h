#pragma once

#include "warp/WarpOptions.h"

#include <string>

namespace lumenarc {

// Parses the drawing options both warping tools take, so that they read them alike.
class WarpArguments {
public:
    // The outcome of looking at argv[index]: how many arguments were taken (0 when the
    // argument is not a drawing option) or a usage error.
    struct Step {
        int taken = 0;
        std::string error;
    };

    static constexpr int kMaxSide = 16384;

    static Step take(int argc, char** argv, int index, WarpOptions& options);
    // The help lines of these options; `defaultSize` is the tool's own, e.g. "1024x768".
    static std::string help(const std::string& defaultSize);
};

} // namespace lumenarc
