#pragma once

#include "render/GlyphSource.h"

#include <functional>
#include <vector>

namespace lumenarc {

// A font whose glyphs are simple patterns, so tests know every pixel. Samples come three per
// pixel; only the first carries the glyph, the others are always set.
class FakeGlyphSource : public GlyphSource {
public:
    std::function<GlyphSize(char16_t)> size = [](char16_t) { return GlyphSize{11.0, 6.0}; };
    // Whether pixel (x, y) of a glyph is lit, y = 0 being the top row.
    std::function<bool(char16_t, int, int)> lit = [](char16_t, int, int) { return true; };
    std::vector<char16_t> measured;
    std::vector<char16_t> rendered;

    GlyphSize measure(char16_t code) override {
        measured.push_back(code);
        return size(code);
    }

    GlyphImage render(char16_t code, int width, int height) override {
        rendered.push_back(code);
        constexpr int samples = 3;
        GlyphImage image{width, height, width * samples + 5, samples, {}};
        image.samples.assign(static_cast<size_t>(image.bytesPerRow) * height, 0xFF);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                image.samples[y * image.bytesPerRow + x * samples] = lit(code, x, y) ? 0xFF : 0;
            }
        }
        return image;
    }
};

} // namespace lumenarc
