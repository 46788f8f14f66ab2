#pragma once

#include <string>
#include <vector>

namespace lumenarc {

// Where the sound goes and how late it plays: the devices libmpv can play on, and the delays a
// show may give the sound to meet pictures that a projector shows late.
class AudioOutput {
public:
    struct Device {
        std::string name;        // what libmpv's audio-device takes
        std::string description; // what a person reads
    };

    // The delay range, seconds either way.
    static constexpr double kMaxDelay = 2.0;

    // Empty when `seconds` is a delay in range; otherwise the reason it is refused.
    static std::string checkDelay(double seconds);
    // The devices libmpv sees, asked of a core of its own that opens no file, window or sound;
    // empty, with the reason in *error, when libmpv cannot start. Any thread; needs no display.
    static std::vector<Device> devices(std::string* error);
    // One line per device: its name, then its description.
    static std::string listing(const std::vector<Device>& devices);
};

} // namespace lumenarc
