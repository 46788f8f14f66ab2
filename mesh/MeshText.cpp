#include "mesh/MeshText.h"

#include <array>
#include <charconv>
#include <cmath>

namespace lumenarc {

bool MeshText::appendNumber(std::string& out, double value) {
    if (std::isnan(value)) {
        return false;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-1e999" : "1e999";
        return true;
    }
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    for (const char* p = buffer.data(); p != result.ptr; ++p) {
        if (*p != '+') {
            out += *p;
        }
    }
    return true;
}

bool MeshText::write(int32_t type, int32_t width, int32_t height, std::span<const MeshVertex> nodes,
                     std::string& out, std::string& why) {
    std::string text =
        std::to_string(type) + "\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    // About 20 bytes a number at most; reserved once so that large meshes do not regrow.
    text.reserve(text.size() + nodes.size() * 5 * 20);
    for (size_t k = 0; k < nodes.size(); ++k) {
        const MeshVertex& n = nodes[k];
        const std::array<double, 5> values{n.x, n.y, n.u, n.v, n.i};
        for (size_t f = 0; f < values.size(); ++f) {
            if (!appendNumber(text, values[f])) {
                why = "node " + std::to_string(k) + " holds a value that is not a number";
                return false;
            }
            text += f + 1 < values.size() ? ' ' : '\n';
        }
    }
    out += text;
    return true;
}

} // namespace lumenarc
