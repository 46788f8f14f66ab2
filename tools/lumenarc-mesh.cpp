// lumenarc-mesh: checks distortion matrix files the way the player reads them, and makes
// meshes from a room's measurements.

#include "mesh/DistortionMatrix.h"
#include "mesh/NumberConversion.h"
#include "mesh/ProjectionType.h"
#include "meshmake/MakeCommand.h"
#include "toolsupport/ToolArguments.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using lumenarc::DistortionMatrix;
using lumenarc::ProjectionType;
using lumenarc::tools::ToolArguments;

namespace {

constexpr const char* kInvalidFile = "Sorry, this does not appear to be a valid data file";

constexpr const char* kUsage =
    "Usage: lumenarc-mesh info FILE\n"
    "       lumenarc-mesh dump [--rotate RADIANS] [--offset DU,DV] FILE\n"
    "       lumenarc-mesh make mirror|dome|wall --out FILE [options]\n"
    "\n"
    "Reads a distortion matrix file exactly as the Lumenarc player does, or makes one.\n"
    "\n"
    "  info  prints the projection type (code and name), mono or stereo, width, height,\n"
    "        node count, the ranges of x, y, u, v and i, and the share of lit nodes\n"
    "        (brightness above 0).\n"
    "  dump  prints 'type T width W height H', then one line per node in file order:\n"
    "        X Y x y u v i uSample vSample luminance\n"
    "        (column, row, the five stored values, then what the player samples: u and v\n"
    "        with the pan and rotation applied, and the brightness limited to 0..1).\n"
    "        Numbers are printed with %.17g.\n"
    "  make  makes a mesh for a mirror dome, a projector inside a dome or a blended wall\n"
    "        (lumenarc-mesh make --help lists its options).\n"
    "\n"
    "  --rotate RADIANS  rotation added before sampling (a 32-bit float, -100 to 100)\n"
    "  --offset DU,DV    pan added before sampling, in frame widths and heights (32-bit floats,\n"
    "                    each -100 to 100)\n"
    "\n"
    "Exit status: 0 on success, 1 for a file that is not a valid distortion matrix,\n"
    "2 for a usage error.\n";

int usageError(const char* message) {
    std::fprintf(stderr, "lumenarc-mesh: %s\n\n%s", message, kUsage);
    return 2;
}

struct Range {
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();
    void add(double value) {
        min = std::min(min, value);
        max = std::max(max, value);
    }
};

void printRange(const char* name, const Range& range, bool any) {
    if (any) {
        std::printf("%-10s %.17g .. %.17g\n", name, range.min, range.max);
    } else {
        std::printf("%-10s (no nodes)\n", name);
    }
}

int info(const DistortionMatrix& mesh) {
    const auto* type = ProjectionType::find(mesh.projectionType());
    std::printf("type       %d %s\n", mesh.projectionType(),
                type != nullptr ? std::string(type->name).c_str() : "unknown");
    std::printf("layout     %s\n",
                ProjectionType::isStereo(mesh.projectionType()) ? "stereo" : "mono");
    std::printf("width      %d\n", mesh.width());
    std::printf("height     %d\n", mesh.height());
    std::printf("nodes      %zu\n", mesh.vertices().size());
    Range x, y, u, v, i;
    for (const auto& node : mesh.vertices()) {
        x.add(node.x);
        y.add(node.y);
        u.add(node.u);
        v.add(node.v);
        i.add(node.i);
    }
    const bool any = !mesh.vertices().empty();
    printRange("x", x, any);
    printRange("y", y, any);
    printRange("u", u, any);
    printRange("v", v, any);
    printRange("i", i, any);
    const auto lit = std::count_if(mesh.vertices().begin(), mesh.vertices().end(),
                                   [](const auto& node) { return node.i > 0; });
    std::printf("lit        %zu of %zu nodes (%.1f %%)\n", static_cast<size_t>(lit),
                mesh.vertices().size(),
                any ? 100.0 * static_cast<double>(lit) / mesh.vertices().size() : 0.0);
    return 0;
}

int dump(DistortionMatrix& mesh, float rotation, float du, float dv) {
    mesh.rotate(rotation);
    mesh.offsetX(du, dv);
    std::printf("type %d width %d height %d\n", mesh.projectionType(), mesh.width(), mesh.height());
    if (mesh.vertices().empty()) {
        return 0;
    }
    for (int32_t row = 0; row < mesh.height(); ++row) {
        for (int32_t column = 0; column < mesh.width(); ++column) {
            const auto& n = mesh.vertices()[static_cast<size_t>(row) * mesh.width() + column];
            std::printf("%d %d %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", column, row, n.x,
                        n.y, n.u, n.v, n.i, mesh.uCoordAtX(column, row),
                        mesh.vCoordAtX(column, row), mesh.luminanceAtX(column, row));
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The user's locale must not change how files are read; output stays in the C locale too.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");

    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 2) {
        return usageError("missing command");
    }
    const std::string_view command = argv[1];
    if (command == "make") {
        const std::vector<std::string_view> args(argv + 2, argv + argc);
        return lumenarc::meshmake::MakeCommand::run(args);
    }
    if (command != "info" && command != "dump") {
        return usageError("unknown command");
    }
    float rotation = 0, du = 0, dv = 0;
    const char* file = nullptr;
    for (int a = 2; a < argc; ++a) {
        const std::string_view arg = argv[a];
        if (command == "dump" && arg == "--rotate" && a + 1 < argc) {
            const auto value = ToolArguments::parseRotation(argv[++a]);
            if (!value) {
                return usageError(ToolArguments::rotationError());
            }
            rotation = *value;
        } else if (command == "dump" && arg == "--offset" && a + 1 < argc) {
            const auto offset = ToolArguments::parseOffset(argv[++a]);
            if (!offset) {
                return usageError(ToolArguments::offsetError());
            }
            du = offset->first;
            dv = offset->second;
        } else if (file == nullptr && (arg.empty() || arg[0] != '-' || arg == "-")) {
            file = argv[a];
        } else {
            return usageError("unexpected argument");
        }
    }
    if (file == nullptr) {
        return usageError("missing FILE");
    }
    auto mesh = DistortionMatrix::initFromFile(file);
    if (!mesh) {
        std::fprintf(stderr, "%s\n", kInvalidFile);
        return 1;
    }
    return command == "info" ? info(*mesh) : dump(*mesh, rotation, du, dv);
}
