#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct tiff;

namespace lumenarc {

// An open TIFF file for reading. libtiff's messages are collected here instead of going to
// standard error, so that a refusal can say what libtiff found wrong.
class TiffFile {
public:
    // What the first directory says about the pixels.
    struct Layout {
        uint32_t width = 0;
        uint32_t height = 0;
        uint16_t samplesPerPixel = 1;
        uint16_t bitsPerSample = 1;
        uint16_t sampleFormat = 1;
        uint16_t photometric = 0;
        uint16_t planarConfig = 1;
        uint16_t orientation = 1;
        std::vector<uint16_t> extraSamples;
        bool tiled = false;
        uint32_t tileWidth = 0;
        uint32_t tileLength = 0;

        bool hasAlpha() const;
        bool premultipliedAlpha() const;
    };

    // Sides beyond this are refused before anything is allocated for the pixels.
    static constexpr uint32_t kMaxSide = 16384;

    // The file, or nullptr and the reason (missing, unreadable, not a TIFF, damaged header).
    static std::unique_ptr<TiffFile> open(const std::string& path, std::string* reason);
    ~TiffFile();
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;

    tiff* handle() const { return m_tiff; }
    const std::string& path() const { return m_path; }
    const Layout& layout() const { return m_layout; }

    // False, with a reason, when a side is 0 or beyond kMaxSide.
    bool sizeAcceptable(std::string* reason) const;
    // False, with a reason, when a strip or tile is empty or lies beyond the end of the file,
    // which a damaged file claiming a large picture usually shows.
    bool dataPresent(std::string* reason) const;
    // The first error libtiff reported, or `fallback` when it reported none.
    std::string libtiffError(const std::string& fallback) const;

    // Turns rows as stored (`channels` bytes per pixel) into rows top first, left to right,
    // following the orientation tag; swaps width and height for the transposed orientations.
    static std::vector<uint8_t> orientRows(std::vector<uint8_t> stored, uint32_t& width,
                                           uint32_t& height, int channels, uint16_t orientation);

private:
    TiffFile() = default;
    bool readLayout(std::string* reason);
    void recordError(const std::string& message);
    static int onError(tiff*, void* self, const char* module, const char* format, va_list args);
    static int onWarning(tiff*, void*, const char*, const char*, va_list) { return 1; }

    tiff* m_tiff = nullptr;
    std::string m_path;
    uint64_t m_fileSize = 0;
    Layout m_layout;
    std::string m_firstError;
};

} // namespace lumenarc
