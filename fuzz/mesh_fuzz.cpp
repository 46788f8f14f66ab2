// Feeds arbitrary bytes to the mesh reader, then plans and draws every mesh it loads, offscreen,
// exactly as the player draws a frame: frame, calibration grid and mesh lines. Besides crashes
// and sanitizer reports it checks that every number converts exactly as strtod does in the C
// locale, that a loaded mesh holds exactly the nodes its size claims, that a mesh without nodes
// draws nothing, and that both ways of sending vertices give the same pixels.

#include "mesh/DistortionMatrix.h"
#include "mesh/NumberConversion.h"
#include "mesh/NumberReader.h"
#include "offscreen/OffscreenGL.h"
#include "render/FrameRenderer.h"
#include "render/ViewSetup.h"

#include <GL/gl.h>
#include <bit>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <memory>
#include <string>
#include <vector>

using namespace lumenarc;

namespace {

constexpr int kViewWidth = 64;
constexpr int kViewHeight = 48;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "mesh_fuzz: %s\n", what);
        std::abort();
    }
}

void checkConversions(std::string_view text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    NumberReader reader(text);
    int count = 0;
    while (auto number = reader.GetNumberyBit()) {
        if (++count > 1000) {
            break;
        }
        const std::string copy(*number);
        const double expected = strtod_l(copy.c_str(), nullptr, cLocale);
        const double actual = NumberConversion::toDouble(*number);
        check(std::bit_cast<uint64_t>(expected) == std::bit_cast<uint64_t>(actual),
              "a number converts unlike strtod");
    }
}

void checkNodes(const DistortionMatrix& mesh) {
    const size_t expected = mesh.width() > 0 && mesh.height() > 0
                                ? static_cast<size_t>(mesh.width()) * mesh.height()
                                : 0;
    check(mesh.vertices().size() == expected, "the node count differs from the size");
    for (int32_t y = 0; y < mesh.height() && y < 4; ++y) {
        for (int32_t x = 0; x < mesh.width() && x < 4; ++x) {
            const double l = mesh.luminanceAtX(x, y);
            check(!(l < 0.0 || l > 1.0), "a brightness outside 0..1");
            (void)mesh.uCoordAtX(x, y);
            (void)mesh.vCoordAtX(x, y);
        }
    }
}

GLuint makeTexture(int width, int height, const std::vector<uint8_t>& rgba) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

// The offscreen view and its textures, made once for the whole run: a 4 x 4 frame of distinct
// colours and a half-transparent 2 x 2 grid tile.
struct Scene {
    std::unique_ptr<OffscreenGL> gl;
    FrameTexture frame;
    GLuint grid = 0;
    FrameRenderer immediate{FrameRenderer::Mode::Immediate};
    FrameRenderer batched{FrameRenderer::Mode::Batched};
};

Scene& scene() {
    static Scene* const made = [] {
        auto* s = new Scene;
        std::string error;
        s->gl = OffscreenGL::create(kViewWidth, kViewHeight, &error);
        if (!s->gl) {
            std::fprintf(stderr, "mesh_fuzz: no offscreen GL: %s\n", error.c_str());
            std::abort();
        }
        ViewSetup::prepare();
        ViewSetup::reshape(kViewWidth, kViewHeight);
        std::vector<uint8_t> texels;
        for (int k = 0; k < 16; ++k) {
            texels.insert(texels.end(),
                          {static_cast<uint8_t>(k * 16), static_cast<uint8_t>(255 - k),
                           static_cast<uint8_t>(k * 40), 255});
        }
        s->frame.target = GL_TEXTURE_2D;
        s->frame.name = makeTexture(4, 4, texels);
        s->frame.cleanTexCoords = {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
        s->grid = makeTexture(2, 2, std::vector<uint8_t>(16, 160));
        return s;
    }();
    return *made;
}

std::vector<uint8_t> draw(FrameRenderer& renderer, const DistortionMatrix& mesh) {
    auto& s = scene();
    FrameRenderer::Inputs in;
    in.mesh = &mesh;
    in.frame = &s.frame;
    in.showDistortionMatrix = true;
    in.gridTexture = s.grid;
    in.showGridLines = true;
    in.drawOverlay = false; // the band is drawn whatever the mesh: it would hide an empty one
    in.viewWidth = kViewWidth;
    in.viewHeight = kViewHeight;
    renderer.renderBits(in);
    check(glGetError() == GL_NO_ERROR, "drawing raised a GL error");
    return s.gl->readPixels();
}

void checkDrawing(DistortionMatrix& mesh) {
    auto& s = scene();
    // A turned and panned picture reaches the wrap modes and the far sides of the frame.
    mesh.rotate(0.3f);
    mesh.offsetX(0.25f, -0.125f);
    const auto pixels = draw(s.batched, mesh);
    check(draw(s.immediate, mesh) == pixels, "the two drawing paths differ");
    if (mesh.vertices().empty()) {
        for (const uint8_t channel : pixels) {
            check(channel == 0, "a mesh without nodes drew something");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkConversions(text);
    const auto mesh = DistortionMatrix::initFromText(text);
    if (mesh) {
        checkNodes(*mesh);
        checkDrawing(*mesh);
    }
    return 0;
}
