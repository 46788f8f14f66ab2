#pragma once

#include "remote/OscCommand.h"

#include <cstddef>
#include <optional>
#include <string>

namespace lumenarc {

// Reads one datagram as a show-control message (liblo does the OSC decoding). Anything else,
// a bundle, an unknown address, a wrong argument, is refused with the reason. Pure: it looks at
// no file and touches no player.
class OscParser {
public:
    static constexpr size_t kMaxPathLength = 4096;

    static std::optional<OscCommand> parse(const void* data, size_t size, std::string& why);
    // True for the codes of the Projection menu.
    static bool isProjectionCode(int code);
};

} // namespace lumenarc
