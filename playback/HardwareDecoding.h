#pragma once

#include <string>
#include <string_view>

namespace lumenarc {

// Which hardware decoding libmpv is asked for. Decoded pictures that stay on the graphics card
// only pay off where a hardware GL draws them; a software rasteriser, or pictures converted on
// the processor, would copy every frame back, so they decode in software.
class HardwareDecoding {
public:
    // libmpv's hwdec value: `override` (LUMENARC_HWDEC, any libmpv value) when set and not
    // empty; otherwise "auto-safe" on the GL frame path of a hardware GL, else "no".
    static std::string choose(bool softwareRenderer, bool glFramePath, const char* override);
    // The start-up line that says what was chosen and why.
    static std::string describe(std::string_view hwdec, const char* override);
};

} // namespace lumenarc
