#include "image/PngWriter.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace lumenarc {
namespace {

constexpr uint32_t kMaxSide = 16384;

bool fail(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
    return false;
}

std::vector<uint8_t> withoutAlpha(std::span<const uint8_t> rgba, size_t pixelCount) {
    std::vector<uint8_t> rgb(pixelCount * 3);
    for (size_t i = 0; i < pixelCount; ++i) {
        std::memcpy(&rgb[i * 3], &rgba[i * 4], 3);
    }
    return rgb;
}

// Through a stream of our own: libpng's own file writer removes the file when a write fails,
// whatever the file was.
bool writeFile(const std::string& path, png_image& png, const uint8_t* data, png_int_32 rowStride,
               std::string* error, const std::string& name) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return fail(error, "cannot write " + name + ": " + std::strerror(errno));
    }
    errno = 0;
    const bool encoded = png_image_write_to_stdio(&png, file, 0, data, rowStride, nullptr) != 0;
    int failure = encoded ? 0 : errno;
    if (encoded && std::fflush(file) != 0) {
        failure = errno;
    }
    const std::string message = encoded ? "" : png.message;
    if (std::fclose(file) != 0 && encoded && failure == 0) {
        failure = errno;
    }
    if (encoded && failure == 0) {
        return true;
    }
    // A failed write leaves errno; a refusal of libpng's own only its message.
    return fail(error,
                "cannot write " + name + ": " + (failure != 0 ? std::strerror(failure) : message));
}

} // namespace

bool PngWriter::write(const std::string& path, uint32_t width, uint32_t height, int channels,
                      std::span<const uint8_t> pixels, RowOrder order, std::string* error,
                      const std::string& shownAs) {
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
        return fail(error, "cannot write a " + std::to_string(width) + "x" +
                               std::to_string(height) + " picture");
    }
    if (channels != 3 && channels != 4) {
        return fail(error, "pixels must have 3 or 4 channels, not " + std::to_string(channels));
    }
    const size_t pixelCount = size_t{width} * height;
    if (pixels.size() < pixelCount * static_cast<size_t>(channels)) {
        return fail(error, "fewer pixels than a " + std::to_string(width) + "x" +
                               std::to_string(height) + " picture holds");
    }
    std::vector<uint8_t> rgb;
    const uint8_t* data = pixels.data();
    if (channels == 4) {
        rgb = withoutAlpha(pixels, pixelCount);
        data = rgb.data();
    }
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = width;
    png.height = height;
    png.format = PNG_FORMAT_RGB;
    // A negative stride makes libpng take the last row in memory first.
    const auto stride = static_cast<png_int_32>(width * 3);
    const png_int_32 rowStride = order == RowOrder::BottomFirst ? -stride : stride;
    return writeFile(path, png, data, rowStride, error, shownAs.empty() ? path : shownAs);
}

} // namespace lumenarc
