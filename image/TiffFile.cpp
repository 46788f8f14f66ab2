#include "image/TiffFile.h"

#include <tiffio.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace lumenarc {
namespace {

// libtiff's own buffers (a decoded strip, the strip tables) may not grow beyond this; the
// pixels we keep are bounded by kMaxSide instead.
constexpr tmsize_t kMaxLibtiffAllocation = tmsize_t{256} * 1024 * 1024;

void setReason(std::string* reason, const std::string& text) {
    if (reason != nullptr) {
        *reason = text;
    }
}

std::string sizeText(uint32_t width, uint32_t height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// Where the stored pixel (column, row) of a width x height picture lands when shown upright.
std::pair<uint32_t, uint32_t> uprightPosition(uint16_t orientation, uint32_t column, uint32_t row,
                                              uint32_t width, uint32_t height) {
    switch (orientation) {
    case ORIENTATION_TOPRIGHT:
        return {width - 1 - column, row};
    case ORIENTATION_BOTRIGHT:
        return {width - 1 - column, height - 1 - row};
    case ORIENTATION_BOTLEFT:
        return {column, height - 1 - row};
    case ORIENTATION_LEFTTOP:
        return {row, column};
    case ORIENTATION_RIGHTTOP:
        return {height - 1 - row, column};
    case ORIENTATION_RIGHTBOT:
        return {height - 1 - row, width - 1 - column};
    case ORIENTATION_LEFTBOT:
        return {row, width - 1 - column};
    default:
        return {column, row};
    }
}

} // namespace

bool TiffFile::Layout::hasAlpha() const {
    for (const uint16_t type : extraSamples) {
        if (type == EXTRASAMPLE_ASSOCALPHA || type == EXTRASAMPLE_UNASSALPHA) {
            return true;
        }
    }
    return false;
}

bool TiffFile::Layout::premultipliedAlpha() const {
    for (const uint16_t type : extraSamples) {
        if (type == EXTRASAMPLE_ASSOCALPHA) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<TiffFile> TiffFile::open(const std::string& path, std::string* reason) {
    // Opening the descriptor ourselves turns a missing file into errno's words instead of a
    // libtiff message on standard error.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        setReason(reason, "cannot open " + path + ": " + std::strerror(errno));
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        setReason(reason, path + " is not a regular file");
        return nullptr;
    }
    std::unique_ptr<TiffFile> file(new TiffFile);
    file->m_path = path;
    file->m_fileSize = static_cast<uint64_t>(info.st_size);
    std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                             &TIFFOpenOptionsFree);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxLibtiffAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &TiffFile::onError, file.get());
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &TiffFile::onWarning, nullptr);
    // "m": no memory mapping, so a file truncated under us reads as an error, not a SIGBUS.
    file->m_tiff = TIFFFdOpenExt(fd, path.c_str(), "rm", options.get());
    if (file->m_tiff == nullptr) {
        ::close(fd); // libtiff closes the descriptor only once it has opened the file
        setReason(reason,
                  path + " is not a readable TIFF file: " + file->libtiffError("no TIFF header"));
        return nullptr;
    }
    if (!file->readLayout(reason)) {
        return nullptr;
    }
    return file;
}

TiffFile::~TiffFile() {
    if (m_tiff != nullptr) {
        TIFFClose(m_tiff);
    }
}

