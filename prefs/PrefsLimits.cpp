#include "prefs/PrefsLimits.h"

#include "options/ValueRules.h"

namespace lumenarc {
namespace {

const Option& screens() {
    return OptionTable::get(OptionId::HScreens);
}

const Option& volume() {
    return OptionTable::get(OptionId::Volume);
}

} // namespace

bool PrefsLimits::isValidScreenCount(int32_t count) {
    return ValueRules::inRange(screens(), count);
}

bool PrefsLimits::isValidVolume(float volume) {
    return ValueRules::inRange(lumenarc::volume(), volume);
}

int32_t PrefsLimits::clampScreenCount(int32_t count) {
    return std::get<int32_t>(ValueRules::clamp(screens(), count));
}

float PrefsLimits::clampVolume(float volume) {
    return std::get<float>(ValueRules::clamp(lumenarc::volume(), volume));
}

std::vector<std::string> PrefsLimits::clamp(PrefsManager& manager) {
    std::vector<std::string> changes;
    for (const Option& option : OptionTable::all()) {
        const OptionValue value = manager.value(option.id);
        if (!option.saved() || ValueRules::inRange(option, value)) {
            continue;
        }
        const OptionValue clamped = ValueRules::clamp(option, value);
        manager.setValue(option.id, clamped);
        changes.push_back(std::string(option.key) + " " + ValueRules::text(value) + " is outside " +
                          ValueRules::range(option) + ", using " + ValueRules::text(clamped));
    }
    return changes;
}

} // namespace lumenarc
