#include "prefs/PrefsMerge.h"

#include "options/OptionTable.h"
#include "options/ValueRules.h"

namespace lumenarc {
std::unique_ptr<PrefsManager> PrefsMerge::copyOf(const PrefsManager& manager) {
    return merge(manager, manager, manager);
}

std::unique_ptr<PrefsManager> PrefsMerge::merge(const PrefsManager& mine, const PrefsManager& read,
                                                const PrefsManager& now) {
    auto merged = std::make_unique<PrefsManager>();
    for (const Option& option : OptionTable::all()) {
        if (option.saved()) {
            const OptionValue value = mine.value(option.id);
            const bool changed = !ValueRules::same(value, read.value(option.id));
            merged->setValue(option.id, changed ? value : now.value(option.id));
        }
    }
    return merged;
}

} // namespace lumenarc
