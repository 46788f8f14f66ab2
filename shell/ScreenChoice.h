#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lumenarc {

// Which output full screen starts from: the one asked for by its name or by its number in the
// list of outputs (from 0, as `--list-screens` prints them), instead of the primary one.
class ScreenChoice {
public:
    // The output's index; none for an empty wish (the primary output) and for a name or
    // number there is no output for (the caller says so and uses the primary one).
    static std::optional<size_t> pick(const std::vector<std::string>& names,
                                      const std::string& wanted);
};

} // namespace lumenarc
