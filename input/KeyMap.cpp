#include "input/KeyMap.h"

namespace lumenarc {

PhysicalKey KeyMap::fromNativeScanCode(uint32_t scanCode) {
#if defined(__APPLE__)
    switch (scanCode) {
    case 36:
        return PhysicalKey::Return;
    case 43:
        return PhysicalKey::Comma;
    case 47:
        return PhysicalKey::Period;
    case 48:
        return PhysicalKey::Tab;
    case 49:
        return PhysicalKey::Space;
    case 123:
        return PhysicalKey::LeftArrow;
    case 124:
        return PhysicalKey::RightArrow;
    default:
        return PhysicalKey::Other;
    }
#else
    switch (scanCode) {
    case 36:
        return PhysicalKey::Return; // KEY_ENTER + 8
    case 104:
        return PhysicalKey::Return; // keypad Enter
    case 59:
        return PhysicalKey::Comma;
    case 60:
        return PhysicalKey::Period;
    case 23:
        return PhysicalKey::Tab;
    case 65:
        return PhysicalKey::Space;
    case 113:
        return PhysicalKey::LeftArrow;
    case 114:
        return PhysicalKey::RightArrow;
    default:
        return PhysicalKey::Other;
    }
#endif
}

std::optional<Command> KeyMap::commandFor(PhysicalKey key) {
    using Verb = Command::Verb;
    switch (key) {
    case PhysicalKey::Return:
        return Command::of(Verb::Resume);
    case PhysicalKey::Comma:
        return Command::of(Verb::Faster);
    case PhysicalKey::Period:
        return Command::of(Verb::Slower);
    case PhysicalKey::Tab:
        return Command::flip(Verb::Readout);
    case PhysicalKey::Space:
        return Command::of(Verb::Toggle);
    case PhysicalKey::LeftArrow:
        return Command::of(Verb::StepBackward);
    case PhysicalKey::RightArrow:
        return Command::of(Verb::StepForward);
    case PhysicalKey::Other:
        break;
    }
    return std::nullopt;
}

} // namespace lumenarc
