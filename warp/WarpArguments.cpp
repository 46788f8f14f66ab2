#include "warp/WarpArguments.h"

#include "base/IntegerText.h"
#include "mesh/ProjectionType.h"
#include "toolsupport/ToolArguments.h"

#include <string_view>

namespace lumenarc {

using tools::ToolArguments;

namespace {

WarpArguments::Step taken(int count) {
    return WarpArguments::Step{count, {}};
}

WarpArguments::Step failed(std::string message) {
    return WarpArguments::Step{0, std::move(message)};
}

bool isFlag(std::string_view arg) {
    return arg == "--grid" || arg == "--lines" || arg == "--no-overlay";
}

bool takesValue(std::string_view arg) {
    return arg == "--mesh" || arg == "--size" || arg == "--rotate" || arg == "--offset" ||
           arg == "--type";
}

WarpArguments::Step takeValue(std::string_view arg, const char* value, WarpOptions& o) {
    if (arg == "--mesh") {
        o.mesh = value;
    } else if (arg == "--size") {
        const auto size = ToolArguments::parseSize(value, WarpArguments::kMaxSide);
        if (!size) {
            return failed("--size takes WxH, each from 1 to 16384");
        }
        o.width = size->first;
        o.height = size->second;
    } else if (arg == "--rotate") {
        const auto radians = ToolArguments::parseRotation(value);
        if (!radians) {
            return failed(ToolArguments::rotationError());
        }
        o.rotation = *radians;
    } else if (arg == "--offset") {
        const auto offset = ToolArguments::parseOffset(value);
        if (!offset) {
            return failed(ToolArguments::offsetError());
        }
        o.du = offset->first;
        o.dv = offset->second;
    } else {
        o.type = IntegerText::whole(value);
        if (!o.type || ProjectionType::find(*o.type) == nullptr) {
            return failed("--type takes a projection code: 1 to 5, or 11 to 15 for stereo");
        }
    }
    return taken(2);
}

} // namespace

WarpArguments::Step WarpArguments::take(int argc, char** argv, int index, WarpOptions& options) {
    const std::string_view arg = argv[index];
    if (isFlag(arg)) {
        options.grid = options.grid || arg == "--grid";
        options.lines = options.lines || arg == "--lines";
        options.overlay = options.overlay && arg != "--no-overlay";
        return taken(1);
    }
    if (!takesValue(arg)) {
        return taken(0);
    }
    if (index + 1 >= argc) {
        return failed("unknown option or missing value: " + std::string(arg));
    }
    return takeValue(arg, argv[index + 1], options);
}

std::string WarpArguments::help(const std::string& defaultSize) {
    return "  --size WxH         size of the picture in pixels (default " + defaultSize +
           ")\n"
           "  --grid             draw the calibration grid through the mesh\n"
           "  --lines            draw the mesh lines\n"
           "  --no-overlay       leave out the overlay band\n"
           "  --rotate RADIANS   turn the picture as a drag on a fisheye mesh does (32-bit "
           "float,\n"
           "                     -100 to 100)\n"
           "  --offset DU,DV     pan the picture by fractions of its width and height (each\n"
           "                     -100 to 100)\n"
           "  --type CODE        draw as this projection type instead of the mesh's own (1 to 5,\n"
           "                     11 to 15)\n";
}

} // namespace lumenarc
