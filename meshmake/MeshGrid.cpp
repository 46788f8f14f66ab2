#include "meshmake/MeshGrid.h"

#include <algorithm>

namespace lumenarc::meshmake {

MeshGrid::MeshGrid(int32_t type, int32_t width, int32_t height)
    : m_type(type), m_width(width), m_height(height),
      m_nodes(static_cast<size_t>(width) * static_cast<size_t>(height), MeshVertex{0, 0, 0, 0, 0}) {
}

double MeshGrid::litShare() const {
    if (m_nodes.empty()) {
        return 0.0;
    }
    const auto lit =
        std::count_if(m_nodes.begin(), m_nodes.end(), [](const MeshVertex& n) { return n.i > 0; });
    return static_cast<double>(lit) / static_cast<double>(m_nodes.size());
}

bool MeshGrid::write(std::FILE* file) const {
    std::fprintf(file, "%d\n%d %d\n", m_type, m_width, m_height);
    for (const auto& n : m_nodes) {
        std::fprintf(file, "%.10f %.10f %.10f %.10f %.10f\n", n.x, n.y, n.u, n.v, n.i);
    }
    return std::ferror(file) == 0;
}

} // namespace lumenarc::meshmake
