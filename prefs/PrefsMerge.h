#pragma once

#include "prefs/PrefsManager.h"

#include <memory>

namespace lumenarc {

// Settings of one run against a file that another program (the preferences tool, a second
// player) may have changed while it ran: only what this run changed itself replaces the file's
// values.
class PrefsMerge {
public:
    // A manager holding the same settings.
    static std::unique_ptr<PrefsManager> copyOf(const PrefsManager& manager);

    // Each setting from `mine` where it differs from `read` (what this run loaded), else as
    // `now` (the file as it is when saving) holds it. When the file is unchanged, that is
    // `mine` itself.
    static std::unique_ptr<PrefsManager> merge(const PrefsManager& mine, const PrefsManager& read,
                                               const PrefsManager& now);
};

} // namespace lumenarc
