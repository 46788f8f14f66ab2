#include "rendertool/ColourChoice.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace lumenarc {
namespace {

bool isJpegFormat(AVPixelFormat format) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
        return true;
    default:
        return false;
    }
}

bool isRgbFormat(AVPixelFormat format) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor != nullptr && (descriptor->flags & AV_PIX_FMT_FLAG_RGB) != 0;
}

bool knownMatrix(AVColorSpace matrix) {
    switch (matrix) {
    case AVCOL_SPC_BT709:
    case AVCOL_SPC_FCC:
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_SMPTE240M:
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return true;
    default:
        return false;
    }
}

} // namespace

Colour ColourChoice::input(const Colour& tagged, AVPixelFormat format, int width, int height) {
    const bool hd = isHd(width, height);
    Colour c = tagged;
    if (!knownMatrix(c.matrix)) {
        c.matrix = hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    }
    if (isJpegFormat(format) || isRgbFormat(format)) {
        c.range = AVCOL_RANGE_JPEG;
    } else if (c.range != AVCOL_RANGE_JPEG) {
        c.range = AVCOL_RANGE_MPEG;
    }
    if (c.primaries == AVCOL_PRI_UNSPECIFIED || c.primaries == AVCOL_PRI_RESERVED ||
        c.primaries == AVCOL_PRI_RESERVED0) {
        c.primaries =
            hd ? AVCOL_PRI_BT709 : (height == 576 ? AVCOL_PRI_BT470BG : AVCOL_PRI_SMPTE170M);
    }
    if (c.transfer == AVCOL_TRC_UNSPECIFIED || c.transfer == AVCOL_TRC_RESERVED ||
        c.transfer == AVCOL_TRC_RESERVED0) {
        c.transfer = AVCOL_TRC_BT709;
    }
    return c;
}

Colour ColourChoice::output(const Colour& input, bool rgbOutput, int width, int height) {
    Colour c = input;
    if (rgbOutput) {
        c.matrix = AVCOL_SPC_RGB;
        c.range = AVCOL_RANGE_JPEG;
    } else {
        c.matrix = isHd(width, height) ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
        c.range = AVCOL_RANGE_MPEG;
    }
    return c;
}

int ColourChoice::swsMatrix(AVColorSpace matrix) {
    switch (matrix) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        return SWS_CS_ITU601;
    }
}

} // namespace lumenarc
