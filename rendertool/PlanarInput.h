#pragma once

#include "rendertool/ColourChoice.h"

struct AVFrame;
struct SwsContext;

namespace lumenarc {

// Decoded frames for the warp plane by plane: a frame already in the output's 8-bit planar
// YUV format, at the size the warp was prepared for, with the output's matrix and range, is
// passed on as it is; any other (a stream that changes mid-way) is converted to that first.
class PlanarInput {
public:
    // Whether pictures of `input` (format and resolved colour) can be warped plane by plane
    // into `output`: the same 8-bit planar YUV format with three planes, matrix and range.
    static bool suits(AVPixelFormat input, const Colour& inputColour, AVPixelFormat output,
                      const Colour& outputColour);

    PlanarInput(int width, int height, AVPixelFormat format, const Colour& colour);
    ~PlanarInput();
    PlanarInput(const PlanarInput&) = delete;
    PlanarInput& operator=(const PlanarInput&) = delete;

    // Makes the blank `into` hold `frame` (which it may leave blank) in the prepared format,
    // size and colour; false when libswscale cannot convert it.
    bool take(AVFrame* frame, AVFrame* into);

private:
    bool convert(const AVFrame* frame, const Colour& colour, AVFrame* into);

    int m_width;
    int m_height;
    AVPixelFormat m_format;
    Colour m_colour;
    SwsContext* m_context = nullptr;
};

} // namespace lumenarc
