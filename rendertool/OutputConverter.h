#pragma once

#include "rendertool/ColourChoice.h"

#include <cstdint>

struct AVFrame;
struct SwsContext;

namespace lumenarc {

// Turns drawn RGBA pictures (rows bottom first, as GL reads them) into the encoder's pixel
// format: YUV with the output's matrix and range, or RGB unchanged for the lossless codec.
class OutputConverter {
public:
    // SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP: chroma from every pixel, filtered
    // down, rounded exactly. RGB to RGB is a plain reordering (SWS_POINT).
    static constexpr int kYuvFlags = 0x4 | 0x40000 | 0x4000;
    static constexpr int kRgbFlags = 0x10;

    OutputConverter(int width, int height, AVPixelFormat format, const Colour& colour);
    ~OutputConverter();
    OutputConverter(const OutputConverter&) = delete;
    OutputConverter& operator=(const OutputConverter&) = delete;

    bool valid() const { return m_context != nullptr; }
    // Fills `frame` (allocated in the output format and size, writable) from rows `stride`
    // bytes apart, with room after each row for libswscale's vector reads
    // (RgbaConverter::rowStride).
    bool convert(const uint8_t* rgbaBottomFirst, int stride, AVFrame* frame);

private:
    int m_height;
    SwsContext* m_context = nullptr;
};

} // namespace lumenarc
