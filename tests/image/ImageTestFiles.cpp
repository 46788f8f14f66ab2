#include "image/ImageTestFiles.h"

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace lumenarc::test {
namespace {

void setFields(TIFF* tiff, const TiffSpec& spec) {
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, spec.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, spec.height);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, spec.samples);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, spec.bits);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, spec.photometric);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, spec.planar);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, spec.compression);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, spec.orientation);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, spec.sampleFormat);
    if (!spec.extraSamples.empty()) {
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, static_cast<uint16_t>(spec.extraSamples.size()),
                     spec.extraSamples.data());
    }
    if (spec.photometric == PHOTOMETRIC_PALETTE) {
        static std::vector<uint16_t> red(256), green(256), blue(256);
        for (int i = 0; i < 256; ++i) {
            red[i] = static_cast<uint16_t>(i * 257);
            green[i] = static_cast<uint16_t>((255 - i) * 257);
            blue[i] = 0;
        }
        TIFFSetField(tiff, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    if (spec.tileSide != 0) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, spec.tileSide);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, spec.tileSide);
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
                     spec.rowsPerStrip != 0 ? spec.rowsPerStrip : TIFFDefaultStripSize(tiff, 0));
    }
}

void writeStrips(TIFF* tiff, const TiffSpec& spec, const std::vector<uint8_t>& stored) {
    const auto rowBytes = static_cast<size_t>(TIFFScanlineSize64(tiff));
    const int planes = spec.planar == PLANARCONFIG_SEPARATE ? spec.samples : 1;
    size_t offset = 0;
    for (int plane = 0; plane < planes; ++plane) {
        for (uint32_t y = 0; y < spec.height; ++y, offset += rowBytes) {
            std::vector<uint8_t> row(stored.begin() + static_cast<std::ptrdiff_t>(offset),
                                     stored.begin() +
                                         static_cast<std::ptrdiff_t>(offset + rowBytes));
            if (TIFFWriteScanline(tiff, row.data(), y, static_cast<uint16_t>(plane)) < 0) {
                throw std::runtime_error("TIFFWriteScanline failed");
            }
        }
    }
}

void writeTiles(TIFF* tiff, const TiffSpec& spec, const std::vector<uint8_t>& stored) {
    const bool separate = spec.planar == PLANARCONFIG_SEPARATE;
    const size_t channels = separate ? 1 : spec.samples;
    const int planes = separate ? spec.samples : 1;
    const size_t planeBytes = size_t{spec.width} * spec.height * channels;
    const uint32_t side = spec.tileSide;
    std::vector<uint8_t> tile(size_t{side} * side * channels);
    for (int plane = 0; plane < planes; ++plane) {
        for (uint32_t top = 0; top < spec.height; top += side) {
            for (uint32_t left = 0; left < spec.width; left += side) {
                std::fill(tile.begin(), tile.end(), 0);
                for (uint32_t y = top; y < std::min(spec.height, top + side); ++y) {
                    const size_t columns = std::min(side, spec.width - left);
                    std::memcpy(
                        &tile[(y - top) * side * channels],
                        &stored[plane * planeBytes + (size_t{y} * spec.width + left) * channels],
                        columns * channels);
                }
                if (TIFFWriteTile(tiff, tile.data(), left, top, 0, static_cast<uint16_t>(plane)) <
                    0) {
                    throw std::runtime_error("TIFFWriteTile failed");
                }
            }
        }
    }
}

void putBigEndian32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    }
}

} // namespace

std::string writeTiff(const std::filesystem::path& path, const TiffSpec& spec,
                      const std::vector<uint8_t>& stored) {
    const std::unique_ptr<TIFF, decltype(&TIFFClose)> tiff(TIFFOpen(path.c_str(), "w"), &TIFFClose);
    if (tiff == nullptr) {
        throw std::runtime_error("cannot create " + path.string());
    }
    setFields(tiff.get(), spec);
    if (spec.tileSide != 0) {
        writeTiles(tiff.get(), spec, stored);
    } else {
        writeStrips(tiff.get(), spec, stored);
    }
    return path.string();
}

std::string writePngRgba(const std::filesystem::path& path, uint32_t width, uint32_t height,
                         const std::vector<uint8_t>& rgba) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = width;
    png.height = height;
    png.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&png, path.c_str(), 0, rgba.data(), 0, nullptr)) {
        throw std::runtime_error(std::string("PNG write failed: ") + png.message);
    }
    return path.string();
}

std::string writeJpegRgb(const std::filesystem::path& path, uint32_t width, uint32_t height,
                         const std::vector<uint8_t>& rgb, int quality) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot create " + path.string());
    }
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(&rgb[size_t{info.next_scanline} * width * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
    return path.string();
}

bool patchTiffTag(std::string& bytes, uint16_t tag, uint32_t value) {
    const auto read16 = [&bytes](size_t at) {
        return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                                     static_cast<uint8_t>(bytes[at + 1]) << 8);
    };
    const auto read32 = [&](size_t at) {
        return uint32_t{read16(at)} | uint32_t{read16(at + 2)} << 16;
    };
    if (bytes.size() < 8 || bytes[0] != 'I') {
        return false;
    }
    const size_t directory = read32(4);
    const uint16_t count = read16(directory);
    for (size_t entry = directory + 2; entry < directory + 2 + size_t{count} * 12; entry += 12) {
        if (read16(entry) != tag) {
            continue;
        }
        const int width = read16(entry + 2) == 3 ? 2 : 4; // SHORT or LONG
        for (int i = 0; i < width; ++i) {
            bytes[entry + 8 + static_cast<size_t>(i)] =
                static_cast<char>((value >> (8 * i)) & 0xFF);
        }
        return true;
    }
    return false;
}

void patchPngSize(std::string& bytes, uint32_t width, uint32_t height) {
    // Signature (8), length (4), "IHDR" (4), then width and height; the checksum covers the
    // type and the 13 data bytes.
    putBigEndian32(bytes, 16, width);
    putBigEndian32(bytes, 20, height);
    const auto* chunk = reinterpret_cast<const Bytef*>(bytes.data() + 12);
    putBigEndian32(bytes, 29, static_cast<uint32_t>(crc32(0, chunk, 17)));
}

bool patchJpegSize(std::string& bytes, uint16_t width, uint16_t height) {
    for (size_t at = 2; at + 9 < bytes.size(); ++at) {
        if (static_cast<uint8_t>(bytes[at]) == 0xFF &&
            static_cast<uint8_t>(bytes[at + 1]) == 0xC0) {
            bytes[at + 5] = static_cast<char>(height >> 8);
            bytes[at + 6] = static_cast<char>(height & 0xFF);
            bytes[at + 7] = static_cast<char>(width >> 8);
            bytes[at + 8] = static_cast<char>(width & 0xFF);
            return true;
        }
    }
    return false;
}

std::vector<uint8_t> distinctPixels(uint32_t width, uint32_t height, int channels) {
    std::vector<uint8_t> pixels(size_t{width} * height * static_cast<size_t>(channels));
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    return pixels;
}

} // namespace lumenarc::test
