#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace lumenarc {

// The value of one option: bool for a switch, int32_t for a whole number or a port, float for a
// number, text for the rest (nullopt is "no value at all", which a stored path can be).
using OptionValue = std::variant<bool, int32_t, float, std::optional<std::string>>;

} // namespace lumenarc
