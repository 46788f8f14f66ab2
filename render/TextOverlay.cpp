#include "render/TextOverlay.h"

#include "render/DeveloperLog.h"
#include "render/FontGLLists.h"

#include <QString>

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
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

} // namespace lumenarc
