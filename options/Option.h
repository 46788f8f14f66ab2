#pragma once

#include "options/OptionId.h"
#include "options/OptionKind.h"

#include <array>
#include <string_view>

namespace lumenarc {

// How an older preferences file stores a setting, where it differs from "a missing key means
// the default". Only the first settings have such a history; new ones keep None.
enum class StoredQuirk : uint8_t {
    None,
    AbsentIsZero,  // a file without the key gives 0, not the default
    ZeroIsDefault, // a stored 0 (so also a missing key) gives the default
    AbsentIsNone,  // a file without the key gives no value at all, which differs from ""
};

// One setting of the player, declared once: the command line, --help, lumenarc-prefs, the
// preferences' defaults, ranges and file keys, the README and the manual pages follow from it.
struct Option {
    OptionId id;
    OptionKind kind;
    std::string_view flag{}; // command-line spelling without "--"; "" = not on the command line
    std::string_view valueName{};    // the value's name in --help and the manuals ("FILE", "N")
    std::string_view key{};          // preferences key; "" = never saved
    std::string_view defaultValue{}; // as lumenarc-prefs would take it: "NO", "1", "127.0.0.1"
    double min = 0;                  // range of a number (inclusive)
    double max = 0;
    std::string_view help{};    // one sentence for --help
    std::string_view doc{};     // what it does, for the README and the manual pages
    std::string_view flagDoc{}; // what the flag does, where that is not `doc` (a flag that
                                // turns a setting off)
    bool flagTurnsOff = false;  // a switch whose flag sets it to NO (--no-overlay)
    // Command-line rules: given only with one of `needs` (when set), never with `excludes`.
    std::array<OptionId, 2> needs{OptionId::Count, OptionId::Count};
    OptionId excludes = OptionId::Count;
    StoredQuirk quirk = StoredQuirk::None;

    constexpr bool onCommandLine() const { return !flag.empty(); }
    constexpr bool saved() const { return !key.empty(); }
    constexpr bool takesValue() const {
        return kind != OptionKind::Action && kind != OptionKind::Switch;
    }
};

} // namespace lumenarc
