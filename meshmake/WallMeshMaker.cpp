#include "meshmake/WallMeshMaker.h"

#include "meshmake/BlendRamp.h"
#include "meshmake/WallAxis.h"

#include <algorithm>
#include <cmath>

namespace lumenarc::meshmake {

int WallMeshMaker::rampSteps() const {
    return BlendRamp::stepsFor(m_settings.gamma);
}

MeshGrid WallMeshMaker::make() const {
    // The view is `across` pictures wide and `down` high; one unit is half its smaller side.
    const double width = m_settings.across * m_settings.aspect;
    const double height = m_settings.down;
    const double unit = 0.5 * std::min(width, height);
    const int steps = rampSteps();
    const auto xs = WallAxis::nodes(
        {m_settings.across, m_settings.overlap, m_settings.columns, steps, 0.5 * width / unit});
    const auto ys = WallAxis::nodes(
        {m_settings.down, m_settings.overlap, m_settings.rows, steps, 0.5 * height / unit});
    MeshGrid grid(kPlanarType, static_cast<int32_t>(xs.size()), static_cast<int32_t>(ys.size()));
    for (int32_t row = 0; row < grid.height(); ++row) {
        for (int32_t column = 0; column < grid.width(); ++column) {
            const auto& x = xs[static_cast<size_t>(column)];
            const auto& y = ys[static_cast<size_t>(row)];
            grid.at(column, row) =
                MeshVertex{x.position, y.position, x.movie, y.movie,
                           BlendRamp::brightness(x.share * y.share, m_settings.gamma)};
        }
    }
    return grid;
}

} // namespace lumenarc::meshmake
