#pragma once

#include "prefs/DamagedCopy.h"
#include "prefs/PrefsManager.h"

#include <memory>
#include <string>

namespace lumenarc {

// The preferences file: where it lives, loading it at start-up and saving it at termination.
// Each failure is reported as one line on standard error and never stops the application, and
// no file is ever lost: a save replaces only what a load could read or a missing file.
class PrefsStore {
public:
    static constexpr const char* kFileName = "Lumenarc.prefs";
    static constexpr const char* kDamagedSuffix = DamagedCopy::kSuffix;

    // $XDG_CONFIG_HOME/Lumenarc/Lumenarc.prefs, or ~/.config/Lumenarc/Lumenarc.prefs
    // (~/Library/Preferences/Lumenarc/Lumenarc.prefs on macOS). Creates the folder, with any
    // missing parents, at every call; whether that works is found out when saving.
    static std::string getPrefsPath();

    // The stored manager, or a new one with the defaults. No file passes silently. A damaged
    // file, or an archive without a "prefs" entry, is reported and moved aside under a name no
    // other file has (see DamagedCopy); behind a link, that is the file the link leads to.
    // Settings out of range (see PrefsLimits) are brought into it, with one line saying so.
    // A file that cannot be read (no permission, not a regular file, a link loop) is reported
    // and kept: until a later load of the same path reads it, no save replaces it. So is a
    // damaged file that could not be moved aside.
    static std::unique_ptr<PrefsManager> loadPrefs(const std::string& path);

    // Replaces the file atomically: the old file stays as it was unless the new one is
    // complete and on disk. Writes through links to the regular file they lead to, or creates
    // the missing file they lead to; refuses a path that leads to anything else, or that the
    // last load had to keep. Removes the temp files of earlier saves that were killed.
    // Another program may have changed the file since the last load or save of this path:
    // only the settings that differ from what that load read (or that save wrote) are
    // written, and the others keep the values the file holds now.
    // False, with one line saying why, when nothing was written.
    static bool savePrefs(const PrefsManager& manager, const std::string& path);
};

} // namespace lumenarc
