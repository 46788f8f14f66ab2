#pragma once

#include "render/GlyphImage.h"
#include "render/GlyphSource.h"

#include <GL/gl.h>

#include <cstdint>
#include <utility>

namespace lumenarc {

// Compiles the glyphs of one font into GL bitmap display lists, one list per character code.
// Every GL call needs the target context current on the calling thread.
class FontGLLists {
public:
    explicit FontGLLists(GlyphSource& font);

    // Lists base .. base + count - 1 for the codes first .. first + count - 1. A character whose
    // glyph measures empty gets no list, but keeps the numbering of the ones after it. Codes
    // beyond 0xFFFF do not exist and are not built. Answers false if a list is being compiled
    // (nothing touched) or a glyph cannot be packed (the lists before it stay built).
    bool makeGLDisplayListFirst(uint16_t first, int32_t count, GLuint base);
    // Compiles one glBitmap into listNumber, advancing the raster position by the glyph width.
    bool makeDisplayList(GLuint listNumber, const GlyphImage& glyphImage);

    static void setOpenGLLogging(bool enabled);
    static bool openGLLogging();
    // One developer log line, "NSFont_OpenGL: " and the formatted message, while logging is on.
    static void doOpenGLLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // The measured size rounded outward to whole pixels, as an integral rectangle at the origin
    // would be: {0, 0} when either side is not positive. Sides too large to render saturate
    // just above GlyphBitmap::kMaxSide.
    static std::pair<int, int> integralSize(GlyphSize measured);
    // How many of the requested codes exist: count cut to 0 .. 0x10000 - first.
    static int32_t codesInRange(uint16_t first, int32_t count);

private:
    bool buildGlyph(char16_t code, GLuint listNumber);
    static void setUnpackState();

    GlyphSource& m_font;
};

} // namespace lumenarc
