#pragma once

#include "options/OptionTable.h"
#include "prefs/PrefsManager.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumenarc {

// The values the player can work with, as the option table declares them. A screen count spans
// the full-screen window over that many main-screen sizes (the preferences sheet's sliders offer
// the same range); beyond it the window is no use, and below 1 it has no area. The volume runs
// from silence to full, as the player plays it.
class PrefsLimits {
public:
    static constexpr int32_t kMinScreens =
        static_cast<int32_t>(OptionTable::get(OptionId::HScreens).min);
    static constexpr int32_t kMaxScreens =
        static_cast<int32_t>(OptionTable::get(OptionId::HScreens).max);
    static constexpr float kMinVolume = static_cast<float>(OptionTable::get(OptionId::Volume).min);
    static constexpr float kMaxVolume = static_cast<float>(OptionTable::get(OptionId::Volume).max);

    static bool isValidScreenCount(int32_t count);
    // Finite and within range.
    static bool isValidVolume(float volume);

    static int32_t clampScreenCount(int32_t count);
    // NaN plays as silence, so it becomes 0.
    static float clampVolume(float volume);

    // Brings every saved setting into its declared range. One phrase per changed setting, such
    // as "hscreens -3 is outside 1..16, using 1"; none when all were in range.
    static std::vector<std::string> clamp(PrefsManager& manager);
};

} // namespace lumenarc
