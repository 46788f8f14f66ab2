#pragma once

#include <cstdint>
#include <optional>

namespace lumenarc {

// The keys of the mesh editor, by physical key whatever the keyboard layout, as KeyMap reads
// the playback keys. Only in edit mode; a key that is none of these goes on to playback.
class EditKeys {
public:
    struct Modifiers {
        bool shift = false;
        bool alt = false;
        bool control = false;
    };
    enum class Action {
        Move,        // dx, dy in view pixels
        MoveTexture, // dx, dy in texture steps
        Brightness,  // dx: steps up or down
        Next,
        Previous,
        GrowRadius,
        ShrinkRadius,
        SelectAll,
        ClearSelection,
        Undo,
        Redo,
    };
    struct Edit {
        Action action;
        int dx = 0;
        int dy = 0;
    };

    static constexpr int kLargeMove = 10; // view pixels per Shift+arrow

    // What a key press does in edit mode, or none.
    static std::optional<Edit> editFor(uint32_t nativeScanCode, Modifiers modifiers);

private:
    enum class Key {
        Left,
        Right,
        Up,
        Down,
        N,
        OpenBracket,
        CloseBracket,
        Minus,
        Equal,
        A,
        Z,
        Escape,
        Other
    };
    static Key keyOf(uint32_t nativeScanCode);
    static std::optional<Edit> arrow(int dx, int dy, Modifiers modifiers);
};

} // namespace lumenarc
