#include "rendertool/RenderArguments.h"

#include "base/IntegerText.h"
#include "toolsupport/ToolArguments.h"
#include "warp/WarpArguments.h"

#include <string_view>

namespace lumenarc {
namespace {

using tools::ToolArguments;

std::string qualityHelp() {
    std::string text;
    for (const auto& codec : CodecTable::codecs()) {
        text +=
            "                       " + std::string(codec.name) + ": " + std::string(codec.scale);
        if (!codec.lossless) {
            text += " (default " + std::to_string(codec.qualityDefault) + ")";
        }
        text += "\n";
    }
    return text;
}

// Takes one option of the movie tool's own; an error message, or "" when taken.
std::string takeOwn(std::string_view arg, const char* value, RenderOptions& o,
                    std::optional<int>& quality, std::string& codecName) {
    if (arg == "--out") {
        o.out = value;
    } else if (arg == "--codec") {
        codecName = value;
    } else if (arg == "--quality") {
        quality = IntegerText::whole(value);
        if (!quality) {
            return "--quality takes an integer";
        }
    } else if (arg == "--start") {
        const auto seconds = ToolArguments::parseDouble(value);
        if (!seconds || *seconds < 0) {
            return "--start takes a number of seconds, 0 or more";
        }
        o.start = *seconds;
    } else if (arg == "--duration") {
        o.duration = ToolArguments::parseDouble(value);
        if (!o.duration || *o.duration <= 0) {
            return "--duration takes a number of seconds, more than 0";
        }
    } else {
        return "unknown option: " + std::string(arg);
    }
    return "";
}

// Checks what depends on several options at once.
std::string check(RenderOptions& o, std::optional<int> quality, const std::string& codecName) {
    if (o.warp.mesh.empty() || o.out.empty() || o.input.empty()) {
        return "--mesh, --out and INPUT are required";
    }
    o.codec = CodecTable::find(codecName);
    if (o.codec == nullptr) {
        return "--codec takes h264, hevc, prores, ffv1 or hap";
    }
    const auto container = CodecTable::containerFor(o.out);
    if (!container) {
        return "OUT must end in .mp4, .mov or .mkv";
    }
    o.container = *container;
    if (!CodecTable::containerTakes(o.container, *o.codec)) {
        return std::string(o.codec->name) +
               (o.codec->name == "hap" ? " needs a .mov file" : " needs a .mov or .mkv file");
    }
    if (quality && o.codec->lossless) {
        return std::string(o.codec->name) + " is lossless and takes no --quality";
    }
    o.quality = quality.value_or(o.codec->qualityDefault);
    if (o.quality < o.codec->qualityMin || o.quality > o.codec->qualityMax) {
        return "--quality for " + std::string(o.codec->name) + " takes " +
               std::to_string(o.codec->qualityMin) + " to " + std::to_string(o.codec->qualityMax);
    }
    return "";
}

} // namespace

std::string RenderArguments::usage() {
    return "Usage: lumenarc-render --mesh MESH --out OUT [--size WxH] [--grid] [--lines]\n"
           "                       [--no-overlay] [--rotate RADIANS] [--offset DU,DV] [--type "
           "CODE]\n"
           "                       [--codec h264|hevc|prores|ffv1|hap] [--quality N]\n"
           "                       [--start SECONDS] [--duration SECONDS] [--no-audio] "
           "[--quiet]\n"
           "                       INPUT\n"
           "\n"
           "Draws every frame of the movie INPUT through the distortion matrix MESH exactly as\n"
           "the Lumenarc player draws it, and writes the frames as a new movie OUT. The\n"
           "container follows OUT's extension: .mp4, .mov or .mkv.\n"
           "\n" +
           WarpArguments::help("1920x1080") +
           "  --codec NAME       h264 (default), hevc, prores (.mov, .mkv), ffv1 (.mov, .mkv)\n"
           "                     or hap (.mov; width and height multiples of 4)\n"
           "  --quality N        on the encoder's own scale:\n" +
           qualityHelp() +
           "                       (x264 and x265 run their medium preset with a look-ahead\n"
           "                       of 10 frames, which keeps memory bounded)\n" +
           "  --start SECONDS    begin with the first frame at or after this time\n"
           "  --duration SECONDS keep the frames that start within this time (both at most\n"
           "                     what the movie's time base counts)\n"
           "  --no-audio         leave the sound out (by default it is copied, or re-encoded\n"
           "                     where the container does not take it)\n"
           "  --quiet            no progress line\n"
           "\n"
           "Every input frame gives one output frame with its own time stamp. Frames are\n"
           "converted to RGB with the input's YUV matrix (BT.709 when untagged from 1280 wide\n"
           "or more than 576 lines, BT.601 below), drawn, and converted back with BT.709 for\n"
           "HD output sizes and BT.601 below, limited range; FFV1 and HAP keep the drawn RGB\n"
           "(Hap Alpha also its alpha: 0 where the mesh draws nothing).\n"
           "\n"
           "OUT is written beside itself under a hidden name and renamed into place when\n"
           "complete; it may not be INPUT itself, nor a folder, device or FIFO.\n"
           "\n"
           "Exit status: 0 on success, 1 for an input, mesh or output that cannot be used,\n"
           "2 for a usage error, 130, 143 or 129 when stopped by SIGINT, SIGTERM or SIGHUP.\n";
}

RenderArguments::Result RenderArguments::parse(int argc, char** argv) {
    Result r;
    RenderOptions& o = r.options;
    o.warp.width = 1920;
    o.warp.height = 1080;
    std::optional<int> quality;
    std::string codecName = "h264";
    for (int a = 1; a < argc;) {
        const std::string_view arg = argv[a];
        const auto step = WarpArguments::take(argc, argv, a, o.warp);
        if (!step.error.empty()) {
            r.error = step.error;
            return r;
        }
        if (step.taken > 0) {
            a += step.taken;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            r.help = true;
            return r;
        }
        if (arg == "--no-audio" || arg == "--quiet") {
            o.audio = o.audio && arg != "--no-audio";
            o.quiet = o.quiet || arg == "--quiet";
            ++a;
            continue;
        }
        if (!arg.starts_with("-")) {
            if (!o.input.empty()) {
                r.error = "only one INPUT, please";
                return r;
            }
            o.input = argv[a++];
            continue;
        }
        if (a + 1 >= argc) {
            r.error = "unknown option or missing value: " + std::string(arg);
            return r;
        }
        r.error = takeOwn(arg, argv[a + 1], o, quality, codecName);
        if (!r.error.empty()) {
            return r;
        }
        a += 2;
    }
    r.error = check(o, quality, codecName);
    return r;
}

} // namespace lumenarc
