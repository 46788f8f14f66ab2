#pragma once

#include <cstdint>
#include <vector>

namespace lumenarc {

// One glyph as rendered by the text system: 8-bit samples, interleaved per pixel, row 0 at the
// top. A renderer that could not allocate the pixels hands back the size with no samples.
struct GlyphImage {
    int width = 0;
    int height = 0;
    int bytesPerRow = 0;
    int samplesPerPixel = 1;
    std::vector<uint8_t> samples;
};

} // namespace lumenarc
