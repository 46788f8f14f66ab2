#define GL_GLEXT_PROTOTYPES 1 // glMultiDrawArrays
#include "render/FrameRenderer.h"

#include "mesh/DistortionMatrix.h"
#include "render/TextOverlay.h"
#include "render/Timer.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace lumenarc {
namespace {

// Texture coordinate of a frame position: the corner differences in single precision, the
// product and sum in double, the result passed as a float.
float frameCoord(float low, float high, double position) {
    const float span = high - low;
    return static_cast<float>(static_cast<double>(low) + static_cast<double>(span) * position);
}

void setWrapModes(uint32_t target, int32_t type) {
    const auto wrap = DrawPlan::wrapModes(type);
    glTexParameterf(target, GL_TEXTURE_WRAP_S, static_cast<float>(wrap.s));
    glTexParameterf(target, GL_TEXTURE_WRAP_T, static_cast<float>(wrap.t));
}

} // namespace

void FrameRenderer::enterMeshSpace(float viewWidth, float viewHeight) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();
    const auto scale = DrawPlan::aspectScale(viewWidth, viewHeight);
    glScaled(scale.x, scale.y, 1.0);
}

void FrameRenderer::renderBits(const Inputs& in) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (in.warped != nullptr) {
        drawWarped(*in.warped);
    }
    enterMeshSpace(in.viewWidth, in.viewHeight);
    const int32_t width = in.mesh != nullptr ? in.mesh->width() : 0;
    const int32_t height = in.mesh != nullptr ? in.mesh->height() : 0;
    drawWithRangeX(in, 0, 0, width, height);
    if (in.nodeMarks != nullptr && in.mesh != nullptr) {
        NodeHandles::draw(*in.mesh, *in.nodeMarks);
    }
    glPopMatrix();
    readout(in);
    glFlush();
    if (in.afterFlush) {
        in.afterFlush();
    }
}

void FrameRenderer::drawWithRangeX(const Inputs& in, int32_t x, int32_t y, int32_t xMax,
                                   int32_t yMax) {
    m_sampled = false;
    // Only nodes the mesh holds are drawn: a mesh without nodes draws nothing, whatever its
    // claimed size.
    const int32_t width = in.mesh != nullptr ? in.mesh->width() : 0;
    const int32_t height = in.mesh != nullptr ? in.mesh->height() : 0;
    const auto range = DrawPlan::clampToMesh({x, y, xMax, yMax}, width, height);
    x = range.x;
    y = range.y;
    xMax = range.xMax;
    yMax = range.yMax;
    framePass(in, x, y, xMax, yMax);
    if (in.showDistortionMatrix) {
        gridPass(in, x, y, xMax, yMax);
    }
    if (in.showGridLines) {
        linePass(in, x, y, xMax, yMax);
    }
    if (in.drawOverlay) {
        overlayPass(in);
    }
}

// One quad over the whole view (the projection's -1..1 square), its texels replacing the
// pixels: what the frame pass would have blended over the cleared view.
void FrameRenderer::drawWarped(const FrameTexture& warped) {
    glDisable(GL_BLEND);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(warped.target);
    glBindTexture(warped.target, warped.name);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glEnd();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(warped.target);
}

void FrameRenderer::framePass(const Inputs& in, int32_t x, int32_t y, int32_t xMax, int32_t yMax) {
    // Before the first frame there is nothing to show: drawing the strips untextured would
    // flash a white mesh on the screen.
    if (in.frame == nullptr) {
        return;
    }
    const int32_t type = in.mesh != nullptr ? in.mesh->projectionType() : 0;
    glEnable(in.frame->target);
    glBindTexture(in.frame->target, in.frame->name);
    setWrapModes(in.frame->target, type);
    DrawPlan::frameStrips(x, y, xMax, yMax, type, m_strips);
    if (in.mesh != nullptr) {
        if (m_mode == Mode::Batched) {
            drawStripsBatched(*in.mesh, in.frame, false);
        } else {
            drawStripsImmediate(*in.mesh, in.frame, false);
        }
    }
    glDisable(in.frame->target);
}

