#pragma once

#include "image/TiffFile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumenarc {

// A TIFF picture in one of the two layouts that become textures: 8-bit RGB (24 bits per
// pixel, no alpha) or 8-bit RGBA with straight alpha (32 bits per pixel). Every other layout is
// refused, with the reason. Rows are tightly packed, top row first, whatever the file's
// orientation, strip or tile organisation and planar configuration (both are read).
class TiffImage {
public:
    // The picture, or nothing and the reason: a missing, unreadable or damaged file, a size of 0
    // or beyond TiffFile::kMaxSide, or another layout (grey, palette, CMYK, 16-bit,
    // premultiplied alpha, a fourth sample that is not alpha, ...).
    static std::optional<TiffImage> read(const std::string& path, std::string* reason = nullptr);
    static std::optional<TiffImage> read(const TiffFile& file, std::string* reason = nullptr);

    // True for the two accepted layouts; otherwise false and a description of the layout.
    static bool supports(const TiffFile::Layout& layout, std::string* reason = nullptr);

    uint32_t width() const { return m_width; }
    uint32_t height() const { return m_height; }
    bool hasAlpha() const { return m_channels == 4; }
    int channels() const { return m_channels; }
    size_t rowBytes() const { return size_t{m_width} * static_cast<size_t>(m_channels); }
    const std::vector<uint8_t>& pixels() const { return m_pixels; }

private:
    TiffImage() = default;
    bool readStrips(const TiffFile& file, std::string* reason);
    bool readTiles(const TiffFile& file, std::string* reason);
    bool readTileBand(const TiffFile& file, uint32_t top, std::vector<uint8_t>& tile,
                      std::string* reason);
    void placeTile(const TiffFile::Layout& layout, const std::vector<uint8_t>& tile, uint32_t left,
                   uint32_t top, int sample);
    void placeSample(const std::vector<uint8_t>& plane, uint32_t row, int sample);

    uint32_t m_width = 0;
    uint32_t m_height = 0;
    int m_channels = 0;
    std::vector<uint8_t> m_pixels;
};

} // namespace lumenarc
