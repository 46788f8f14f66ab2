#pragma once

#include "rendertool/ColourChoice.h"

struct AVFrame;
struct SwsContext;

namespace lumenarc {

// Decoded frames for the warp plane by plane: a frame in the 8-bit planar YUV format the warp
// was prepared for, at its size, with the output's matrix and range, is passed on as it is;
// any other (a stream that changes mid-way) is converted to that first.
class PlanarInput {
public:
    // Whether frames of `input` (format and resolved colour) can be warped plane by plane into
    // pictures of `output`: three planes each, 8 bits in, 8 or 10 bits out (10 in limited
    // range only, where it is 8 times 4), chroma out subsampled alike across and down, the
    // same matrix and range.
    static bool suits(AVPixelFormat input, const Colour& inputColour, AVPixelFormat output,
                      const Colour& outputColour);

    PlanarInput(int width, int height, AVPixelFormat input, AVPixelFormat output,
                const Colour& outputColour);
    ~PlanarInput();
    PlanarInput(const PlanarInput&) = delete;
    PlanarInput& operator=(const PlanarInput&) = delete;

    // Makes the blank `into` hold `frame` (which it may leave blank) in the prepared input
    // format, size and colour; false when libswscale cannot convert it.
    bool take(AVFrame* frame, AVFrame* into);

private:
    bool convert(const AVFrame* frame, const Colour& colour, AVFrame* into);

    int m_width;
    int m_height;
    AVPixelFormat m_input;
    AVPixelFormat m_output;
    Colour m_colour;
    SwsContext* m_context = nullptr;
};

} // namespace lumenarc
