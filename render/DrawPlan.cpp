#include "render/DrawPlan.h"

#include <GL/gl.h>

namespace lumenarc {

DrawPlan::Scale DrawPlan::aspectScale(float width, float height) {
    const double ratio = static_cast<double>(width / height);
    if (ratio > 1.0) {
        return {1.0 / ratio, 1.0};
    }
    return {1.0, ratio};
}

void DrawPlan::frameStrips(int32_t x, int32_t y, int32_t xMax, int32_t yMax, int32_t type,
                           std::vector<Strip>& out) {
    out.clear();
    const int32_t split = stereoSplitColumn(xMax);
    const bool stereo = ProjectionType::isStereo(type) && split >= x && split < xMax - 1;
    for (int32_t row = y; row < yMax - 1; ++row) {
        if (stereo) {
            out.push_back({row, x, split});
            out.push_back({row, split + 1, xMax - 1});
        } else {
            out.push_back({row, x, xMax - 1});
        }
    }
}

void DrawPlan::gridStrips(int32_t x, int32_t y, int32_t xMax, int32_t yMax,
                          std::vector<Strip>& out) {
    out.clear();
    for (int32_t row = y; row < yMax - 1; ++row) {
        out.push_back({row, x, xMax - 1});
    }
}

void DrawPlan::lineSegments(int32_t x, int32_t y, int32_t xMax, int32_t yMax,
                            std::vector<Segment>& out) {
    out.clear();
    for (int32_t row = y; row < yMax; ++row) {
        for (int32_t column = x; column < xMax; ++column) {
            if (column < xMax - 1) {
                out.push_back({column, row, column + 1, row});
            }
            if (row < yMax - 1) {
                out.push_back({column, row, column, row + 1});
            }
        }
    }
}

DrawPlan::Wrap DrawPlan::wrapModes(int32_t type) {
    const auto gl = [](WrapMode mode) {
        return mode == WrapMode::Repeat ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    };
    return {gl(ProjectionType::wrapSFor(type)), gl(ProjectionType::wrapTFor(type))};
}

} // namespace lumenarc
