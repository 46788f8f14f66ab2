#include "input/EditKeys.h"

namespace lumenarc {

EditKeys::Key EditKeys::keyOf(uint32_t scanCode) {
#if defined(__APPLE__)
    switch (scanCode) {
    case 123:
        return Key::Left;
    case 124:
        return Key::Right;
    case 126:
        return Key::Up;
    case 125:
        return Key::Down;
    case 45:
        return Key::N;
    case 33:
        return Key::OpenBracket;
    case 30:
        return Key::CloseBracket;
    case 27:
    case 78: // keypad
        return Key::Minus;
    case 24:
    case 69: // keypad plus
        return Key::Equal;
    case 0:
        return Key::A;
    case 6:
        return Key::Z;
    case 53:
        return Key::Escape;
    default:
        return Key::Other;
    }
#else
    switch (scanCode) { // X11 key codes: evdev + 8
    case 113:
        return Key::Left;
    case 114:
        return Key::Right;
    case 111:
        return Key::Up;
    case 116:
        return Key::Down;
    case 57:
        return Key::N;
    case 34:
        return Key::OpenBracket;
    case 35:
        return Key::CloseBracket;
    case 20:
    case 82: // keypad
        return Key::Minus;
    case 21:
    case 86: // keypad plus
        return Key::Equal;
    case 38:
        return Key::A;
    case 52:
        return Key::Z;
    case 9:
        return Key::Escape;
    default:
        return Key::Other;
    }
#endif
}

std::optional<EditKeys::Edit> EditKeys::arrow(int dx, int dy, Modifiers modifiers) {
    if (modifiers.control) {
        return std::nullopt; // Ctrl+arrows keep jumping through the movie
    }
    if (modifiers.alt) {
        return Edit{Action::MoveTexture, dx, dy};
    }
    const int step = modifiers.shift ? kLargeMove : 1;
    return Edit{Action::Move, dx * step, dy * step};
}

std::optional<EditKeys::Edit> EditKeys::editFor(uint32_t scanCode, Modifiers modifiers) {
    const bool plain = !modifiers.control && !modifiers.alt;
    switch (keyOf(scanCode)) {
    case Key::Left:
        return arrow(-1, 0, modifiers);
    case Key::Right:
        return arrow(1, 0, modifiers);
    case Key::Up:
        return arrow(0, 1, modifiers);
    case Key::Down:
        return arrow(0, -1, modifiers);
    case Key::N:
        if (plain) {
            return Edit{modifiers.shift ? Action::Previous : Action::Next};
        }
        break;
    case Key::OpenBracket:
        if (plain) {
            return Edit{Action::ShrinkRadius};
        }
        break;
    case Key::CloseBracket:
        if (plain) {
            return Edit{Action::GrowRadius};
        }
        break;
    case Key::Minus:
        if (plain) {
            return Edit{Action::Brightness, -1};
        }
        break;
    case Key::Equal:
        if (plain) {
            return Edit{Action::Brightness, 1};
        }
        break;
    case Key::A:
        if (modifiers.control && !modifiers.alt && !modifiers.shift) {
            return Edit{Action::SelectAll};
        }
        break;
    case Key::Z:
        if (modifiers.control && !modifiers.alt) {
            return Edit{modifiers.shift ? Action::Redo : Action::Undo};
        }
        break;
    case Key::Escape:
        if (plain && !modifiers.shift) {
            return Edit{Action::ClearSelection};
        }
        break;
    case Key::Other:
        break;
    }
    return std::nullopt;
}

} // namespace lumenarc
