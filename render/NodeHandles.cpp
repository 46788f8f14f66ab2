#include "render/NodeHandles.h"

#include "mesh/DistortionMatrix.h"

#include <GL/gl.h>
#include <vector>

namespace lumenarc {
namespace {

// Node positions as vertex arrays: row by row, and column by column for the vertical lines.
// One array draw per line or pass: vertices sent one call at a time cost far more.
struct Positions {
    std::vector<float> rows;
    std::vector<float> columns;
    std::vector<float> chosen;
};

Positions positionsOf(const DistortionMatrix& mesh, const std::vector<uint8_t>* selected) {
    Positions p;
    const int32_t width = mesh.width();
    const int32_t height = mesh.height();
    p.rows.reserve(mesh.vertices().size() * 2);
    p.columns.resize(mesh.vertices().size() * 2);
    size_t index = 0;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x, ++index) {
            const auto fx = static_cast<float>(mesh.xCoordAtX(x, y));
            const auto fy = static_cast<float>(mesh.yCoordAtX(x, y));
            p.rows.push_back(fx);
            p.rows.push_back(fy);
            const size_t column =
                (static_cast<size_t>(x) * static_cast<size_t>(height) + static_cast<size_t>(y)) * 2;
            p.columns[column] = fx;
            p.columns[column + 1] = fy;
            if (selected != nullptr && (*selected)[index] != 0) {
                p.chosen.push_back(fx);
                p.chosen.push_back(fy);
            }
        }
    }
    return p;
}

void drawStrips(const std::vector<float>& points, int32_t strips, int32_t length) {
    glVertexPointer(2, GL_FLOAT, 0, points.data());
    for (int32_t k = 0; k < strips; ++k) {
        glDrawArrays(GL_LINE_STRIP, k * length, length);
    }
}

// Square handles: a dark rim under a lighter face, so that they show on any picture.
void drawHandles(const std::vector<float>& points, float size, const float face[3]) {
    if (points.empty()) {
        return;
    }
    glVertexPointer(2, GL_FLOAT, 0, points.data());
    const auto count = static_cast<GLsizei>(points.size() / 2);
    glPointSize(size + 2.0f);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    glDrawArrays(GL_POINTS, 0, count);
    glPointSize(size);
    glColor4f(face[0], face[1], face[2], 1.0f);
    glDrawArrays(GL_POINTS, 0, count);
}

void drawBand(const NodeHandles::Marks::Band& band) {
    glColor4f(1.0f, 0.8f, 0.2f, 1.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2d(band.x0, band.y0);
    glVertex2d(band.x1, band.y0);
    glVertex2d(band.x1, band.y1);
    glVertex2d(band.x0, band.y1);
    glEnd();
}

} // namespace

void NodeHandles::draw(const DistortionMatrix& mesh, const Marks& marks) {
    glDisable(GL_TEXTURE_2D);
    const bool fits = marks.width == mesh.width() && marks.height == mesh.height() &&
                      marks.selected.size() == mesh.vertices().size();
    const Positions p = positionsOf(mesh, fits ? &marks.selected : nullptr);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glColor4f(0.3f, 0.9f, 1.0f, 0.7f);
    glLineWidth(1.0f);
    drawStrips(p.rows, mesh.height(), mesh.width());
    drawStrips(p.columns, mesh.width(), mesh.height());
    static constexpr float kPlain[3] = {0.9f, 0.9f, 0.9f};
    static constexpr float kChosen[3] = {1.0f, 0.45f, 0.0f};
    drawHandles(p.rows, 5.0f, kPlain); // the selected ones are drawn over, larger
    drawHandles(p.chosen, 9.0f, kChosen);
    glPopClientAttrib();
    if (marks.band) {
        drawBand(*marks.band);
    }
    glPointSize(1.0f);
}

} // namespace lumenarc
