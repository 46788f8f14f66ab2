#include "rendertool/RgbaConverter.h"

#include "rendertool/ColourChoice.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace lumenarc {

RgbaConverter::~RgbaConverter() {
    sws_freeContext(m_context);
}

bool RgbaConverter::prepare(const AVFrame* frame) {
    const auto format = static_cast<AVPixelFormat>(frame->format);
    SwsContext* context =
        sws_getCachedContext(m_context, frame->width, frame->height, format, m_width, m_height,
                             AV_PIX_FMT_RGBA, kFlags, nullptr, nullptr, nullptr);
    if (context == nullptr) {
        return false;
    }
    const Colour colour = ColourChoice::input(
        Colour{frame->colorspace, frame->color_range, frame->color_primaries, frame->color_trc},
        format, frame->width, frame->height);
    const int matrix = ColourChoice::swsMatrix(colour.matrix);
    const int fullRange = ColourChoice::isFullRange(colour.range) ? 1 : 0;
    if (context != m_context || matrix != m_matrix || fullRange != m_fullRange) {
        const int* coefficients = sws_getCoefficients(matrix);
        sws_setColorspaceDetails(context, coefficients, fullRange, coefficients, 1, 0, 1 << 16,
                                 1 << 16);
        m_matrix = matrix;
        m_fullRange = fullRange;
    }
    m_context = context;
    return true;
}

int RgbaConverter::rowStride(int width) {
    constexpr int kAlign = 64;
    return (width * 4 + kAlign - 1) / kAlign * kAlign;
}

bool RgbaConverter::convert(const AVFrame* frame, uint8_t* rgbaBottomFirst, int stride) {
    if (!prepare(frame)) {
        return false;
    }
    // The last row first with a negative stride: GL's row order without a second pass.
    uint8_t* const planes[4] = {rgbaBottomFirst + static_cast<size_t>(m_height - 1) * stride,
                                nullptr, nullptr, nullptr};
    const int strides[4] = {-stride, 0, 0, 0};
    return sws_scale(m_context, frame->data, frame->linesize, 0, frame->height, planes, strides) ==
           m_height;
}

} // namespace lumenarc
