#pragma once

#include <cstdint>

namespace lumenarc {

// What an option's value is, which decides how every front end reads, checks, stores and
// shows it.
enum class OptionKind : uint8_t {
    Action,      // command line only, no value: does something instead of running (--help)
    Switch,      // on or off: a bare flag on the command line, YES or NO as a preference
    WholeNumber, // a 32-bit integer within [min, max]
    Number,      // a finite float within [min, max]
    Port,        // a UDP port, 1 to 65535
    File,        // a path; the command line refuses an empty one
    Text,        // any text, such as a device's name
    Address,     // a numeric IPv4 or IPv6 address
    HostPort,    // HOST:PORT, or [v6-address]:PORT
};

} // namespace lumenarc
