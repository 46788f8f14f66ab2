// Drawing one frame at 1920x1080 through meshes of 32 x 32, 128 x 128 and 512 x 512 nodes,
// against one textured quad covering the same view: the floor that any way of drawing the
// frame must pay. Both the immediate-mode path and the batched path are measured.

#include "mesh/DistortionMatrix.h"
#include "offscreen/OffscreenGL.h"
#include "render/FrameRenderer.h"
#include "support/RatioReporter.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace lumenarc;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Scene {
    std::unique_ptr<OffscreenGL> gl;
    FrameTexture frame;
};

Scene& scene() {
    static Scene s = [] {
        Scene made;
        made.gl = OffscreenGL::create(kWidth, kHeight);
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluOrtho2D(-1, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        std::vector<uint8_t> texels(static_cast<size_t>(kWidth) * kHeight * 4);
        for (size_t k = 0; k < texels.size(); ++k) {
            texels[k] = static_cast<uint8_t>(k * 7 / 3);
        }
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     texels.data());
        made.frame.target = GL_TEXTURE_2D;
        made.frame.name = name;
        made.frame.cleanTexCoords = {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
        return made;
    }();
    return s;
}

// A dome-like fisheye mesh with an edge falloff.
std::unique_ptr<DistortionMatrix> fisheye(int n) {
    std::string text = "2 " + std::to_string(n) + " " + std::to_string(n);
    char node[160];
    for (int row = 0; row < n; ++row) {
        for (int column = 0; column < n; ++column) {
            const double x = 2.0 * column / (n - 1) - 1, y = 2.0 * row / (n - 1) - 1;
            const double r = std::hypot(x, y), a = std::atan2(y, x);
            const double rr = std::sin(std::min(r, 1.0) * M_PI / 4) / std::sin(M_PI / 4);
            std::snprintf(node, sizeof node, " %.9g %.9g %.9g %.9g %.6g", x, y,
                          0.5 + 0.5 * rr * std::cos(a), 0.5 + 0.5 * rr * std::sin(a),
                          r > 1 ? 0.0 : 1.0 - 0.3 * r * r);
            text += node;
        }
    }
    return DistortionMatrix::initFromText(text);
}

void drawMesh(benchmark::State& state, FrameRenderer::Mode mode) {
    auto& s = scene();
    const auto mesh = fisheye(static_cast<int>(state.range(0)));
    FrameRenderer renderer(mode);
    FrameRenderer::Inputs in;
    in.mesh = mesh.get();
    in.frame = &s.frame;
    in.viewWidth = kWidth;
    in.viewHeight = kHeight;
    for (auto _ : state) {
        mesh->rotate(0.001f); // a turning picture, as during a drag
        renderer.renderBits(in);
        glFinish();
    }
}

void BM_immediate(benchmark::State& state) {
    drawMesh(state, FrameRenderer::Mode::Immediate);
}
void BM_batched(benchmark::State& state) {
    drawMesh(state, FrameRenderer::Mode::Batched);
}

// One textured quad over the whole view; `blended` with the blending every mesh frame uses
// (brightness as alpha over black), which a software rasteriser pays per pixel.
void drawQuad(benchmark::State& state, bool blended) {
    auto& s = scene();
    if (blended) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        glDisable(GL_BLEND);
    }
    glColor4f(1, 1, 1, 1);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, s.frame.name);
        glBegin(GL_TRIANGLE_STRIP);
        glTexCoord2f(0, 0);
        glVertex2f(-1, -1);
        glTexCoord2f(1, 0);
        glVertex2f(1, -1);
        glTexCoord2f(0, 1);
        glVertex2f(-1, 1);
        glTexCoord2f(1, 1);
        glVertex2f(1, 1);
        glEnd();
        glDisable(GL_TEXTURE_2D);
        glFlush();
        glFinish();
    }
    glDisable(GL_BLEND);
}

void BM_quad(benchmark::State& state) {
    drawQuad(state, false);
}
void BM_quadBlended(benchmark::State& state) {
    drawQuad(state, true);
}

} // namespace

BENCHMARK(BM_quad)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_quadBlended)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_immediate)->Arg(32)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_batched)->Arg(32)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv) {
    if (!scene().gl) {
        std::fprintf(stderr, "no offscreen GL context\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* size : {"32", "128", "512"}) {
        for (const char* path : {"BM_immediate", "BM_batched"}) {
            reporter.printRatio(std::string(path) + " " + size + "x" + size +
                                    " vs one quad (target <= 1.5 at 128)",
                                std::string(path) + "/" + size, "BM_quad");
            reporter.printRatio(std::string(path) + " " + size + "x" + size +
                                    " vs one blended quad",
                                std::string(path) + "/" + size, "BM_quadBlended");
        }
    }
    benchmark::Shutdown();
    return 0;
}
