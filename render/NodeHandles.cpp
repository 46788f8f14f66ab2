#include "render/NodeHandles.h"

#include "mesh/DistortionMatrix.h"

#include <GL/gl.h>

namespace lumenarc {
namespace {

void vertexOf(const DistortionMatrix& mesh, int32_t x, int32_t y) {
    glVertex2f(static_cast<float>(mesh.xCoordAtX(x, y)), static_cast<float>(mesh.yCoordAtX(x, y)));
}

void drawLines(const DistortionMatrix& mesh) {
    glColor4f(0.3f, 0.9f, 1.0f, 0.7f);
    glLineWidth(1.0f);
    glBegin(GL_LINES);
    for (int32_t y = 0; y < mesh.height(); ++y) {
        for (int32_t x = 0; x < mesh.width(); ++x) {
            if (x + 1 < mesh.width()) {
                vertexOf(mesh, x, y);
                vertexOf(mesh, x + 1, y);
            }
            if (y + 1 < mesh.height()) {
                vertexOf(mesh, x, y);
                vertexOf(mesh, x, y + 1);
            }
        }
    }
    glEnd();
}

// Square handles: a dark rim under a lighter face, so that they show on any picture.
void drawHandles(const DistortionMatrix& mesh, const std::vector<uint8_t>* selected, bool chosen,
                 float size, const float face[3]) {
    for (int pass = 0; pass < 2; ++pass) {
        glPointSize(pass == 0 ? size + 2.0f : size);
        if (pass == 0) {
            glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
        } else {
            glColor4f(face[0], face[1], face[2], 1.0f);
        }
        glBegin(GL_POINTS);
        size_t index = 0;
        for (int32_t y = 0; y < mesh.height(); ++y) {
            for (int32_t x = 0; x < mesh.width(); ++x, ++index) {
                const bool isSelected = selected != nullptr && (*selected)[index] != 0;
                if (isSelected == chosen) {
                    vertexOf(mesh, x, y);
                }
            }
        }
        glEnd();
    }
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
    drawLines(mesh);
    const bool fits = marks.width == mesh.width() && marks.height == mesh.height() &&
                      marks.selected.size() == mesh.vertices().size();
    const std::vector<uint8_t>* selected = fits ? &marks.selected : nullptr;
    static constexpr float kPlain[3] = {0.9f, 0.9f, 0.9f};
    static constexpr float kChosen[3] = {1.0f, 0.45f, 0.0f};
    drawHandles(mesh, selected, false, 5.0f, kPlain);
    if (selected != nullptr) {
        drawHandles(mesh, selected, true, 9.0f, kChosen);
    }
    if (marks.band) {
        drawBand(*marks.band);
    }
    glPointSize(1.0f);
}

} // namespace lumenarc
