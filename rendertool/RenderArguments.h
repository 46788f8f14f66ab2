#pragma once

#include "rendertool/RenderOptions.h"

#include <string>

namespace lumenarc {

// The command line of lumenarc-render.
class RenderArguments {
public:
    struct Result {
        RenderOptions options;
        bool help = false;
        std::string error; // a usage error when not empty
    };

    static Result parse(int argc, char** argv);
    static std::string usage();
};

} // namespace lumenarc
