#include "render/GlyphBitmap.h"

#include <new>

namespace lumenarc {

GlyphBitmap::GlyphBitmap(int width, int height, std::vector<uint8_t> bits)
    : m_width(width), m_height(height), m_bits(std::move(bits)) {}

bool GlyphBitmap::fits(int width, int height) {
    return width >= 0 && height >= 0 && width <= kMaxSide && height <= kMaxSide;
}

std::size_t GlyphBitmap::packedBytesPerRow(int width) {
    return width > 0 ? (static_cast<std::size_t>(width) + 7) / 8 : 0;
}

std::optional<std::size_t> GlyphBitmap::bufferSize(const GlyphImage& image) {
    if (!fits(image.width, image.height) || image.samplesPerPixel < 1) {
        return std::nullopt;
    }
    const auto rowSamples =
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.samplesPerPixel);
    if (image.bytesPerRow < 0 || static_cast<std::size_t>(image.bytesPerRow) < rowSamples) {
        return std::nullopt;
    }
    // bytesPerRow is an int and height at most kMaxSide, so the product cannot overflow.
    const std::size_t size = (static_cast<std::size_t>(image.bytesPerRow) + 7) / 8 *
                             static_cast<std::size_t>(image.height);
    if (size > kMaxBufferBytes) {
        return std::nullopt;
    }
    return size;
}

bool GlyphBitmap::hasSamples(const GlyphImage& image) {
    if (image.height == 0 || image.width == 0) {
        return true;
    }
    // The last row need not carry its padding.
    const std::size_t needed =
        static_cast<std::size_t>(image.bytesPerRow) * static_cast<std::size_t>(image.height - 1) +
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.samplesPerPixel);
    return image.samples.size() >= needed;
}

void GlyphBitmap::packRow(const GlyphImage& image, int row, uint8_t* out) {
    const uint8_t* pixel =
        image.samples.data() + static_cast<std::size_t>(row) * std::size_t(image.bytesPerRow);
    uint8_t byte = 0;
    uint8_t mask = 0x80;
    for (int x = 0; x < image.width; ++x, pixel += image.samplesPerPixel) {
        if (*pixel != 0) {
            byte |= mask;
        }
        mask >>= 1;
        if (mask == 0) {
            *out++ = byte;
            byte = 0;
            mask = 0x80;
        }
    }
    if (mask != 0x80) {
        *out = byte;
    }
}

std::optional<GlyphBitmap> GlyphBitmap::pack(const GlyphImage& image) {
    const auto size = bufferSize(image);
    if (!size || !hasSamples(image)) {
        return std::nullopt;
    }
    std::vector<uint8_t> bits;
    try {
        bits.assign(*size, 0);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    const std::size_t rowBytes = packedBytesPerRow(image.width);
    uint8_t* out = bits.data();
    for (int row = image.height - 1; row >= 0; --row, out += rowBytes) {
        packRow(image, row, out);
    }
    return GlyphBitmap(image.width, image.height, std::move(bits));
}

} // namespace lumenarc
