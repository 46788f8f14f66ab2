#include "meshmake/DomeMeshMaker.h"

#include "meshmake/DomeMaster.h"
#include "meshmake/EdgeFeather.h"

#include <algorithm>
#include <cmath>

namespace lumenarc::meshmake {
namespace {
// The step of the finite differences, in the player's unit: far below a node spacing, far
// above the rounding of positions in metres.
constexpr double kStep = 1e-5;
} // namespace

DomeMeshMaker::DomeMeshMaker(const Settings& settings)
    : m_settings(settings), m_projector(settings.projector),
      m_room(settings.domeRadius, settings.mirror) {}

double DomeMeshMaker::nodeX(int32_t column) const {
    const double a = m_settings.projector.aspect;
    return -a + 2.0 * a * column / (m_settings.columns - 1);
}

double DomeMeshMaker::nodeY(int32_t row) const {
    return -1.0 + 2.0 * row / (m_settings.rows - 1);
}

std::optional<Vec3> DomeMeshMaker::domePoint(double x, double y) const {
    const auto ray = m_projector.ray(x, y);
    if (!ray) {
        return std::nullopt;
    }
    return m_room.landing(m_projector.position(), *ray);
}

// The change of the dome point per unit of picture along (dx, dy): a central difference, or a
// one-sided one where one side gets no light.
std::optional<Vec3> DomeMeshMaker::slope(double x, double y, double dx, double dy) const {
    const auto ahead = domePoint(x + dx * kStep, y + dy * kStep);
    const auto behind = domePoint(x - dx * kStep, y - dy * kStep);
    if (ahead && behind) {
        return (*ahead - *behind) * (0.5 / kStep);
    }
    const auto here = domePoint(x, y);
    if (!here || (!ahead && !behind)) {
        return std::nullopt;
    }
    return ahead ? (*ahead - *here) * (1.0 / kStep) : (*here - *behind) * (1.0 / kStep);
}

// The slope along (dx, dy), measured beside the point when neither side of it gets light: on
// the rim of a fisheye's circle, both neighbours along the rim are outside it.
std::optional<Vec3> DomeMeshMaker::slopeNear(double x, double y, double dx, double dy) const {
    if (const auto here = slope(x, y, dx, dy)) {
        return here;
    }
    for (const double side : {-2.0 * kStep, 2.0 * kStep}) {
        if (const auto beside = slope(x + dy * side, y + dx * side, dx, dy)) {
            return beside;
        }
    }
    return std::nullopt;
}

std::optional<double> DomeMeshMaker::magnification(double x, double y) const {
    const auto alongX = slopeNear(x, y, 1, 0);
    const auto alongY = slopeNear(x, y, 0, 1);
    if (!alongX || !alongY) {
        return std::nullopt;
    }
    return alongX->cross(*alongY).length();
}

MeshGrid DomeMeshMaker::make() const {
    const DomeMaster master(m_settings.apertureDegrees, m_settings.tiltDegrees);
    MeshGrid grid(kFisheyeType, m_settings.columns, m_settings.rows);
    std::vector<bool> lit(grid.nodes().size(), false);
    for (int32_t row = 0; row < grid.height(); ++row) {
        for (int32_t column = 0; column < grid.width(); ++column) {
            auto& node = grid.at(column, row);
            node = MeshVertex{nodeX(column), nodeY(row), 0, 0, 0};
            const auto point = domePoint(node.x, node.y);
            const auto onMaster = point ? master.map(*point) : std::nullopt;
            if (onMaster) {
                node.u = onMaster->u;
                node.v = onMaster->v;
                node.i = 1;
                lit[static_cast<size_t>(row) * grid.width() + column] = true;
            }
        }
    }
    applyLightShares(grid, lit);
    return grid;
}

// The feather and the even light, both shares of light, turned into node brightness.
void DomeMeshMaker::applyLightShares(MeshGrid& grid, const std::vector<bool>& lit) const {
    if (m_settings.feather <= 0 && !m_settings.evenLight) {
        return;
    }
    std::vector<double> light(lit.size(), 1.0);
    if (m_settings.feather > 0) {
        const double dx = 2.0 * m_settings.projector.aspect / (m_settings.columns - 1);
        const double dy = 2.0 / (m_settings.rows - 1);
        const auto distance =
            EdgeFeather::distanceToUnlit(lit, grid.width(), grid.height(), dx, dy);
        for (size_t k = 0; k < light.size(); ++k) {
            light[k] *= EdgeFeather::share(distance[k], m_settings.feather);
        }
    }
    if (m_settings.evenLight) {
        std::vector<double> spread(lit.size(), 0.0);
        for (size_t k = 0; k < lit.size(); ++k) {
            if (lit[k]) {
                const auto& node = grid.nodes()[k];
                spread[k] = magnification(node.x, node.y).value_or(0.0);
            }
        }
        // Light per dome area goes as 1 / spread; the most spread node keeps all of its light.
        // A lit node whose spread cannot be measured (light on no side of it) is left as it is.
        const double most = *std::max_element(spread.begin(), spread.end());
        for (size_t k = 0; k < lit.size(); ++k) {
            if (most > 0 && spread[k] > 0) {
                light[k] *= spread[k] / most;
            }
        }
    }
    for (size_t k = 0; k < lit.size(); ++k) {
        if (lit[k]) {
            auto& node = grid.at(static_cast<int32_t>(k % grid.width()),
                                 static_cast<int32_t>(k / grid.width()));
            node.i = std::pow(light[k], 1.0 / m_settings.gamma);
        }
    }
}

} // namespace lumenarc::meshmake
