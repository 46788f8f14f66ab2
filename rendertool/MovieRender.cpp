#include "rendertool/MovieRender.h"

#include "offscreen/OffscreenGL.h"
#include "rendertool/CodecTable.h"
#include "rendertool/ColourChoice.h"
#include "rendertool/MovieReader.h"
#include "rendertool/MovieWriter.h"
#include "rendertool/PlanarInput.h"
#include "rendertool/ProgressLine.h"
#include "rendertool/ReadbackRing.h"
#include "rendertool/RenderPipeline.h"
#include "rendertool/RgbaConverter.h"
#include "rendertool/StopSignal.h"
#include "rendertool/TimeWindow.h"
#include "toolsupport/TempOutput.h"
#include "warp/MeshWarper.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace lumenarc {
namespace {

// Read-back slots: one being written by GL, one waiting, one being encoded.
constexpr int kReadbackSlots = 3;

// The largest frame texture the offscreen context takes.
constexpr int kMaxFrameSide = 16384;

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
    const int multiple = CodecTable::sizeMultiple(*o.codec);
    if (o.warp.width % multiple != 0 || o.warp.height % multiple != 0) {
        return std::string(o.codec->name) + " needs a width and height that are multiples of " +
               std::to_string(multiple) + ", and " + std::to_string(o.warp.width) + "x" +
               std::to_string(o.warp.height) + " is not";
    }
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

// True when OUT already is INPUT, under whatever name: writing it would replace the movie
// being read.
bool sameFile(const std::string& input, const std::string& out) {
    struct stat in {};
    struct stat existing {};
    return stat(input.c_str(), &in) == 0 && stat(out.c_str(), &existing) == 0 &&
           in.st_dev == existing.st_dev && in.st_ino == existing.st_ino;
}

// A start or duration the video's time base cannot count, or "".
std::string windowProblem(const RenderOptions& o, AVRational timeBase) {
    const double most = TimeWindow::maxSeconds(timeBase);
    const auto beyond = [&](const char* option, double seconds) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "%s %g is beyond what the movie's time base (%d/%d s) counts: at most %g "
                      "seconds",
                      option, seconds, timeBase.num, timeBase.den, most);
        return std::string(text);
    };
    if (o.start > most) {
        return beyond("--start", o.start);
    }
    if (o.duration && *o.duration > most) {
        return beyond("--duration", *o.duration);
    }
    return "";
}

// Decoded frames in 8-bit YUV with the encoder's colour are warped plane by plane.
void choosePlanes(RenderPipeline::Parts& parts, MeshWarper& warper, const AVCodecParameters& in) {
    const auto format = static_cast<AVPixelFormat>(in.format);
    const Colour colour = ColourChoice::input(
        Colour{in.color_space, in.color_range, in.color_primaries, in.color_trc}, format, in.width,
        in.height);
    const AVPixelFormat out = parts.writer->pixelFormat();
    if (!parts.processorOnly || !PlanarInput::suits(format, colour, out, parts.writer->colour())) {
        return;
    }
    const AVPixFmtDescriptor* frame = av_pix_fmt_desc_get(format);
    const AVPixFmtDescriptor* picture = av_pix_fmt_desc_get(out);
    parts.planar =
        warper.planesOnProcessor(in.width, in.height, {frame->log2_chroma_w, frame->log2_chroma_h},
                                 {picture->log2_chroma_w, picture->log2_chroma_h});
    parts.frameFormat = format;
    parts.frameChromaShiftY = frame->log2_chroma_h;
    parts.chromaShiftY = picture->log2_chroma_h;
    parts.tenBits = picture->comp[0].depth == 10;
    parts.lumaBlack = ColourChoice::isFullRange(parts.writer->colour().range) ? 0 : 16;
}

} // namespace

// Opens the output: the temporary file, the encoder, the sound streams and the header.
MovieRender::MovieRender(const RenderOptions& options) : m_options(options) {}

MovieRender::~MovieRender() = default;

int MovieRender::openOutput() {
    const RenderOptions& o = m_options;
    std::string error;
    m_temp = TempOutput::create(o.out, &error);
    if (!m_temp) {
        return fail("cannot write " + o.out + ": " + error);
    }
    m_writer = MovieWriter::create(m_temp->path(), o.out, o.container, videoSettings(o, *m_reader),
                                   stopRequested, &error);
    if (!m_writer) {
        return fail(error);
    }
    const AVFormatContext* format = m_reader->format();
    for (unsigned k = 0; o.audio && k < format->nb_streams; ++k) {
        if (format->streams[k]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
            !m_writer->addAudio(format->streams[k], &error)) {
            return fail(error + " (--no-audio leaves the sound out)");
        }
    }
    if (!m_writer->start(&error)) {
        return fail(error);
    }
    return 0;
}

