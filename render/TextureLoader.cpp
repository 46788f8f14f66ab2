#include "render/TextureLoader.h"

#include <cstdio>

namespace lumenarc {
namespace {

void setReason(std::string* reason, const std::string& text) {
    if (reason != nullptr) {
        *reason = text;
    }
}

std::string glErrorText(GLenum error) {
    char text[32];
    std::snprintf(text, sizeof text, "GL error 0x%04X", static_cast<unsigned>(error));
    return text;
}

// Errors left by earlier calls are not the upload's. The loop is bounded because a lost
// context may keep reporting itself.
void clearEarlierErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

GLint maxTextureSide() {
    GLint side = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
    return side;
}

// Rows are tightly packed, so RGB rows of a width that is not a multiple of 4 would be read
// skewed under GL's default alignment of 4. The client pixel-store state is saved and restored
// around the upload, leaving the caller's settings as they were.
void uploadPixels(const TiffImage& image) {
    const GLenum format = image.hasAlpha() ? GL_RGBA : GL_RGB;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), static_cast<GLsizei>(image.width()),
                 static_cast<GLsizei>(image.height()), 0, format, GL_UNSIGNED_BYTE,
                 image.pixels().data());
    glPopClientAttrib();
}

} // namespace

bool TextureLoader::loadTexture(GLuint& name, const std::string& path, std::string* reason) {
    const auto image = TiffImage::read(path, reason);
    return image.has_value() && uploadTexture(name, *image, reason);
}

bool TextureLoader::uploadTexture(GLuint& name, const TiffImage& image, std::string* reason) {
    const GLint maxSide = maxTextureSide();
    if (maxSide <= 0) {
        setReason(reason, "no current GL context to upload into");
        return false;
    }
    if (image.width() > static_cast<GLuint>(maxSide) ||
        image.height() > static_cast<GLuint>(maxSide)) {
        setReason(reason,
                  "a " + std::to_string(image.width()) + "x" + std::to_string(image.height()) +
                      " picture exceeds GL's largest texture side of " + std::to_string(maxSide));
        return false;
    }
    clearEarlierErrors();
    GLuint texture = 0;
    glEnable(GL_TEXTURE_2D);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLfloat>(GL_LINEAR));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLfloat>(GL_LINEAR));
    uploadPixels(image);
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        glDeleteTextures(1, &texture);
        setReason(reason, "GL refused the texture upload: " + glErrorText(error));
        return false;
    }
    name = texture;
    return true;
}

} // namespace lumenarc
