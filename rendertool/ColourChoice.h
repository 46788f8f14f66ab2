#pragma once

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace lumenarc {

// What a picture's numbers mean: the YUV matrix, the range, the primaries and the transfer.
struct Colour {
    AVColorSpace matrix = AVCOL_SPC_UNSPECIFIED;
    AVColorRange range = AVCOL_RANGE_UNSPECIFIED;
    AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
};

// The colour decisions of the movie tool. The drawing works on the input's RGB as it is: the
// primaries and the transfer pass through untouched, so only the YUV matrix and the range
// change between the input and the output.
//
// An untagged input is read as a player reads it: BT.709 from 1280 wide or more than 576
// lines up, BT.601 below; limited range for YUV (full for the JPEG formats). The output
// matrix follows the same rule on the output size; YUV output is limited range, RGB output
// full range with the RGB matrix tag.
class ColourChoice {
public:
    static bool isHd(int width, int height) { return width >= 1280 || height > 576; }
    // The input's tags with every unspecified one resolved.
    static Colour input(const Colour& tagged, AVPixelFormat format, int width, int height);
    // The output's tags for an input read as `input`.
    static Colour output(const Colour& input, bool rgbOutput, int width, int height);
    // The libswscale coefficient table (SWS_CS_*) of a matrix.
    static int swsMatrix(AVColorSpace matrix);
    static bool isFullRange(AVColorRange range) { return range == AVCOL_RANGE_JPEG; }
};

} // namespace lumenarc
