#include "rendertool/PlanarInput.h"

#include "rendertool/OutputConverter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace lumenarc {

bool PlanarInput::suits(AVPixelFormat input, const Colour& inputColour, AVPixelFormat output,
                        const Colour& outputColour) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(output);
    if (input != output || d == nullptr || d->nb_components != 3 || d->comp[0].depth != 8 ||
        (d->flags & (AV_PIX_FMT_FLAG_PLANAR | AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL |
                     AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_HWACCEL)) != AV_PIX_FMT_FLAG_PLANAR) {
        return false;
    }
    for (int k = 0; k < 3; ++k) {
        if (d->comp[k].plane != k || d->comp[k].step != 1 || d->comp[k].shift != 0) {
            return false;
        }
    }
    return ColourChoice::swsMatrix(inputColour.matrix) ==
               ColourChoice::swsMatrix(outputColour.matrix) &&
           inputColour.range == outputColour.range;
}

PlanarInput::PlanarInput(int width, int height, AVPixelFormat format, const Colour& colour)
    : m_width(width), m_height(height), m_format(format), m_colour(colour) {}

PlanarInput::~PlanarInput() {
    sws_freeContext(m_context);
}

bool PlanarInput::take(AVFrame* frame, AVFrame* into) {
    const auto format = static_cast<AVPixelFormat>(frame->format);
    const Colour colour = ColourChoice::input(
        Colour{frame->colorspace, frame->color_range, frame->color_primaries, frame->color_trc},
        format, frame->width, frame->height);
    if (frame->width == m_width && frame->height == m_height &&
        suits(format, colour, m_format, m_colour)) {
        av_frame_move_ref(into, frame);
        return true;
    }
    return convert(frame, colour, into);
}

bool PlanarInput::convert(const AVFrame* frame, const Colour& colour, AVFrame* into) {
    m_context = sws_getCachedContext(
        m_context, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), m_width,
        m_height, m_format, OutputConverter::kYuvFlags, nullptr, nullptr, nullptr);
    if (m_context == nullptr) {
        return false;
    }
    const int* in = sws_getCoefficients(ColourChoice::swsMatrix(colour.matrix));
    const int* out = sws_getCoefficients(ColourChoice::swsMatrix(m_colour.matrix));
    sws_setColorspaceDetails(m_context, in, ColourChoice::isFullRange(colour.range) ? 1 : 0, out,
                             ColourChoice::isFullRange(m_colour.range) ? 1 : 0, 0, 1 << 16,
                             1 << 16);
    into->format = m_format;
    into->width = m_width;
    into->height = m_height;
    if (av_frame_get_buffer(into, 0) < 0) {
        return false;
    }
    return sws_scale(m_context, frame->data, frame->linesize, 0, frame->height, into->data,
                     into->linesize) == m_height;
}

} // namespace lumenarc
