#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumenarc {

class TiffFile;

// A picture of any common kind as 8-bit RGBA with straight alpha, rows top first: what the
// preview tool draws through a mesh in place of a movie frame. PNG, JPEG and TIFF are
// recognised by their first bytes, whatever the file is called.
class ImageFile {
public:
    enum class Format { Unknown, Png, Jpeg, Tiff };

    // Sides beyond this are refused before the pixels are allocated.
    static constexpr uint32_t kMaxSide = 16384;

    // The picture, or nothing and a message that names the file and the problem.
    static std::optional<ImageFile> read(const std::string& path, std::string* error = nullptr);
    static Format detectFormat(std::span<const uint8_t> head);

    uint32_t width() const { return m_width; }
    uint32_t height() const { return m_height; }
    // width x height x 4 bytes.
    const std::vector<uint8_t>& pixels() const { return m_pixels; }

private:
    ImageFile() = default;
    static std::optional<ImageFile> readPng(const std::string& path, std::string* error);
    static std::optional<ImageFile> readJpeg(const std::string& path, std::string* error);
    static std::optional<ImageFile> readTiff(const std::string& path, std::string* error);
    static std::optional<ImageFile> readTiffAnyLayout(const TiffFile& file, std::string* error);
    bool readRgbaRows(const TiffFile& file, std::string* error);
    void unpremultiply();

    uint32_t m_width = 0;
    uint32_t m_height = 0;
    std::vector<uint8_t> m_pixels;
};

} // namespace lumenarc
