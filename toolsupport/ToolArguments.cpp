#include "toolsupport/ToolArguments.h"

#include "base/CLocale.h"
#include "base/IntegerText.h"

#include <cmath>
#include <string>

namespace lumenarc::tools {
std::optional<float> ToolArguments::parseFloat(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const std::string copy(text);
    char* end = nullptr;
    const float value = strtof_l(copy.c_str(), &end, CLocale::get());
    // Beyond a float's range strtof gives infinity.
    if (end != copy.c_str() + copy.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<float> ToolArguments::parseRotation(std::string_view text) {
    const auto value = parseFloat(text);
    if (!value || std::fabs(*value) > kMaxRotation) {
        return std::nullopt;
    }
    return value;
}

const char* ToolArguments::rotationError() {
    return "--rotate takes a number of radians from -100 to 100";
}

const char* ToolArguments::offsetError() {
    return "--offset takes two numbers DU,DV, each from -100 to 100";
}

std::optional<double> ToolArguments::parseDouble(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const std::string copy(text);
    char* end = nullptr;
    const double value = strtod_l(copy.c_str(), &end, CLocale::get());
    if (end != copy.c_str() + copy.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::pair<float, float>> ToolArguments::parseOffset(std::string_view text) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos) {
        return std::nullopt;
    }
    const auto u = parseFloat(text.substr(0, comma));
    const auto v = parseFloat(text.substr(comma + 1));
    if (!u || !v || std::fabs(*u) > kMaxOffset || std::fabs(*v) > kMaxOffset) {
        return std::nullopt;
    }
    return std::pair{*u, *v};
}

std::optional<std::pair<int, int>> ToolArguments::parseSize(std::string_view text, int maxSide) {
    const auto x = text.find('x');
    if (x == std::string_view::npos) {
        return std::nullopt;
    }
    const auto width = IntegerText::whole(text.substr(0, x));
    const auto height = IntegerText::whole(text.substr(x + 1));
    if (!width || !height || *width < 1 || *height < 1 || *width > maxSide || *height > maxSide) {
        return std::nullopt;
    }
    return std::pair{*width, *height};
}

} // namespace lumenarc::tools
