#include "playback/FramePath.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

namespace lumenarc {

bool FramePath::isSoftwareRenderer(std::string_view renderer) {
    static constexpr std::array<std::string_view, 5> kSoftware{
        "llvmpipe", "softpipe", "Software Rasterizer", "SWR", "swrast"};
    return std::any_of(kSoftware.begin(), kSoftware.end(), [&](std::string_view name) {
        return renderer.find(name) != std::string_view::npos;
    });
}

FramePath::Kind FramePath::choose(std::string_view renderer, const char* forced) {
    const std::string_view setting = forced != nullptr ? forced : "";
    if (setting == "gl") {
        return Kind::Gl;
    }
    if (setting == "cpu") {
        return Kind::Cpu;
    }
    return isSoftwareRenderer(renderer) ? Kind::Cpu : Kind::Gl;
}

FramePath::Size FramePath::conversionSize(Kind kind, float naturalWidth, float naturalHeight,
                                          int targetWidth, int targetHeight) {
    const bool valid = std::isfinite(naturalWidth) && std::isfinite(naturalHeight) &&
                       naturalWidth >= 1.0f && naturalHeight >= 1.0f && naturalWidth <= kMaxSide &&
                       naturalHeight <= kMaxSide;
    if (!valid) {
        return {};
    }
    const Size natural{static_cast<int>(naturalWidth), static_cast<int>(naturalHeight)};
    const int target = std::max(targetWidth, targetHeight);
    if (kind == Kind::Gl || target <= 1) {
        return natural;
    }
    const auto bound =
        static_cast<int>(std::bit_ceil(static_cast<uint32_t>(std::min(target, kMaxSide))));
    const int longest = std::max(natural.width, natural.height);
    if (longest <= bound) {
        return natural;
    }
    const double scale = static_cast<double>(bound) / longest;
    return {std::max(1, static_cast<int>(std::lround(natural.width * scale))),
            std::max(1, static_cast<int>(std::lround(natural.height * scale)))};
}

size_t FramePath::rowBytes(int width) {
    const size_t bytes = static_cast<size_t>(std::max(width, 0)) * 4;
    return (bytes + 63) / 64 * 64;
}

} // namespace lumenarc
