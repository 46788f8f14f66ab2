#include "image/PngWriter.h"

#include <png.h>

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

} // namespace

bool PngWriter::write(const std::string& path, uint32_t width, uint32_t height, int channels,
                      std::span<const uint8_t> pixels, RowOrder order, std::string* error) {
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
    if (!png_image_write_to_file(&png, path.c_str(), 0, data, rowStride, nullptr)) {
        return fail(error, "cannot write " + path + ": " + png.message);
    }
    return true;
}

} // namespace lumenarc
