#include "image/TiffImage.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace lumenarc {
namespace {

// A damaged file may claim huge tiles; a band of tile rows is allocated before it is read.
constexpr uint32_t kMaxTileSide = 2048;

void setReason(std::string* reason, const std::string& text) {
    if (reason != nullptr) {
        *reason = text;
    }
}

bool damaged(const TiffFile& file, const std::string& what, std::string* reason) {
    setReason(reason, file.path() + " is damaged: " + file.libtiffError(what));
    return false;
}

std::string colourModel(uint16_t photometric) {
    switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        return "greyscale";
    case PHOTOMETRIC_RGB:
        return "RGB";
    case PHOTOMETRIC_PALETTE:
        return "palette";
    case PHOTOMETRIC_MASK:
        return "transparency mask";
    case PHOTOMETRIC_SEPARATED:
        return "CMYK";
    case PHOTOMETRIC_YCBCR:
        return "YCbCr";
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
        return "L*a*b*";
    default:
        return "colour model " + std::to_string(photometric);
    }
}

std::string alphaText(const TiffFile::Layout& layout) {
    if (layout.premultipliedAlpha()) {
        return "with premultiplied alpha";
    }
    if (layout.hasAlpha()) {
        return "with alpha";
    }
    return layout.extraSamples.empty() ? "without alpha"
                                       : "without alpha (an extra sample that is not alpha)";
}

std::string sampleText(const TiffFile::Layout& layout) {
    std::string text = std::to_string(layout.samplesPerPixel) +
                       (layout.samplesPerPixel == 1 ? " sample of " : " samples of ") +
                       std::to_string(layout.bitsPerSample) + " bits";
    if (layout.sampleFormat == SAMPLEFORMAT_INT) {
        text += ", signed";
    } else if (layout.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        text += ", floating point";
    } else if (layout.sampleFormat != SAMPLEFORMAT_UINT) {
        text += ", sample format " + std::to_string(layout.sampleFormat);
    }
    return text;
}

} // namespace

bool TiffImage::supports(const TiffFile::Layout& layout, std::string* reason) {
    const bool eightBitRgb = layout.photometric == PHOTOMETRIC_RGB && layout.bitsPerSample == 8 &&
                             layout.sampleFormat == SAMPLEFORMAT_UINT;
    const auto& extra = layout.extraSamples;
    const bool rgb = layout.samplesPerPixel == 3 && extra.empty();
    const bool rgba =
        layout.samplesPerPixel == 4 && extra.size() == 1 && extra[0] == EXTRASAMPLE_UNASSALPHA;
    if (eightBitRgb && (rgb || rgba)) {
        return true;
    }
    const uint32_t bitsPerPixel = uint32_t{layout.samplesPerPixel} * layout.bitsPerSample;
    setReason(reason, "unsupported layout: " + std::to_string(bitsPerPixel) + "-bit " +
                          colourModel(layout.photometric) + " image " + alphaText(layout) + ", " +
                          sampleText(layout) +
                          "; only 24-bit RGB and 32-bit RGBA with straight alpha are read");
    return false;
}

std::optional<TiffImage> TiffImage::read(const std::string& path, std::string* reason) {
    const auto file = TiffFile::open(path, reason);
    if (file == nullptr) {
        return std::nullopt;
    }
    return read(*file, reason);
}

std::optional<TiffImage> TiffImage::read(const TiffFile& file, std::string* reason) {
    const TiffFile::Layout& layout = file.layout();
    std::string unsupported;
    if (!supports(layout, &unsupported)) {
        setReason(reason, file.path() + ": " + unsupported);
        return std::nullopt;
    }
    if (!file.sizeAcceptable(reason) || !file.dataPresent(reason)) {
        return std::nullopt;
    }
    TiffImage image;
    image.m_width = layout.width;
    image.m_height = layout.height;
    image.m_channels = layout.samplesPerPixel;
    if (!(layout.tiled ? image.readTiles(file, reason) : image.readStrips(file, reason))) {
        return std::nullopt;
    }
    image.m_pixels = TiffFile::orientRows(std::move(image.m_pixels), image.m_width, image.m_height,
                                          image.m_channels, layout.orientation);
    return image;
}

