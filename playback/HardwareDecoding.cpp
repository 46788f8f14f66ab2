#include "playback/HardwareDecoding.h"

namespace lumenarc {

std::string HardwareDecoding::choose(bool softwareRenderer, bool glFramePath,
                                     const char* override) {
    if (override != nullptr && *override != '\0') {
        return override;
    }
    return glFramePath && !softwareRenderer ? "auto-safe" : "no";
}

std::string HardwareDecoding::describe(std::string_view hwdec, const char* override) {
    const bool overridden = override != nullptr && *override != '\0';
    return "Hardware decoding: " + std::string(hwdec) +
           (overridden      ? " (LUMENARC_HWDEC)"
            : hwdec == "no" ? " (software GL or frames converted on the processor)"
                            : " (hardware GL)");
}

} // namespace lumenarc
