#pragma once

#include "options/OptionId.h"
#include "options/OptionValue.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace lumenarc {

// The user settings of one run: every row of the option table that has a preferences key,
// each starting at its declared default. The application keeps exactly one; everyone changes it
// through these accessors, and only PrefsStore reads or writes the file. No setter checks a
// range (see PrefsLimits).
class PrefsManager {
public:
    PrefsManager();
    PrefsManager(const PrefsManager&) = delete;
    PrefsManager& operator=(const PrefsManager&) = delete;

    // Any setting by its row; a value must be of the row's kind (see OptionValue).
    OptionValue value(OptionId id) const;
    void setValue(OptionId id, OptionValue value);

    // Switches may be read from any thread: the drawing thread reads one at every frame
    // without a lock, hence atomic. Every other setting belongs to the main thread.
    bool flag(OptionId id) const;
    void setFlag(OptionId id, bool value);
    int32_t wholeNumber(OptionId id) const;
    float number(OptionId id) const;
    // nullopt means no value at all (a file without the key), which differs from "".
    const std::optional<std::string>& text(OptionId id) const;

    bool loopByDefault() const { return flag(OptionId::LoopByDefault); }
    void setLoopByDefault(bool value) { setFlag(OptionId::LoopByDefault, value); }

    bool quitWhenMovieFinishes() const { return flag(OptionId::QuitWhenMovieFinishes); }
    void setQuitWhenMovieFinishes(bool value) { setFlag(OptionId::QuitWhenMovieFinishes, value); }

    bool startupInFullScreen() const { return flag(OptionId::StartupInFullScreen); }
    void setStartupInFullScreen(bool value) { setFlag(OptionId::StartupInFullScreen, value); }

    float volume() const { return number(OptionId::Volume); }
    void setVolume(float value) { setValue(OptionId::Volume, value); }

    const std::optional<std::string>& defaultMapPath() const { return text(OptionId::DefaultMap); }
    void setDefaultMapPath(std::optional<std::string> path);

    int32_t hscreens() const { return wholeNumber(OptionId::HScreens); }
    void setHScreens(int32_t value) { setValue(OptionId::HScreens, value); }

    int32_t vscreens() const { return wholeNumber(OptionId::VScreens); }
    void setVScreens(int32_t value) { setValue(OptionId::VScreens, value); }

    bool hideMouse() const { return flag(OptionId::HideMouse); }
    void setHideMouse(bool value) { setFlag(OptionId::HideMouse, value); }

private:
    std::array<std::atomic<bool>, kOptionCount> m_flags{};
    std::array<OptionValue, kOptionCount> m_values;
};

} // namespace lumenarc
