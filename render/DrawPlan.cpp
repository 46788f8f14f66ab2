#include "render/DrawPlan.h"

#include <GL/gl.h>
#include <algorithm>

namespace lumenarc {

DrawPlan::Scale DrawPlan::aspectScale(float width, float height) {
    const double ratio = static_cast<double>(width / height);
    if (ratio > 1.0) {
        return {1.0 / ratio, 1.0};
    }
    return {1.0, ratio};
}

DrawPlan::Range DrawPlan::clampToMesh(Range range, int32_t width, int32_t height) {
    const Range clamped{std::max(range.x, 0), std::max(range.y, 0), std::min(range.xMax, width),
                        std::min(range.yMax, height)};
    if (clamped.xMax <= clamped.x || clamped.yMax <= clamped.y) {
        return {0, 0, 0, 0};
    }
    return clamped;
}

void DrawPlan::frameStrips(int32_t x, int32_t y, int32_t xMax, int32_t yMax, int32_t type,
                           std::vector<Strip>& out) {
    out.clear();
    const int64_t lastColumn = int64_t{xMax} - 1;
    const int64_t lastRow = int64_t{yMax} - 1;
    if (lastColumn < x) {
        return;
    }
    const int32_t split = stereoSplitColumn(xMax);
    const bool stereo = ProjectionType::isStereo(type) && split >= x && split < lastColumn;
    const auto last = static_cast<int32_t>(lastColumn);
    for (int64_t r = y; r < lastRow; ++r) {
        const auto row = static_cast<int32_t>(r);
        if (stereo) {
            out.push_back({row, x, split});
            out.push_back({row, split + 1, last});
        } else {
            out.push_back({row, x, last});
        }
    }
}

void DrawPlan::gridStrips(int32_t x, int32_t y, int32_t xMax, int32_t yMax,
                          std::vector<Strip>& out) {
    frameStrips(x, y, xMax, yMax, 0, out); // type 0 is never stereo: one strip per row
}

void DrawPlan::lineSegments(int32_t x, int32_t y, int32_t xMax, int32_t yMax,
                            std::vector<Segment>& out) {
    out.clear();
    const int64_t lastColumn = int64_t{xMax} - 1;
    const int64_t lastRow = int64_t{yMax} - 1;
    if (lastColumn < x) {
        return; // not a row of nodes to walk
    }
    for (int64_t r = y; r <= lastRow; ++r) {
        const auto row = static_cast<int32_t>(r);
        for (int64_t c = x; c <= lastColumn; ++c) {
            const auto column = static_cast<int32_t>(c);
            if (c < lastColumn) {
                out.push_back({column, row, column + 1, row});
            }
            if (r < lastRow) {
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