void FrameRenderer::gridPass(const Inputs& in, int32_t x, int32_t y, int32_t xMax, int32_t yMax) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, in.gridTexture);
    DrawPlan::gridStrips(x, y, xMax, yMax, m_strips);
    if (in.mesh != nullptr) {
        if (m_mode == Mode::Batched) {
            drawStripsBatched(*in.mesh, nullptr, true);
        } else {
            drawStripsImmediate(*in.mesh, nullptr, true);
        }
    }
}

void FrameRenderer::linePass(const Inputs& in, int32_t x, int32_t y, int32_t xMax, int32_t yMax) {
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glLineWidth(1.0f);
    DrawPlan::lineSegments(x, y, xMax, yMax, m_segments);
    glBegin(GL_LINES);
    if (in.mesh != nullptr) {
        const auto& mesh = *in.mesh;
        for (const auto& s : m_segments) {
            glVertex2f(static_cast<float>(mesh.xCoordAtX(s.x0, s.y0)),
                       static_cast<float>(mesh.yCoordAtX(s.x0, s.y0)));
            glVertex2f(static_cast<float>(mesh.xCoordAtX(s.x1, s.y1)),
                       static_cast<float>(mesh.yCoordAtX(s.x1, s.y1)));
        }
    }
    glEnd();
}

void FrameRenderer::overlayPass(const Inputs& in) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, in.overlayTexture);
    glColor4f(1.0f, 0.5f, 0.5f, 0.5f);
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-0.8f, -0.5f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(0.8f, -0.5f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-0.8f, -1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(0.8f, -1.0f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

void FrameRenderer::readout(const Inputs& in) {
    if (in.frameTimer == nullptr) {
        return;
    }
    const float elapsed = static_cast<float>(in.frameTimer->getElapsedSeconds());
    if (elapsed > 0.0f && in.showFPS) {
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f); // before the raster position: it takes this colour
        glRasterPos2f(-0.99f, 0.89f);
        TextOverlay::glPrint(in.fontBase, "%.1f fps", static_cast<double>(1.0f / elapsed));
        if (const std::string time = timeReadout(in.position, in.duration); !time.empty()) {
            glRasterPos2f(-0.99f, 0.80f);
            TextOverlay::glPrint(in.fontBase, "%s", time.c_str());
        }
        in.frameTimer->reset();
    }
}

std::string FrameRenderer::timeReadout(double position, double duration) {
    if (!(duration > 0.0) || !std::isfinite(duration) || !std::isfinite(position)) {
        return {};
    }
    const auto clock = [](double seconds) {
        const auto whole = static_cast<long long>(std::clamp(seconds, 0.0, 1e9));
        char text[32];
        if (whole >= 3600) {
            std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                          whole % 60);
        } else {
            std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
        }
        return std::string(text);
    };
    const double played = std::clamp(position, 0.0, duration);
    // The time left rounds up, as a countdown does: 0:00 only at the very end.
    return clock(played) + " played, " + clock(std::ceil(duration - played)) + " left";
}

void FrameRenderer::drawStripsImmediate(const DistortionMatrix& mesh, const FrameTexture* frame,
                                        bool grid) {
    const auto emit = [&](int32_t x, int32_t y, bool firstRow) {
        const double i = mesh.luminanceAtX(x, y);
        const double u = mesh.uCoordAtX(x, y);
        const double v = mesh.vCoordAtX(x, y);
        if (grid) {
            glColor4f(1.0f, 1.0f, firstRow ? 0.5f : 1.0f, static_cast<float>(i));
            glTexCoord2f(static_cast<float>(20.0 * u), static_cast<float>(20.0 * v));
        } else {
            glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(i));
            glTexCoord2f(frameCoord(frame->lowerLeft()[0], frame->upperRight()[0], u),
                         frameCoord(frame->lowerLeft()[1], frame->upperRight()[1], v));
        }
        glVertex2f(static_cast<float>(mesh.xCoordAtX(x, y)),
                   static_cast<float>(mesh.yCoordAtX(x, y)));
    };
    for (const auto& strip : m_strips) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int32_t x = strip.firstColumn; x <= strip.lastColumn; ++x) {
            emit(x, strip.row, true);
            emit(x, strip.row + 1, false);
        }
        glEnd();
    }
}

