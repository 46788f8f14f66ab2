// lumenarc-render's throughput without an encoder: the movie is decoded and warped exactly as
// in a real render to 4:2:0 (plane by plane when the movie is 4:2:0 too, else through RGB and
// back), and the pictures are then handed to libavcodec's wrapped_avframe encoder and the null
// muxer, which keep nothing. Run by bench/render-tool-bench:
//   render_throughput MOVIE MESH [WxH]

#include "rendertool/MovieRender.h"
#include "rendertool/RenderOptions.h"
#include "rendertool/StopSignal.h"
#include "toolsupport/ToolArguments.h"

extern "C" {
#include <libavutil/log.h>
}

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

using namespace lumenarc;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: render_throughput MOVIE MESH [WxH]\n", stderr);
        return 2;
    }
    av_log_set_level(AV_LOG_FATAL);
    StopSignal::install();
    static const VideoCodec null{"null", "wrapped_avframe", "", 0, 0, 0, true};
    RenderOptions o;
    o.input = argv[1];
    o.warp.mesh = argv[2];
    o.warp.width = 1920;
    o.warp.height = 1080;
    o.warp.overlay = false;
    if (argc > 3) {
        const auto size = tools::ToolArguments::parseSize(argv[3], 16384);
        if (!size) {
            return 2;
        }
        o.warp.width = size->first;
        o.warp.height = size->second;
    }
    o.codec = &null;
    o.container = "null";
    o.quiet = true;
    o.audio = false;
    o.out = (std::filesystem::temp_directory_path() / "render-throughput.null").string();
    const auto started = std::chrono::steady_clock::now();
    MovieRender render(o);
    const int status = render.run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::filesystem::remove(o.out);
    if (status != 0) {
        return status;
    }
    std::printf("%lld %.3f\n", static_cast<long long>(render.frames()), seconds);
    return 0;
}
