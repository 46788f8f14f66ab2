// lumenarc-warp: draws a still picture through a distortion mesh exactly as the player draws a
// movie frame, and writes the result as a PNG. A preview for mesh authors.

#include "image/ImageFile.h"
#include "image/PngWriter.h"
#include "offscreen/OffscreenGL.h"
#include "toolsupport/TempOutput.h"
#include "warp/MeshWarper.h"
#include "warp/WarpArguments.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace lumenarc;

namespace {

const std::string kUsage =
    "Usage: lumenarc-warp --mesh MESH --image IMAGE --out OUT.png [--size WxH] [--grid]\n"
    "                     [--lines] [--no-overlay] [--rotate RADIANS] [--offset DU,DV]\n"
    "                     [--type CODE]\n"
    "\n"
    "Draws IMAGE (PNG, JPEG or TIFF) through the distortion matrix MESH exactly as the Lumenarc\n"
    "player draws a movie frame, and writes the picture as an opaque RGB PNG. OUT is\n"
    "written beside itself under a hidden name and renamed into place when complete, so a\n"
    "failed write leaves an earlier OUT as it was; a folder, device or FIFO is refused.\n"
    "\n" +
    WarpArguments::help("1024x768") +
    "\n"
    "Exit status: 0 on success, 1 for a mesh or picture that cannot be read or a picture that\n"
    "cannot be written, 2 for a usage error.\n";

struct Options {
    WarpOptions warp;
    std::string image, out;
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "lumenarc-warp: %s\n\n%s", message.c_str(), kUsage.c_str());
    return 2;
}

// Parses the arguments; returns an exit status when the run should end here.
std::optional<int> parse(int argc, char** argv, Options& o) {
    o.warp.width = 1024;
    o.warp.height = 768;
    for (int a = 1; a < argc;) {
        const std::string_view arg = argv[a];
        const auto step = WarpArguments::take(argc, argv, a, o.warp);
        if (!step.error.empty()) {
            return usageError(step.error);
        }
        if (step.taken > 0) {
            a += step.taken;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage.c_str(), stdout);
            return 0;
        } else if (a + 1 >= argc) {
            return usageError("unknown option or missing value: " + std::string(arg));
        } else if (arg == "--image") {
            o.image = argv[a + 1];
        } else if (arg == "--out") {
            o.out = argv[a + 1];
        } else {
            return usageError("unknown option: " + std::string(arg));
        }
        a += 2;
    }
    if (o.warp.mesh.empty() || o.image.empty() || o.out.empty()) {
        return usageError("--mesh, --image and --out are required");
    }
    return std::nullopt;
}

// The picture's rows bottom first, as the frame texture takes them.
std::vector<uint8_t> bottomFirst(const ImageFile& image) {
    const size_t row = static_cast<size_t>(image.width()) * 4;
    std::vector<uint8_t> rows(image.pixels().size());
    for (size_t y = 0; y < image.height(); ++y) {
        std::memcpy(&rows[(image.height() - 1 - y) * row], &image.pixels()[y * row], row);
    }
    return rows;
}

// Writes the picture beside OUT and renames it into place: a failed write leaves an earlier
// OUT as it was. False with "cannot write OUT: why".
bool writeOut(const Options& o, const std::vector<uint8_t>& pixels, std::string* error) {
    std::string why;
    const auto temp = TempOutput::create(o.out, &why);
    if (temp && !PngWriter::write(temp->path(), static_cast<uint32_t>(o.warp.width),
                                  static_cast<uint32_t>(o.warp.height), 4, pixels,
                                  PngWriter::RowOrder::BottomFirst, error, o.out)) {
        return false;
    }
    if (temp && temp->commit(&why)) {
        return true;
    }
    *error = "cannot write " + o.out + ": " + why;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    Options o;
    if (const auto status = parse(argc, argv, o)) {
        return *status;
    }
    auto mesh = MeshWarper::loadMesh(o.warp);
    if (!mesh) {
        std::fputs(MeshWarper::kInvalidMesh, stderr);
        return 1;
    }
    std::string error;
    const auto image = ImageFile::read(o.image, &error);
    if (!image) {
        std::fprintf(stderr, "lumenarc-warp: cannot read the picture %s: %s\n", o.image.c_str(),
                     error.c_str());
        return 1;
    }
    const auto gl = OffscreenGL::create(o.warp.width, o.warp.height, &error);
    if (!gl) {
        std::fprintf(stderr, "lumenarc-warp: %s\n", error.c_str());
        return 1;
    }
    std::vector<uint8_t> pixels;
    {
        MeshWarper warper(std::move(mesh), o.warp);
        warper.draw(bottomFirst(*image).data(), static_cast<int>(image->width()),
                    static_cast<int>(image->height()));
        if (const auto why = warper.fallbackReason(); !why.empty()) {
            std::fprintf(stderr, "lumenarc-warp: the frame is drawn by GL: %s\n", why.c_str());
        }
        if (const uint8_t* picture = warper.picture()) {
            const size_t bytes = static_cast<size_t>(o.warp.width) * 4 * o.warp.height;
            pixels.assign(picture, picture + bytes);
        } else {
            pixels = gl->readPixels();
        }
    }
    if (!writeOut(o, pixels, &error)) {
        std::fprintf(stderr, "lumenarc-warp: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