int MovieRender::render() {
    const RenderOptions& o = m_options;
    std::string error;
    const auto gl =
        OffscreenGL::create(o.warp.width, o.warp.height, &error, OffscreenGL::Buffers::ColourOnly);
    if (!gl) {
        return fail(error);
    }
    MeshWarper warper(std::move(m_mesh), o.warp);
    const int stride = RgbaConverter::rowStride(o.warp.width);
    const auto ring =
        ReadbackRing::create(kReadbackSlots, o.warp.width, o.warp.height, stride, &error);
    if (!ring) {
        return fail(error);
    }
    const AVCodecParameters* input = m_reader->videoStream()->codecpar;
    ProgressLine progress(stderr, !o.quiet && isatty(STDERR_FILENO) != 0,
                          totalSeconds(o, *m_reader));
    RenderPipeline::Parts parts;
    parts.reader = m_reader.get();
    parts.writer = m_writer.get();
    parts.warper = &warper;
    parts.ring = ring.get();
    parts.progress = &progress;
    parts.frameWidth = input->width;
    parts.frameHeight = input->height;
    parts.outWidth = o.warp.width;
    parts.outHeight = o.warp.height;
    parts.outStride = stride;
    parts.audio = o.audio;
    parts.processorOnly = warper.processorOnly(input->width, input->height);
    choosePlanes(parts, warper, *input);
    if (const auto why = warper.fallbackReason(); !why.empty()) {
        std::fprintf(stderr, "lumenarc-render: the frames are drawn by GL: %s\n", why.c_str());
    }
    const TimeWindow window(m_reader->videoOrigin(), m_reader->videoStream()->time_base, o.start,
                            o.duration);
    RenderPipeline pipeline(parts, window);
    const bool ran = pipeline.run(&error);
    progress.clear();
    if (StopSignal::requested()) {
        return kStopped;
    }
    if (!ran) {
        return fail(error);
    }
    if (pipeline.frames() == 0) {
        return fail(o.input + " has no video frames in the part asked for");
    }
    const bool finished = m_writer->finish(&error);
    // The encoder's last frames take a moment; a stop meanwhile still leaves OUT alone.
    if (StopSignal::requested()) {
        return kStopped;
    }
    if (!finished) {
        return fail(error);
    }
    if (!m_temp->commit(&error)) {
        return fail("cannot write " + o.out + ": " + error);
    }
    m_frames = pipeline.frames();
    progress.finish(pipeline.frames(), pipeline.lastSeconds());
    return 0;
}

int MovieRender::run() {
    const RenderOptions& o = m_options;
    if (sameFile(o.input, o.out)) {
        return fail("OUT " + o.out + " is the input movie " + o.input + "; writing it would " +
                    "destroy it");
    }
    std::string meshError;
    m_mesh = MeshWarper::loadMesh(o.warp, &meshError);
    if (!m_mesh) {
        std::fputs(meshError.c_str(), stderr);
        return 1;
    }
    if (const auto problem = evenSizeProblem(o); !problem.empty()) {
        return fail(problem);
    }
    std::string error;
    m_reader = MovieReader::open(o.input, &error, stopRequested);
    if (!m_reader) {
        return StopSignal::requested() ? kStopped : fail(error);
    }
    const AVCodecParameters* video = m_reader->videoStream()->codecpar;
    if (video->width <= 0 || video->height <= 0 || video->width > kMaxFrameSide ||
        video->height > kMaxFrameSide) {
        return fail(o.input + " has video of no usable size (" + std::to_string(video->width) +
                    "x" + std::to_string(video->height) + ")");
    }
    if (const auto problem = windowProblem(o, m_reader->videoStream()->time_base);
        !problem.empty()) {
        std::fprintf(stderr, "lumenarc-render: %s\n", problem.c_str());
        return kUsageError;
    }
    int status = openOutput();
    if (status == 0) {
        status = render();
    }
    if (status != 0) {
        m_writer.reset();
        m_temp.reset(); // removes the unfinished file
    }
    return status != 0 && StopSignal::requested() ? kStopped : status;
}

} // namespace lumenarc
