#include "resources/MeshWriter.h"

#include <cstdio>
#include <memory>

namespace lumenarc::resources {

bool writeMesh(const std::string& path, int32_t type, int32_t width, int32_t height,
               const NodeFunction& node) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "w"), &std::fclose);
    if (!file) {
        return false;
    }
    std::fprintf(file.get(), "%d\n%d %d\n", type, width, height);
    for (int32_t row = 0; row < height; ++row) {
        for (int32_t column = 0; column < width; ++column) {
            const double s = width > 1 ? static_cast<double>(column) / (width - 1) : 0.5;
            const double t = height > 1 ? static_cast<double>(row) / (height - 1) : 0.5;
            const MeshVertex n = node(column, row, s, t);
            std::fprintf(file.get(), "%.9g %.9g %.9g %.9g %.9g\n", n.x, n.y, n.u, n.v, n.i);
        }
    }
    return std::ferror(file.get()) == 0;
}

} // namespace lumenarc::resources
