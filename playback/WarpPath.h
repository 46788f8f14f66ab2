#pragma once

#include "playback/FramePath.h"

namespace lumenarc {

// Who draws the frame through the mesh. GL draws the mesh's triangles; on a software rasteriser
// that costs more than sampling the picture through a per-pixel warp map on the processor, which
// then draws one quad. The processor warps pictures in memory, so only on the Cpu frame path.
class WarpPath {
public:
    enum class Kind { Gl, Processor };

    // `forced` is the LUMENARC_WARP setting ("gl" or "processor"); anything else, or nothing,
    // decides by the renderer: the processor on a software rasteriser. On the Gl frame path the
    // pictures never reach memory, so GL draws whatever was asked.
    static Kind choose(FramePath::Kind path, bool softwareRenderer, const char* forced);
    // The line for the log.
    static const char* describe(Kind kind);
};

} // namespace lumenarc