bool TiffFile::readLayout(std::string* reason) {
    Layout& layout = m_layout;
    if (!TIFFGetField(m_tiff, TIFFTAG_IMAGEWIDTH, &layout.width) ||
        !TIFFGetField(m_tiff, TIFFTAG_IMAGELENGTH, &layout.height)) {
        setReason(reason, m_path + " is damaged: it gives no picture size");
        return false;
    }
    if (!TIFFGetField(m_tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric)) {
        setReason(reason, m_path + " is damaged: it gives no colour model");
        return false;
    }
    TIFFGetFieldDefaulted(m_tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samplesPerPixel);
    TIFFGetFieldDefaulted(m_tiff, TIFFTAG_BITSPERSAMPLE, &layout.bitsPerSample);
    TIFFGetFieldDefaulted(m_tiff, TIFFTAG_SAMPLEFORMAT, &layout.sampleFormat);
    TIFFGetFieldDefaulted(m_tiff, TIFFTAG_PLANARCONFIG, &layout.planarConfig);
    TIFFGetFieldDefaulted(m_tiff, TIFFTAG_ORIENTATION, &layout.orientation);
    uint16_t extraCount = 0;
    const uint16_t* extraTypes = nullptr;
    if (TIFFGetFieldDefaulted(m_tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) &&
        extraTypes != nullptr) {
        layout.extraSamples.assign(extraTypes, extraTypes + extraCount);
    }
    layout.tiled = TIFFIsTiled(m_tiff) != 0;
    if (layout.tiled && (!TIFFGetField(m_tiff, TIFFTAG_TILEWIDTH, &layout.tileWidth) ||
                         !TIFFGetField(m_tiff, TIFFTAG_TILELENGTH, &layout.tileLength) ||
                         layout.tileWidth == 0 || layout.tileLength == 0)) {
        setReason(reason, m_path + " is damaged: its tile size is missing");
        return false;
    }
    return true;
}

bool TiffFile::sizeAcceptable(std::string* reason) const {
    const uint32_t width = m_layout.width;
    const uint32_t height = m_layout.height;
    if (width == 0 || height == 0) {
        setReason(reason, m_path + " holds an empty picture (" + sizeText(width, height) + ")");
        return false;
    }
    if (width > kMaxSide || height > kMaxSide) {
        setReason(reason, m_path + " claims " + sizeText(width, height) +
                              " pixels, more than the " + sizeText(kMaxSide, kMaxSide) +
                              " accepted");
        return false;
    }
    return true;
}

bool TiffFile::dataPresent(std::string* reason) const {
    const uint32_t count = m_layout.tiled ? TIFFNumberOfTiles(m_tiff) : TIFFNumberOfStrips(m_tiff);
    for (uint32_t index = 0; index < count; ++index) {
        int error = 0;
        const uint64_t offset = TIFFGetStrileOffsetWithErr(m_tiff, index, &error);
        const uint64_t bytes = TIFFGetStrileByteCountWithErr(m_tiff, index, &error);
        if (error != 0 || bytes == 0 || offset > m_fileSize || bytes > m_fileSize - offset) {
            setReason(reason, m_path + " is damaged: " + (m_layout.tiled ? "tile " : "strip ") +
                                  std::to_string(index) + " of its picture data is missing");
            return false;
        }
    }
    return true;
}

std::string TiffFile::libtiffError(const std::string& fallback) const {
    return m_firstError.empty() ? fallback : m_firstError;
}

void TiffFile::recordError(const std::string& message) {
    if (m_firstError.empty()) {
        m_firstError = message;
    }
}

int TiffFile::onError(tiff*, void* self, const char*, const char* format, va_list args) {
    char message[512];
    std::vsnprintf(message, sizeof message, format, args);
    static_cast<TiffFile*>(self)->recordError(message);
    return 1; // handled: keeps libtiff's global handler from printing it
}

std::vector<uint8_t> TiffFile::orientRows(std::vector<uint8_t> stored, uint32_t& width,
                                          uint32_t& height, int channels, uint16_t orientation) {
    if (orientation <= ORIENTATION_TOPLEFT || orientation > ORIENTATION_LEFTBOT) {
        return stored; // the default, and unknown values read as the default
    }
    const bool transposed = orientation >= ORIENTATION_LEFTTOP;
    const uint32_t uprightWidth = transposed ? height : width;
    std::vector<uint8_t> upright(stored.size());
    const auto pixelBytes = static_cast<size_t>(channels);
    for (uint32_t row = 0; row < height; ++row) {
        for (uint32_t column = 0; column < width; ++column) {
            const auto [x, y] = uprightPosition(orientation, column, row, width, height);
            std::memcpy(&upright[(size_t{y} * uprightWidth + x) * pixelBytes],
                        &stored[(size_t{row} * width + column) * pixelBytes], pixelBytes);
        }
    }
    if (transposed) {
        std::swap(width, height);
    }
    return upright;
}

} // namespace lumenarc
