#pragma once

#include <cstdint>
#include <optional>

namespace lumenarc {

// Gives each decoded frame a usable time stamp: its own where it has one that moves forward,
// and one tick past the previous frame otherwise, so that no frame is dropped by the muxer
// for an unusable time stamp.
class FrameClock {
public:
    int64_t next(std::optional<int64_t> pts, int64_t duration);

private:
    std::optional<int64_t> m_last;
    int64_t m_lastDuration = 1;
};

} // namespace lumenarc
