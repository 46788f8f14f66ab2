#pragma once

#include "input/Command.h"

#include <cstdint>
#include <optional>

namespace lumenarc {

// The keys playback answers to, by physical key whatever the keyboard layout and modifiers.
enum class PhysicalKey { Return, Comma, Period, Tab, Space, LeftArrow, RightArrow, Other };

class KeyMap {
public:
    // The platform's native scan code of a key event: X11 key codes (evdev + 8) on Linux,
    // virtual key codes on macOS.
    static PhysicalKey fromNativeScanCode(uint32_t scanCode);
    // The command a key gives, or none: an unknown key is ignored without a sound.
    static std::optional<Command> commandFor(PhysicalKey key);
};

} // namespace lumenarc
