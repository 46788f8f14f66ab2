// lumenarc-warp: draws a still picture through a distortion mesh exactly as the player draws a
// movie frame, and writes the result as a PNG. A preview for mesh authors.

#include "image/ImageFile.h"
#include "image/PngWriter.h"
#include "mesh/DistortionMatrix.h"
#include "offscreen/OffscreenGL.h"
#include "render/FrameRenderer.h"
#include "render/TextureLoader.h"
#include "render/ViewSetup.h"
#include "tools/ToolArguments.h"

#include <GL/gl.h>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

using namespace lumenarc;
using lumenarc::tools::ToolArguments;

namespace {

constexpr const char* kUsage =
    "Usage: lumenarc-warp --mesh MESH --image IMAGE --out OUT.png [--size WxH] [--grid]\n"
    "                     [--lines] [--no-overlay] [--rotate RADIANS] [--offset DU,DV]\n"
    "                     [--type CODE]\n"
    "\n"
    "Draws IMAGE (PNG, JPEG or TIFF) through the distortion matrix MESH exactly as the Lumenarc\n"
    "player draws a movie frame, and writes the picture as an opaque RGB PNG.\n"
    "\n"
    "  --size WxH         size of the picture in pixels (default 1024x768)\n"
    "  --grid             draw the calibration grid through the mesh\n"
    "  --lines            draw the mesh lines\n"
    "  --no-overlay       leave out the overlay band\n"
    "  --rotate RADIANS   turn the picture as a drag on a fisheye mesh does (32-bit float)\n"
    "  --offset DU,DV     pan the picture by fractions of its width and height\n"
    "  --type CODE        draw as this projection type instead of the mesh's own\n"
    "\n"
    "Exit status: 0 on success, 1 for a mesh or picture that cannot be read or a picture that\n"
    "cannot be written, 2 for a usage error.\n";

struct Options {
    std::string mesh, image, out;
    int width = 1024, height = 768;
    bool grid = false, lines = false, overlay = true;
    float rotation = 0, du = 0, dv = 0;
    std::optional<int> type;
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "lumenarc-warp: %s\n\n%s", message.c_str(), kUsage);
    return 2;
}

// Parses the arguments; returns an exit status when the run should end here.
std::optional<int> parse(int argc, char** argv, Options& o) {
    for (int a = 1; a < argc; ++a) {
        const std::string_view arg = argv[a];
        const bool hasValue = a + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--grid") {
            o.grid = true;
        } else if (arg == "--lines") {
            o.lines = true;
        } else if (arg == "--no-overlay") {
            o.overlay = false;
        } else if (!hasValue) {
            return usageError("unknown option or missing value: " + std::string(arg));
        } else if (arg == "--mesh") {
            o.mesh = argv[++a];
        } else if (arg == "--image") {
            o.image = argv[++a];
        } else if (arg == "--out") {
            o.out = argv[++a];
        } else if (arg == "--size") {
            const auto size = ToolArguments::parseSize(argv[++a], 16384);
            if (!size) {
                return usageError("--size takes WxH, each from 1 to 16384");
            }
            o.width = size->first;
            o.height = size->second;
        } else if (arg == "--rotate") {
            const auto value = ToolArguments::parseFloat(argv[++a]);
            if (!value) {
                return usageError("--rotate takes a number of radians");
            }
            o.rotation = *value;
        } else if (arg == "--offset") {
            const auto offset = ToolArguments::parseOffset(argv[++a]);
            if (!offset) {
                return usageError("--offset takes two numbers, DU,DV");
            }
            o.du = offset->first;
            o.dv = offset->second;
        } else if (arg == "--type") {
            o.type = ToolArguments::parseInt(argv[++a]);
            if (!o.type) {
                return usageError("--type takes an integer projection code");
            }
        } else {
            return usageError("unknown option: " + std::string(arg));
        }
    }
    if (o.mesh.empty() || o.image.empty() || o.out.empty()) {
        return usageError("--mesh, --image and --out are required");
    }
    return std::nullopt;
}

std::string resourcePath() {
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::filesystem::path exe(n > 0 ? std::string(self, static_cast<size_t>(n)) : "");
    return (exe.parent_path() / ".." / "share" / "lumenarc").lexically_normal().string();
}

// The picture as the frame texture: a 2D texture with its bottom row at t = 0.
FrameTexture uploadFrame(const ImageFile& image) {
    const size_t row = static_cast<size_t>(image.width()) * 4;
    std::vector<uint8_t> bottomFirst(image.pixels().size());
    for (size_t y = 0; y < image.height(); ++y) {
        std::memcpy(&bottomFirst[(image.height() - 1 - y) * row], &image.pixels()[y * row], row);
    }
    FrameTexture frame;
    frame.target = GL_TEXTURE_2D;
    glGenTextures(1, &frame.name);
    glBindTexture(GL_TEXTURE_2D, frame.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(image.width()),
                 static_cast<GLsizei>(image.height()), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 bottomFirst.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    frame.cleanTexCoords = {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
    return frame;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    Options o;
    if (const auto status = parse(argc, argv, o)) {
        return *status;
    }
    const auto mesh = DistortionMatrix::initFromFile(o.mesh);
    if (!mesh) {
        std::fprintf(stderr, "Sorry, this does not appear to be a valid data file\n");
        return 1;
    }
    std::string error;
    const auto image = ImageFile::read(o.image, &error);
    if (!image) {
        std::fprintf(stderr, "lumenarc-warp: cannot read the picture %s: %s\n", o.image.c_str(),
                     error.c_str());
        return 1;
    }
    const auto gl = OffscreenGL::create(o.width, o.height, &error);
    if (!gl) {
        std::fprintf(stderr, "lumenarc-warp: %s\n", error.c_str());
        return 1;
    }
    ViewSetup::prepare();
    ViewSetup::reshape(o.width, o.height);
    if (o.type) {
        mesh->setProjectionType(*o.type);
    }
    mesh->rotate(o.rotation);
    mesh->offsetX(o.du, o.dv);

    FrameRenderer::Inputs in;
    const FrameTexture frame = uploadFrame(*image);
    in.mesh = mesh.get();
    in.frame = &frame;
    in.showDistortionMatrix = o.grid;
    in.showGridLines = o.lines;
    in.drawOverlay = o.overlay;
    in.viewWidth = static_cast<float>(o.width);
    in.viewHeight = static_cast<float>(o.height);
    const std::string resources = resourcePath();
    if (o.grid) {
        TextureLoader::loadTexture(in.gridTexture, resources + "/Grid.tif");
    }
    if (o.overlay) {
        TextureLoader::loadTexture(in.overlayTexture, resources + "/Overlay.tif");
    }
    FrameRenderer().renderBits(in);

    const auto pixels = gl->readPixels();
    if (!PngWriter::write(o.out, static_cast<uint32_t>(o.width), static_cast<uint32_t>(o.height), 4,
                          pixels, PngWriter::RowOrder::BottomFirst, &error)) {
        std::fprintf(stderr, "lumenarc-warp: cannot write %s: %s\n", o.out.c_str(), error.c_str());
        return 1;
    }
    return 0;
}
