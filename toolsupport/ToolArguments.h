#pragma once

#include <optional>
#include <string_view>
#include <utility>

namespace lumenarc::tools {

// Argument values shared by the command-line companions.
class ToolArguments {
public:
    // A whole argument as a 32-bit float (C locale), or nothing.
    static std::optional<float> parseFloat(std::string_view text);
    // A whole argument as a finite double (C locale), or nothing.
    static std::optional<double> parseDouble(std::string_view text);
    // "DU,DV" as two 32-bit floats.
    static std::optional<std::pair<float, float>> parseOffset(std::string_view text);
    // A whole argument as a 32-bit integer.
    static std::optional<int> parseInt(std::string_view text);
    // "WxH" with both sides from 1 to maxSide.
    static std::optional<std::pair<int, int>> parseSize(std::string_view text, int maxSide);
};

} // namespace lumenarc::tools
