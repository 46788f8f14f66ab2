#pragma once

#include <cstdint>

namespace lumenarc {

// A movie time: a count of units, the units per second, and flags.
struct MovieTime {
    int64_t value = 0;
    int32_t scale = 1;
    int32_t flags = 0;
    bool operator==(const MovieTime&) const = default;
    // In seconds; 0 for a time without units.
    double seconds() const { return scale > 0 ? static_cast<double>(value) / scale : 0.0; }
};

} // namespace lumenarc