void FrameRenderer::sampleNodes(const DistortionMatrix& mesh) {
    const auto state = mesh.interaction();
    const double c = std::cos(state.rotation);
    const double s = std::sin(state.rotation);
    const auto nodes = mesh.vertices();
    m_samples.resize(nodes.size());
    for (size_t k = 0; k < nodes.size(); ++k) {
        const auto& node = nodes[k];
        m_samples[k] = {DistortionMatrix::sampleU(node, c, s, state.offsetX),
                        DistortionMatrix::sampleV(node, c, s, state.offsetY),
                        DistortionMatrix::clamp01(node.i), static_cast<float>(node.x),
                        static_cast<float>(node.y)};
    }
}

FrameRenderer::Vertex FrameRenderer::makeVertex(const NodeSample& n, const FrameTexture* frame,
                                                bool grid, bool firstRow) const {
    Vertex vertex{};
    vertex.color[0] = 1.0f;
    vertex.color[1] = 1.0f;
    vertex.color[2] = grid && firstRow ? 0.5f : 1.0f;
    vertex.color[3] = static_cast<float>(n.i);
    if (grid) {
        vertex.texCoord[0] = static_cast<float>(20.0 * n.u);
        vertex.texCoord[1] = static_cast<float>(20.0 * n.v);
    } else {
        vertex.texCoord[0] = frameCoord(frame->lowerLeft()[0], frame->upperRight()[0], n.u);
        vertex.texCoord[1] = frameCoord(frame->lowerLeft()[1], frame->upperRight()[1], n.v);
    }
    vertex.position[0] = n.x;
    vertex.position[1] = n.y;
    return vertex;
}

void FrameRenderer::drawStripsBatched(const DistortionMatrix& mesh, const FrameTexture* frame,
                                      bool grid) {
    if (!m_sampled) {
        sampleNodes(mesh); // once per frame, shared by the frame and grid passes
        m_sampled = true;
    }
    const auto width = static_cast<size_t>(mesh.width());
    m_vertices.clear();
    for (const auto& strip : m_strips) {
        for (int32_t x = strip.firstColumn; x <= strip.lastColumn; ++x) {
            const size_t top = static_cast<size_t>(strip.row) * width + static_cast<size_t>(x);
            m_vertices.push_back(makeVertex(m_samples[top], frame, grid, true));
            m_vertices.push_back(makeVertex(m_samples[top + width], frame, grid, false));
        }
    }
    if (m_vertices.empty()) {
        return;
    }
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glColorPointer(4, GL_FLOAT, sizeof(Vertex), m_vertices.front().color);
    glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), m_vertices.front().texCoord);
    glVertexPointer(2, GL_FLOAT, sizeof(Vertex), m_vertices.front().position);
    // All strips of the pass in one call: the same strips in the same order, far fewer trips
    // through the driver.
    m_firsts.clear();
    m_counts.clear();
    // A pass sends at most two vertices per node, which GLint counts for any loadable mesh.
    static_assert(2 * DistortionMatrix::kMaxNodes <= INT32_MAX);
    GLint first = 0;
    for (const auto& strip : m_strips) {
        const auto count =
            static_cast<GLsizei>(2 * (int64_t{strip.lastColumn} - strip.firstColumn + 1));
        if (count > 0) {
            m_firsts.push_back(first);
            m_counts.push_back(count);
            first += count;
        }
    }
    glMultiDrawArrays(GL_TRIANGLE_STRIP, m_firsts.data(), m_counts.data(),
                      static_cast<GLsizei>(m_counts.size()));
    glPopClientAttrib();
    // The current colour after a strip pass is that of its last vertex, as in immediate mode.
    glColor4fv(m_vertices.back().color);
}

} // namespace lumenarc
