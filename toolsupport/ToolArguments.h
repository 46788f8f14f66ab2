#pragma once

#include <optional>
#include <string_view>
#include <utility>

namespace lumenarc::tools {

// Argument values shared by the command-line companions.
class ToolArguments {
public:
    // The largest turn (radians) and pan (picture sizes) the tools take, either way: far
    // beyond any use (a turn repeats every 2 pi), and small enough that a 32-bit float keeps
    // a fine step (under 1e-5).
    static constexpr float kMaxRotation = 100;
    static constexpr float kMaxOffset = 100;

    // A whole argument as a finite 32-bit float (C locale), or nothing.
    static std::optional<float> parseFloat(std::string_view text);
    // A whole argument as a finite double (C locale), or nothing.
    static std::optional<double> parseDouble(std::string_view text);
    // A turn in radians, within +-kMaxRotation.
    static std::optional<float> parseRotation(std::string_view text);
    // "DU,DV" as two 32-bit floats, each within +-kMaxOffset.
    static std::optional<std::pair<float, float>> parseOffset(std::string_view text);
    // What --rotate and --offset say when refused.
    static const char* rotationError();
    static const char* offsetError();
    // "WxH" with both sides from 1 to maxSide.
    static std::optional<std::pair<int, int>> parseSize(std::string_view text, int maxSide);
};

} // namespace lumenarc::tools
