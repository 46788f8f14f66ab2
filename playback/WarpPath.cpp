#include "playback/WarpPath.h"

#include <string_view>

namespace lumenarc {

WarpPath::Kind WarpPath::choose(FramePath::Kind path, bool softwareRenderer, const char* forced) {
    if (path != FramePath::Kind::Cpu) {
        return Kind::Gl;
    }
    const std::string_view setting = forced != nullptr ? forced : "";
    if (setting == "gl") {
        return Kind::Gl;
    }
    if (setting == "processor") {
        return Kind::Processor;
    }
    return softwareRenderer ? Kind::Processor : Kind::Gl;
}

const char* WarpPath::describe(Kind kind) {
    return kind == Kind::Processor ? "Movie frames are warped through the mesh on the processor"
                                   : "Movie frames are drawn through the mesh's triangles by GL";
}

} // namespace lumenarc
