#include "prefs/PrefsLimits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lumenarc {
namespace {

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

std::string correction(const char* key, const std::string& from, const std::string& range,
                       const std::string& to) {
    return std::string(key) + " " + from + " is outside " + range + ", using " + to;
}

void clampCount(const char* key, int32_t count, void (PrefsManager::*set)(int32_t),
                PrefsManager& manager, std::vector<std::string>& changes) {
    if (PrefsLimits::isValidScreenCount(count)) {
        return;
    }
    const int32_t clamped = PrefsLimits::clampScreenCount(count);
    (manager.*set)(clamped);
    changes.push_back(correction(key, std::to_string(count),
                                 std::to_string(PrefsLimits::kMinScreens) + ".." +
                                     std::to_string(PrefsLimits::kMaxScreens),
                                 std::to_string(clamped)));
}

} // namespace

bool PrefsLimits::isValidScreenCount(int32_t count) {
    return count >= kMinScreens && count <= kMaxScreens;
}

bool PrefsLimits::isValidVolume(float volume) {
    return std::isfinite(volume) && volume >= kMinVolume && volume <= kMaxVolume;
}

int32_t PrefsLimits::clampScreenCount(int32_t count) {
    return std::clamp(count, kMinScreens, kMaxScreens);
}

float PrefsLimits::clampVolume(float volume) {
    return std::isnan(volume) ? kMinVolume : std::clamp(volume, kMinVolume, kMaxVolume);
}

std::vector<std::string> PrefsLimits::clamp(PrefsManager& manager) {
    std::vector<std::string> changes;
    const float volume = manager.volume();
    if (!isValidVolume(volume)) {
        manager.setVolume(clampVolume(volume));
        changes.push_back(correction("Volume", number(volume),
                                     number(kMinVolume) + ".." + number(kMaxVolume),
                                     number(manager.volume())));
    }
    clampCount("hscreens", manager.hscreens(), &PrefsManager::setHScreens, manager, changes);
    clampCount("vscreens", manager.vscreens(), &PrefsManager::setVScreens, manager, changes);
    return changes;
}

} // namespace lumenarc
