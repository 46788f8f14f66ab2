#pragma once

#include "render/GlyphSource.h"

#include <GL/gl.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumenarc {

// The video view's text operations: one bitmap display list per printable ASCII character,
// built once when the view's context is prepared, then called for whole strings.
class TextOverlay {
public:
    static constexpr uint16_t kFirstCode = 32; // space
    static constexpr int32_t kCodeCount = 95;  // through tilde
    static constexpr std::size_t kMaxTextBytes = 4096;

    // Reserves the lists into base and builds them from source; nullptr means the font is
    // missing. If GL reserves nothing (base 0), nothing is built: building at 0 would write into
    // lists that were never reserved. Returns whether the lists were built.
    static bool buildFont(GLuint& base, GlyphSource* source);
    // Formats the text and draws it at the current raster position in the raster colour. A null
    // or empty format, or a base of 0 (no lists reserved), returns without touching GL.
    static void glPrint(GLuint base, const char* format, ...) __attribute__((format(printf, 2, 3)));
    static void glPrintv(GLuint base, const char* format, va_list args);

    // The printf-style text, cut at kMaxTextBytes.
    static std::string formatText(const char* format, va_list args);
    // The UTF-16 code units of UTF-8 text; a malformed sequence becomes U+FFFD.
    static std::u16string codeUnits(std::string_view utf8);

private:
    static void callLists(GLuint base, const std::u16string& codes);
};

} // namespace lumenarc
