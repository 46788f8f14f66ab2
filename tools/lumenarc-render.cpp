// lumenarc-render: draws every frame of a movie through a distortion mesh exactly as the
// player draws it, and writes a new movie: pre-warped content for show systems that cannot
// warp, and a frame-by-frame check of a mesh on real content.

#include "rendertool/MovieRender.h"
#include "rendertool/RenderArguments.h"
#include "rendertool/StopSignal.h"

extern "C" {
#include <libavutil/log.h>
}

#include <clocale>
#include <cstdio>

using namespace lumenarc;

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    StopSignal::install();
    // Every failure is reported in the tool's own words; libav's lines (a damaged frame
    // concealed, a missing index) would only bury them.
    av_log_set_level(AV_LOG_FATAL);
    const auto parsed = RenderArguments::parse(argc, argv);
    if (parsed.help) {
        std::fputs(RenderArguments::usage().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "lumenarc-render: %s\n\n%s", parsed.error.c_str(),
                     RenderArguments::usage().c_str());
        return 2;
    }
    const int status = MovieRender(parsed.options).run();
    if (status == MovieRender::kStopped) {
        return StopSignal::exitStatus(StopSignal::received());
    }
    return status;
}
