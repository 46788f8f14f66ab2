#include "render/TextOverlay.h"

#include "base/DeveloperLog.h"
#include "render/FontGLLists.h"

#include <algorithm>
#include <cstdio>

namespace lumenarc {

bool TextOverlay::buildFont(GLuint& base, GlyphSource* source) {
    base = glGenLists(kCodeCount);
    if (source == nullptr) {
        DeveloperLog::write("font is nil\n");
    }
    const bool built = source != nullptr && base != 0 &&
                       FontGLLists(*source).makeGLDisplayListFirst(kFirstCode, kCodeCount, base);
    if (!built) {
        DeveloperLog::write("Didn't make display list\n");
    }
    return built;
}

void TextOverlay::glPrint(GLuint base, const char* format, ...) {
    va_list args;
    va_start(args, format);
    glPrintv(base, format, args);
    va_end(args);
}

void TextOverlay::glPrintv(GLuint base, const char* format, va_list args) {
    if (format == nullptr || *format == '\0' || base == 0) {
        return;
    }
    callLists(base, codeUnits(formatText(format, args)));
}

void TextOverlay::callLists(GLuint base, const std::u16string& codes) {
    glPushAttrib(GL_LIST_BIT);
    // Code unit c selects list base + c - 32; unsigned arithmetic wraps as GL's own does.
    glListBase(base - kFirstCode);
    if (!codes.empty()) {
        glCallLists(static_cast<GLsizei>(codes.size()), GL_UNSIGNED_SHORT, codes.data());
    }
    glPopAttrib();
}

std::string TextOverlay::formatText(const char* format, va_list args) {
    char buffer[kMaxTextBytes + 1];
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (length <= 0) {
        return {};
    }
    return std::string(buffer,
                       std::min<std::size_t>(static_cast<std::size_t>(length), kMaxTextBytes));
}

std::u16string TextOverlay::codeUnits(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        // Sequence length and the smallest code point it may encode (to refuse overlong forms).
        const int length = lead < 0x80                   ? 1
                           : lead >= 0xC2 && lead < 0xE0 ? 2
                           : lead >= 0xE0 && lead < 0xF0 ? 3
                           : lead >= 0xF0 && lead < 0xF5 ? 4
                                                         : 0;
        static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : lead & (0x7F >> length);
        int taken = 1;
        while (length > 1 && taken < length && i + taken < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + taken]) & 0xC0) == 0x80) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + taken]) & 0x3F);
            ++taken;
        }
        const bool valid = length > 0 && taken == length && code >= kMinimum[length] &&
                           code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            out.push_back(u'\uFFFD'); // one replacement per malformed sequence
        } else if (code >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += static_cast<size_t>(taken);
    }
    return out;
}

} // namespace lumenarc
