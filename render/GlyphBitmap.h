#pragma once

#include "render/GlyphImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace lumenarc {

// A glyph as glBitmap takes it: one bit per pixel, most significant bit leftmost, each row
// starting on a new byte, the bottom row of the glyph first.
class GlyphBitmap {
public:
    // Far beyond any glyph of the overlay; larger images are refused instead of allocated.
    static constexpr int kMaxSide = 4096;
    static constexpr std::size_t kMaxBufferBytes = std::size_t{16} << 20;

    // Whether a glyph of this many pixels may be rendered and packed at all.
    static bool fits(int width, int height);
    // Bytes one packed row takes: ceil(width / 8).
    static std::size_t packedBytesPerRow(int width);
    // The zero-filled buffer the packing writes into: ceil(bytesPerRow / 8) x height bytes, which
    // is never less than the packed size. Empty when the geometry is inconsistent or too large.
    static std::optional<std::size_t> bufferSize(const GlyphImage& image);
    // Empty when no buffer can be had for the image (see bufferSize) or its samples are missing.
    static std::optional<GlyphBitmap> pack(const GlyphImage& image);

    int width() const { return m_width; }
    int height() const { return m_height; }
    std::size_t bytesPerRow() const { return packedBytesPerRow(m_width); }
    // The whole buffer; the packed rows are its first bytesPerRow() x height() bytes.
    const std::vector<uint8_t>& bits() const { return m_bits; }

private:
    GlyphBitmap(int width, int height, std::vector<uint8_t> bits);
    static bool hasSamples(const GlyphImage& image);
    static void packRow(const GlyphImage& image, int row, uint8_t* out);

    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_bits;
};

} // namespace lumenarc
