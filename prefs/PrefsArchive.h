#pragma once

#include "prefs/PrefsManager.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lumenarc {

// The preferences file format: a keyed archive (NSKeyedArchiver layout) whose root dictionary
// holds the manager under "prefs". Written as a binary property list; read from binary or XML.
class PrefsArchive {
public:
    enum class Format { Binary, Xml };

    enum class Outcome {
        Manager,      // the archive held a manager
        NoPrefsEntry, // a sound archive whose root has no "prefs": it holds no manager
        Damaged,      // unreadable, not a keyed archive, or "prefs" is no sound manager
    };

    struct Decoded {
        Outcome outcome = Outcome::Damaged;
        std::unique_ptr<PrefsManager> manager; // set only with Outcome::Manager
        std::string problem;                   // set only with Outcome::Damaged
    };

    // Input larger than this is damaged: a preferences archive is a few hundred bytes.
    static constexpr std::size_t kMaxBytes = std::size_t{1} << 20;

    // The archive bytes, or nothing when the property list library fails.
    static std::optional<std::string> encode(const PrefsManager& manager,
                                             Format format = Format::Binary);

    static Decoded decode(std::string_view bytes);
};

} // namespace lumenarc
