#pragma once

#include "render/GlyphImage.h"

namespace lumenarc {

// The size a one-character string takes when drawn, in pixels, before rounding.
struct GlyphSize {
    double width = 0.0;
    double height = 0.0;
};

// The text system behind the overlay's font: measures single characters and renders them white
// on black, without antialiasing, one pixel per unit.
class GlyphSource {
public:
    virtual ~GlyphSource() = default;

    virtual GlyphSize measure(char16_t code) = 0;
    // The character drawn from the top-left corner of a black width x height image. An image
    // that cannot be allocated comes back with its size and no samples.
    virtual GlyphImage render(char16_t code, int width, int height) = 0;
};

} // namespace lumenarc
