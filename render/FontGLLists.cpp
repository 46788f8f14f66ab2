#include "render/FontGLLists.h"

#include "base/DeveloperLog.h"
#include "render/GlyphBitmap.h"

#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace lumenarc {
namespace {

std::atomic<bool> loggingEnabled{true};

int integralSide(double side) {
    const double rounded = std::ceil(side);
    // Also catches infinity; NaN never gets here.
    return rounded > GlyphBitmap::kMaxSide ? GlyphBitmap::kMaxSide + 1 : static_cast<int>(rounded);
}

} // namespace

FontGLLists::FontGLLists(GlyphSource& font) : m_font(font) {}

void FontGLLists::setOpenGLLogging(bool enabled) {
    loggingEnabled.store(enabled);
}

bool FontGLLists::openGLLogging() {
    return loggingEnabled.load();
}

void FontGLLists::doOpenGLLog(const char* format, ...) {
    if (!openGLLogging() || format == nullptr) {
        return;
    }
    // Log lines are short; a longer message is cut rather than allocated.
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    DeveloperLog::write(std::string("NSFont_OpenGL: ") + message + "\n");
}

std::pair<int, int> FontGLLists::integralSize(GlyphSize measured) {
    if (!(measured.width > 0.0) || !(measured.height > 0.0)) {
        return {0, 0};
    }
    return {integralSide(measured.width), integralSide(measured.height)};
}

int32_t FontGLLists::codesInRange(uint16_t first, int32_t count) {
    if (count <= 0) {
        return 0;
    }
    const int32_t available = 0x10000 - int32_t{first};
    return count < available ? count : available;
}

void FontGLLists::setUnpackState() {
    // Bitmaps are unpacked when the list is compiled: MSB first, rows packed to whole bytes.
    glPixelStorei(GL_UNPACK_SWAP_BYTES, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

bool FontGLLists::makeGLDisplayListFirst(uint16_t first, int32_t count, GLuint base) {
    GLint listUnderConstruction = 0;
    glGetIntegerv(GL_LIST_INDEX, &listUnderConstruction);
    if (listUnderConstruction != 0) {
        doOpenGLLog("Display list already under construction");
        return false;
    }
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    setUnpackState();
    const int32_t codes = codesInRange(first, count);
    for (int32_t i = 0; i < codes; ++i) {
        // The list number follows the code, built or not.
        if (!buildGlyph(static_cast<char16_t>(first + i), base + static_cast<GLuint>(i))) {
            glPopClientAttrib();
            return false;
        }
    }
    glPopClientAttrib();
    return true;
}

bool FontGLLists::buildGlyph(char16_t code, GLuint listNumber) {
    const auto [width, height] = integralSize(m_font.measure(code));
    if (width <= 0 || height <= 0) {
        return true;
    }
    // An absurd size is not rendered; its empty image takes the allocation-failure path.
    GlyphImage image = GlyphBitmap::fits(width, height) ? m_font.render(code, width, height)
                                                        : GlyphImage{width, height, 0, 1, {}};
    return makeDisplayList(listNumber, image);
}

bool FontGLLists::makeDisplayList(GLuint listNumber, const GlyphImage& glyphImage) {
    const auto bitmap = GlyphBitmap::pack(glyphImage);
    if (!bitmap) {
        doOpenGLLog("Failed to calloc() memory in makeDisplayList:withImage:");
        return false;
    }
    const auto width = static_cast<GLsizei>(bitmap->width());
    glNewList(listNumber, GL_COMPILE);
    glBitmap(width, bitmap->height(), 0.0f, 0.0f, static_cast<GLfloat>(width), 0.0f,
             bitmap->bits().data());
    glEndList();
    return true;
}

} // namespace lumenarc
