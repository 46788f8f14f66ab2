#include "sync/MovieIdentity.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace lumenarc {

bool MovieIdentity::sameAs(const MovieIdentity& other) const {
    return name == other.name && width == other.width && height == other.height &&
           std::fabs(duration - other.duration) <= kDurationTolerance;
}

std::string MovieIdentity::describe() const {
    char size[96];
    std::snprintf(size, sizeof size, " (%dx%d, %.3f s)", width, height, duration);
    return "\"" + name + "\"" + size;
}

MovieIdentity MovieIdentity::ofFile(const std::string& path, int width, int height,
                                    double duration) {
    return {std::filesystem::path(path).filename().string(), width, height, duration};
}

} // namespace lumenarc
