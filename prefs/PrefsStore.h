#pragma once

#include "prefs/PrefsManager.h"

#include <memory>
#include <string>

namespace lumenarc {

// The preferences file: where it lives, loading it at start-up and saving it at termination.
// Each failure is reported as one line on standard error and never stops the application.
class PrefsStore {
public:
    static constexpr const char* kFileName = "Lumenarc.prefs";
    static constexpr const char* kDamagedSuffix = ".damaged";

    // $XDG_CONFIG_HOME/Lumenarc/Lumenarc.prefs, or ~/.config/Lumenarc/Lumenarc.prefs
    // (~/Library/Preferences/Lumenarc/Lumenarc.prefs on macOS). Creates the folder, with any
    // missing parents, at every call; whether that works is found out when saving.
    static std::string getPrefsPath();

    // The stored manager, or a new one with the defaults. No file, or an archive without a
    // "prefs" entry, passes silently. A damaged file is moved aside to "<path>.damaged" (or
    // "<path>.damaged.N" when earlier ones exist) and reported; an unreadable one is reported.
    static std::unique_ptr<PrefsManager> loadPrefs(const std::string& path);

    // Replaces the file atomically: the old file stays as it was unless the new one is
    // complete and on disk. False, with the failure reported, when nothing was written.
    static bool savePrefs(const PrefsManager& manager, const std::string& path);
};

} // namespace lumenarc
