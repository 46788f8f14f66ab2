// lumenarc-render: draws every frame of a movie through a distortion mesh exactly as the
// player draws it, and writes a new movie: pre-warped content for show systems that cannot
// warp, and a frame-by-frame check of a mesh on real content.

#include "offscreen/OffscreenGL.h"
#include "tools/rendertool/CodecTable.h"
#include "tools/rendertool/ColourChoice.h"
#include "tools/rendertool/MovieReader.h"
#include "tools/rendertool/MovieWriter.h"
#include "tools/rendertool/ProgressLine.h"
#include "tools/rendertool/ReadbackRing.h"
#include "tools/rendertool/RenderArguments.h"
#include "tools/rendertool/RenderPipeline.h"
#include "tools/rendertool/RgbaConverter.h"
#include "tools/rendertool/StopSignal.h"
#include "tools/rendertool/TempOutput.h"
#include "tools/rendertool/TimeWindow.h"
#include "warp/MeshWarper.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <unistd.h>

using namespace lumenarc;

namespace {

// Read-back slots: one being written by GL, one waiting, one being encoded.
constexpr int kReadbackSlots = 3;

int fail(const std::string& message) {
    std::fprintf(stderr, "lumenarc-render: %s\n", message.c_str());
    return 1;
}

bool stopRequested() {
    return StopSignal::requested();
}

MovieWriter::Video videoSettings(const RenderOptions& o, const MovieReader& reader) {
    const AVStream* stream = reader.videoStream();
    const AVCodecParameters* p = stream->codecpar;
    const Colour input = ColourChoice::input(
        Colour{p->color_space, p->color_range, p->color_primaries, p->color_trc},
        static_cast<AVPixelFormat>(p->format), p->width, p->height);
    MovieWriter::Video video;
    video.codec = o.codec;
    video.quality = o.quality;
    video.width = o.warp.width;
    video.height = o.warp.height;
    video.timeBase = stream->time_base;
    video.frameRate = av_guess_frame_rate(reader.format(), const_cast<AVStream*>(stream), nullptr);
    video.colour =
        ColourChoice::output(input, CodecTable::isRgb(CodecTable::pixelFormat(*o.codec, o.quality)),
                             o.warp.width, o.warp.height);
    return video;
}

std::string evenSizeProblem(const RenderOptions& o) {
    const AVPixelFormat format = CodecTable::pixelFormat(*o.codec, o.quality);
    const bool oddWidth = CodecTable::needsEvenWidth(format) && o.warp.width % 2 != 0;
    const bool oddHeight = CodecTable::needsEvenHeight(format) && o.warp.height % 2 != 0;
    if (!oddWidth && !oddHeight) {
        return "";
    }
    const std::string size = std::to_string(o.warp.width) + "x" + std::to_string(o.warp.height);
    const bool both = CodecTable::needsEvenHeight(format);
    return std::string(o.codec->name) + " needs an even " + (both ? "width and height" : "width") +
           ", and " + size + " is not";
}

std::optional<double> totalSeconds(const RenderOptions& o, const MovieReader& reader) {
    const double movie = reader.videoSeconds();
    double total = movie > 0 ? std::max(0.0, movie - o.start) : 0;
    if (o.duration) {
        total = total > 0 ? std::min(total, *o.duration) : *o.duration;
    }
    return total > 0 ? std::optional<double>(total) : std::nullopt;
}

struct Run {
    const RenderOptions& o;
    std::unique_ptr<DistortionMatrix> mesh;
    std::unique_ptr<MovieReader> reader;
    std::unique_ptr<TempOutput> temp;
    std::unique_ptr<MovieWriter> writer;
};

// Opens the output: the temporary file, the encoder, the sound streams and the header.
int openOutput(Run& run) {
    const RenderOptions& o = run.o;
    std::string error;
    run.temp = TempOutput::create(o.out, &error);
    if (!run.temp) {
        return fail("cannot write " + o.out + ": " + error);
    }
    run.writer = MovieWriter::create(run.temp->path(), o.out, o.container,
                                     videoSettings(o, *run.reader), stopRequested, &error);
    if (!run.writer) {
        return fail(error);
    }
    const AVFormatContext* format = run.reader->format();
    for (unsigned k = 0; o.audio && k < format->nb_streams; ++k) {
        if (format->streams[k]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
            !run.writer->addAudio(format->streams[k], &error)) {
            return fail(error);
        }
    }
    if (!run.writer->start(&error)) {
        return fail(error);
    }
    return 0;
}

int render(Run& run) {
    const RenderOptions& o = run.o;
    std::string error;
    const auto gl =
        OffscreenGL::create(o.warp.width, o.warp.height, &error, OffscreenGL::Buffers::ColourOnly);
    if (!gl) {
        return fail(error);
    }
    MeshWarper warper(std::move(run.mesh), o.warp);
    const int stride = RgbaConverter::rowStride(o.warp.width);
    const auto ring =
        ReadbackRing::create(kReadbackSlots, o.warp.width, o.warp.height, stride, &error);
    if (!ring) {
        return fail(error);
    }
    const AVCodecParameters* input = run.reader->videoStream()->codecpar;
    ProgressLine progress(stderr, !o.quiet && isatty(STDERR_FILENO) != 0,
                          totalSeconds(o, *run.reader));
    RenderPipeline::Parts parts;
    parts.reader = run.reader.get();
    parts.writer = run.writer.get();
    parts.warper = &warper;
    parts.ring = ring.get();
    parts.progress = &progress;
    parts.frameWidth = input->width;
    parts.frameHeight = input->height;
    parts.outWidth = o.warp.width;
    parts.outHeight = o.warp.height;
    parts.outStride = stride;
    parts.audio = o.audio;
    const TimeWindow window(run.reader->videoOrigin(), run.reader->videoStream()->time_base,
                            o.start, o.duration);
    RenderPipeline pipeline(parts, window);
    const bool ran = pipeline.run(&error);
    progress.clear();
    if (StopSignal::requested()) {
        return 0; // the caller sees the signal
    }
    if (!ran) {
        return fail(error);
    }
    if (pipeline.frames() == 0) {
        return fail(o.input + " has no video frames in the part asked for");
    }
    if (!run.writer->finish(&error)) {
        return fail(error);
    }
    if (!run.temp->commit(&error)) {
        return fail("cannot write " + o.out + ": " + error);
    }
    progress.finish(pipeline.frames(), pipeline.lastSeconds());
    return 0;
}

int renderMovie(const RenderOptions& o) {
    Run run{o, MeshWarper::loadMesh(o.warp), nullptr, nullptr, nullptr};
    if (!run.mesh) {
        std::fputs(MeshWarper::kInvalidMesh, stderr);
        return 1;
    }
    if (const auto problem = evenSizeProblem(o); !problem.empty()) {
        return fail(problem);
    }
    std::string error;
    run.reader = MovieReader::open(o.input, &error, stopRequested);
    if (!run.reader) {
        return StopSignal::requested() ? 0 : fail(error);
    }
    if (const int status = openOutput(run); status != 0) {
        return status;
    }
    const int status = render(run);
    if (status != 0 || StopSignal::requested()) {
        run.writer.reset();
        run.temp.reset(); // removes the unfinished file
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    StopSignal::install();
    // Every failure is reported in the tool's own words; libav's lines (a damaged frame concealed,
    // a missing index) would only bury them.
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
    const int status = renderMovie(parsed.options);
    if (StopSignal::requested()) {
        return StopSignal::exitStatus(StopSignal::received());
    }
    return status;
}
