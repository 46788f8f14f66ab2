#include "rendertool/PlanarInput.h"

#include "rendertool/OutputConverter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace lumenarc {

namespace {

// Three planes of one component each, little-endian, not RGB; their bits, or 0.
int planarYuvDepth(AVPixelFormat format) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    if (d == nullptr || d->nb_components != 3 ||
        (d->flags & (AV_PIX_FMT_FLAG_PLANAR | AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL |
                     AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_HWACCEL)) != AV_PIX_FMT_FLAG_PLANAR) {
        return 0;
    }
    for (int k = 0; k < 3; ++k) {
        if (d->comp[k].plane != k || d->comp[k].shift != 0 ||
            d->comp[k].depth != d->comp[0].depth) {
            return 0;
        }
    }
    return d->comp[0].depth;
}

} // namespace

bool PlanarInput::suits(AVPixelFormat input, const Colour& inputColour, AVPixelFormat output,
                        const Colour& outputColour) {
    const int out = planarYuvDepth(output);
    // The chroma map is the mesh drawn over the picture's chroma plane, which keeps the
    // view's shape only when both axes are subsampled alike (4:2:0, 4:4:4; not 4:2:2).
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(output);
    return planarYuvDepth(input) == 8 && d->log2_chroma_w == d->log2_chroma_h &&
           (out == 8 || (out == 10 && !ColourChoice::isFullRange(outputColour.range))) &&
           ColourChoice::swsMatrix(inputColour.matrix) ==
               ColourChoice::swsMatrix(outputColour.matrix) &&
           inputColour.range == outputColour.range;
}

PlanarInput::PlanarInput(int width, int height, AVPixelFormat input, AVPixelFormat output,
                         const Colour& outputColour)
    : m_width(width), m_height(height), m_input(input), m_output(output), m_colour(outputColour) {}

PlanarInput::~PlanarInput() {
    sws_freeContext(m_context);
}

bool PlanarInput::take(AVFrame* frame, AVFrame* into) {
    const auto format = static_cast<AVPixelFormat>(frame->format);
    const Colour colour = ColourChoice::input(
        Colour{frame->colorspace, frame->color_range, frame->color_primaries, frame->color_trc},
        format, frame->width, frame->height);
    if (format == m_input && frame->width == m_width && frame->height == m_height &&
        suits(format, colour, m_output, m_colour)) {
        av_frame_move_ref(into, frame);
        return true;
    }
    return convert(frame, colour, into);
}

bool PlanarInput::convert(const AVFrame* frame, const Colour& colour, AVFrame* into) {
    m_context = sws_getCachedContext(
        m_context, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), m_width,
        m_height, m_input, OutputConverter::kYuvFlags, nullptr, nullptr, nullptr);
    if (m_context == nullptr) {
        return false;
    }
    const int* in = sws_getCoefficients(ColourChoice::swsMatrix(colour.matrix));
    const int* out = sws_getCoefficients(ColourChoice::swsMatrix(m_colour.matrix));
    sws_setColorspaceDetails(m_context, in, ColourChoice::isFullRange(colour.range) ? 1 : 0, out,
                             ColourChoice::isFullRange(m_colour.range) ? 1 : 0, 0, 1 << 16,
                             1 << 16);
    into->format = m_input;
    into->width = m_width;
    into->height = m_height;
    if (av_frame_get_buffer(into, 0) < 0) {
        return false;
    }
    return sws_scale(m_context, frame->data, frame->linesize, 0, frame->height, into->data,
                     into->linesize) == m_height;
}

} // namespace lumenarc
