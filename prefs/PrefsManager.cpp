#include "prefs/PrefsManager.h"

#include "options/OptionTable.h"
#include "options/ValueRules.h"

#include <utility>

namespace lumenarc {

PrefsManager::PrefsManager() {
    for (const Option& option : OptionTable::all()) {
        setValue(option.id, ValueRules::defaultOf(option));
    }
}

OptionValue PrefsManager::value(OptionId id) const {
    if (OptionTable::get(id).kind == OptionKind::Switch) {
        return flag(id);
    }
    return m_values[indexOf(id)];
}

void PrefsManager::setValue(OptionId id, OptionValue value) {
    if (const bool* on = std::get_if<bool>(&value);
        on && OptionTable::get(id).kind == OptionKind::Switch) {
        setFlag(id, *on);
        return;
    }
    m_values[indexOf(id)] = std::move(value);
}

// Relaxed order is enough: a switch publishes no other data, and the drawing thread only needs
// to see a change at some later frame.
bool PrefsManager::flag(OptionId id) const {
    return m_flags[indexOf(id)].load(std::memory_order_relaxed);
}

void PrefsManager::setFlag(OptionId id, bool value) {
    m_flags[indexOf(id)].store(value, std::memory_order_relaxed);
}

int32_t PrefsManager::wholeNumber(OptionId id) const {
    const auto* value = std::get_if<int32_t>(&m_values[indexOf(id)]);
    return value ? *value : 0;
}

float PrefsManager::number(OptionId id) const {
    const auto* value = std::get_if<float>(&m_values[indexOf(id)]);
    return value ? *value : 0.0f;
}

const std::optional<std::string>& PrefsManager::text(OptionId id) const {
    static const std::optional<std::string> kNone;
    const auto* value = std::get_if<std::optional<std::string>>(&m_values[indexOf(id)]);
    return value ? *value : kNone;
}

void PrefsManager::setDefaultMapPath(std::optional<std::string> path) {
    setValue(OptionId::DefaultMap, std::move(path));
}

} // namespace lumenarc