// Separate planes are read one after the other: interleaving them row by row would make
// libtiff decode each compressed strip again from its start for every row.
bool TiffImage::readStrips(const TiffFile& file, std::string* reason) {
    const bool separate = file.layout().planarConfig == PLANARCONFIG_SEPARATE;
    const size_t row = rowBytes();
    const size_t storedRow = separate ? size_t{m_width} : row;
    if (TIFFScanlineSize64(file.handle()) != storedRow) {
        return damaged(file, "its rows do not match its size", reason);
    }
    std::vector<uint8_t> plane(separate ? storedRow : 0);
    const int planes = separate ? m_channels : 1;
    for (int sample = 0; sample < planes; ++sample) {
        for (uint32_t y = 0; y < m_height; ++y) {
            if (sample == 0) {
                m_pixels.resize((size_t{y} + 1) * row); // grows only with data actually read
            }
            uint8_t* target = separate ? plane.data() : &m_pixels[size_t{y} * row];
            if (TIFFReadScanline(file.handle(), target, y, static_cast<uint16_t>(sample)) < 0) {
                return damaged(file, "cannot read row " + std::to_string(y), reason);
            }
            if (separate) {
                placeSample(plane, y, sample);
            }
        }
    }
    return true;
}

void TiffImage::placeSample(const std::vector<uint8_t>& plane, uint32_t row, int sample) {
    uint8_t* target = &m_pixels[size_t{row} * rowBytes() + static_cast<size_t>(sample)];
    for (uint32_t x = 0; x < m_width; ++x) {
        target[size_t{x} * static_cast<size_t>(m_channels)] = plane[x];
    }
}

bool TiffImage::readTiles(const TiffFile& file, std::string* reason) {
    const TiffFile::Layout& layout = file.layout();
    if (layout.tileWidth > kMaxTileSide || layout.tileLength > kMaxTileSide) {
        setReason(reason, file.path() + " uses tiles of " + std::to_string(layout.tileWidth) + "x" +
                              std::to_string(layout.tileLength) + " pixels, larger than the " +
                              std::to_string(kMaxTileSide) + "x" + std::to_string(kMaxTileSide) +
                              " accepted");
        return false;
    }
    const size_t tilePixels = size_t{layout.tileWidth} * layout.tileLength;
    const size_t tileBytes = layout.planarConfig == PLANARCONFIG_SEPARATE
                                 ? tilePixels
                                 : tilePixels * static_cast<size_t>(m_channels);
    if (static_cast<uint64_t>(TIFFTileSize64(file.handle())) != tileBytes) {
        return damaged(file, "its tiles do not match their size", reason);
    }
    std::vector<uint8_t> tile(tileBytes);
    for (uint32_t top = 0; top < m_height; top += layout.tileLength) {
        const uint32_t bottom = std::min(m_height, top + layout.tileLength);
        m_pixels.resize(size_t{bottom} * rowBytes());
        if (!readTileBand(file, top, tile, reason)) {
            return false;
        }
    }
    return true;
}

bool TiffImage::readTileBand(const TiffFile& file, uint32_t top, std::vector<uint8_t>& tile,
                             std::string* reason) {
    const TiffFile::Layout& layout = file.layout();
    const int planes = layout.planarConfig == PLANARCONFIG_SEPARATE ? m_channels : 1;
    for (int sample = 0; sample < planes; ++sample) {
        for (uint32_t left = 0; left < m_width; left += layout.tileWidth) {
            if (TIFFReadTile(file.handle(), tile.data(), left, top, 0,
                             static_cast<uint16_t>(sample)) < 0) {
                return damaged(file,
                               "cannot read the tile at " + std::to_string(left) + ", " +
                                   std::to_string(top),
                               reason);
            }
            placeTile(layout, tile, left, top, sample);
        }
    }
    return true;
}

// Copies the part of a tile that lies inside the picture; edge tiles are padded in the file.
void TiffImage::placeTile(const TiffFile::Layout& layout, const std::vector<uint8_t>& tile,
                          uint32_t left, uint32_t top, int sample) {
    const uint32_t columns = std::min(layout.tileWidth, m_width - left);
    const uint32_t rows = std::min(layout.tileLength, m_height - top);
    const auto channels = static_cast<size_t>(m_channels);
    const bool separate = layout.planarConfig == PLANARCONFIG_SEPARATE;
    for (uint32_t r = 0; r < rows; ++r) {
        uint8_t* target = &m_pixels[size_t{top + r} * rowBytes() + size_t{left} * channels];
        if (!separate) {
            std::memcpy(target, &tile[size_t{r} * layout.tileWidth * channels], columns * channels);
            continue;
        }
        const uint8_t* source = &tile[size_t{r} * layout.tileWidth];
        for (uint32_t c = 0; c < columns; ++c) {
            target[size_t{c} * channels + static_cast<size_t>(sample)] = source[c];
        }
    }
}

} // namespace lumenarc
