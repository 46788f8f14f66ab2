#pragma once

#include "image/TiffImage.h"

#include <GL/gl.h>

#include <string>

namespace lumenarc {

// Turns the view's image resources into GL_TEXTURE_2D textures of the current context.
class TextureLoader {
public:
    // Reads a 24-bit RGB or 32-bit RGBA TIFF and uploads it into a new texture: GL_TEXTURE_2D
    // is enabled (and left so), the texture stays bound with linear filters and GL's default
    // repeat wrap, rows top first, no mipmaps. On any failure `name` keeps its value, nothing
    // is reported to the user, and `reason` (if given) says why.
    static bool loadTexture(GLuint& name, const std::string& path, std::string* reason = nullptr);
    // The GL half of loadTexture, for a picture already read.
    static bool uploadTexture(GLuint& name, const TiffImage& image, std::string* reason = nullptr);
};

} // namespace lumenarc
