#include "shell/ScreenChoice.h"

#include "base/IntegerText.h"

#include <algorithm>

namespace lumenarc {

std::optional<size_t> ScreenChoice::pick(const std::vector<std::string>& names,
                                         const std::string& wanted) {
    if (wanted.empty()) {
        return std::nullopt;
    }
    // A name first: an output may well be called "1".
    const auto named = std::find(names.begin(), names.end(), wanted);
    if (named != names.end()) {
        return static_cast<size_t>(named - names.begin());
    }
    const auto number = IntegerText::whole(wanted);
    if (number && *number >= 0 && static_cast<size_t>(*number) < names.size()) {
        return static_cast<size_t>(*number);
    }
    return std::nullopt;
}

} // namespace lumenarc
