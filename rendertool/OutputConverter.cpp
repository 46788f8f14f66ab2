#include "rendertool/OutputConverter.h"

#include "rendertool/CodecTable.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace lumenarc {

OutputConverter::OutputConverter(int width, int height, AVPixelFormat format, const Colour& colour)
    : m_height(height) {
    const bool rgb = CodecTable::isRgb(format);
    m_context = sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, format,
                               rgb ? kRgbFlags : kYuvFlags, nullptr, nullptr, nullptr);
    if (m_context != nullptr && !rgb) {
        const int* coefficients = sws_getCoefficients(ColourChoice::swsMatrix(colour.matrix));
        sws_setColorspaceDetails(m_context, coefficients, 1, coefficients,
                                 ColourChoice::isFullRange(colour.range) ? 1 : 0, 0, 1 << 16,
                                 1 << 16);
    }
}

OutputConverter::~OutputConverter() {
    sws_freeContext(m_context);
}

bool OutputConverter::convert(const uint8_t* rgbaBottomFirst, int stride, AVFrame* frame) {
    const uint8_t* const planes[4] = {rgbaBottomFirst + static_cast<size_t>(m_height - 1) * stride,
                                      nullptr, nullptr, nullptr};
    const int strides[4] = {-stride, 0, 0, 0};
    return sws_scale(m_context, planes, strides, 0, m_height, frame->data, frame->linesize) ==
           m_height;
}

} // namespace lumenarc
