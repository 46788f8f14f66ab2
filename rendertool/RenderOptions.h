#pragma once

#include "rendertool/CodecTable.h"
#include "warp/WarpOptions.h"

#include <optional>
#include <string>

namespace lumenarc {

// Everything one run of the movie tool is asked to do.
struct RenderOptions {
    WarpOptions warp; // the drawing, as lumenarc-warp reads it; 1920x1080 unless --size
    std::string input;
    std::string out;
    std::string container;             // libavformat muxer, from OUT's extension
    const VideoCodec* codec = nullptr; // h264 unless --codec
    int quality = 0;                   // on the codec's own scale
    double start = 0;                  // seconds from the first frame
    std::optional<double> duration;    // seconds; to the end when absent
    bool audio = true;
    bool quiet = false;
};

} // namespace lumenarc
