#pragma once

#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace lumenarc::test {

// How writeTiff stores a picture. The defaults give an uncompressed 8-bit RGB file in strips.
struct TiffSpec {
    uint32_t width = 1;
    uint32_t height = 1;
    uint16_t samples = 3;
    uint16_t bits = 8;
    uint16_t photometric = PHOTOMETRIC_RGB;
    std::vector<uint16_t> extraSamples = {};
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    uint32_t rowsPerStrip = 0; // 0: libtiff's choice
    uint32_t tileSide = 0;     // 0: strips; else square tiles (8-bit samples only)
};

// Writes `stored` with libtiff: packed rows of interleaved samples, or for separate planes one
// plane after another. Returns the path as a string.
std::string writeTiff(const std::filesystem::path& path, const TiffSpec& spec,
                      const std::vector<uint8_t>& stored);

// Writes 8-bit RGBA rows (straight alpha) as a PNG with libpng.
std::string writePngRgba(const std::filesystem::path& path, uint32_t width, uint32_t height,
                         const std::vector<uint8_t>& rgba);

// Writes 8-bit RGB rows as a baseline JPEG with libjpeg.
std::string writeJpegRgb(const std::filesystem::path& path, uint32_t width, uint32_t height,
                         const std::vector<uint8_t>& rgb, int quality = 95);

// Overwrites the value of a SHORT or LONG tag in the first directory of a little-endian TIFF.
bool patchTiffTag(std::string& bytes, uint16_t tag, uint32_t value);
// Sets the size in a PNG's header chunk and recomputes its checksum.
void patchPngSize(std::string& bytes, uint32_t width, uint32_t height);
// Sets the size in a JPEG's baseline frame header.
bool patchJpegSize(std::string& bytes, uint16_t width, uint16_t height);

// Pixels whose every byte differs, so that a swapped row, column or channel shows.
std::vector<uint8_t> distinctPixels(uint32_t width, uint32_t height, int channels);

} // namespace lumenarc::test
