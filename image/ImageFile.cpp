#include "image/ImageFile.h"

#include "image/TiffFile.h"
#include "image/TiffImage.h"

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

namespace lumenarc {
namespace {

// Deflate cannot expand data more than 1032 times, so a PNG whose file is far too short for
// the size it claims is damaged; this spares allocating for the claimed size.
constexpr uint64_t kMaxDeflateRatio = 1032;
// libjpeg keeps whole coefficient planes for progressive files; it may not take more than this.
constexpr long kMaxJpegMemory = 512L * 1024 * 1024;
// The TIFF conversion decodes this many bytes of RGBA rows at a time, at most.
constexpr uint32_t kTiffBandBytes = 16u * 1024 * 1024;

bool fail(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
    return false;
}

std::string sizeText(uint32_t width, uint32_t height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

bool sizeAcceptable(const std::string& path, uint32_t width, uint32_t height, std::string* error) {
    if (width == 0 || height == 0) {
        return fail(error, path + " holds an empty picture (" + sizeText(width, height) + ")");
    }
    if (width > ImageFile::kMaxSide || height > ImageFile::kMaxSide) {
        return fail(error, path + " claims " + sizeText(width, height) + " pixels, more than the " +
                               sizeText(ImageFile::kMaxSide, ImageFile::kMaxSide) + " accepted");
    }
    return true;
}

bool pngLongEnough(const std::string& path, uint32_t width, uint32_t height, std::string* error) {
    std::error_code failed;
    const uint64_t fileBytes = std::filesystem::file_size(path, failed);
    const uint64_t leastRawBytes = uint64_t{height} * (1 + (uint64_t{width} + 7) / 8);
    if (!failed && leastRawBytes > fileBytes * kMaxDeflateRatio) {
        return fail(error, path + " is damaged: its data is far too short for " +
                               sizeText(width, height) + " pixels");
    }
    return true;
}

// libjpeg reports errors by calling error_exit, which must not return; ours jumps back into
// decodeJpeg with the message kept.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

struct JpegDecoding {
    jpeg_decompress_struct info;
    JpegErrors errors;
    std::FILE* file;
    std::vector<uint8_t>* pixels;
    uint32_t width;
    uint32_t height;
};

enum JpegResult { kJpegDecoded, kJpegFailed, kJpegTooLarge };

[[noreturn]] void jpegFail(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings (level -1) report corrupt data. libjpeg would go on and pad a truncated file with
// grey up to the size its header claims, so corrupt data ends the decoding like an error.
// Trace messages are dropped.
void jpegMessage(j_common_ptr info, int level) {
    if (level < 0) {
        jpegFail(info);
    }
}

// Holds nothing with a destructor: libjpeg leaves it through longjmp. Everything that must
// survive a jump lives in *d, which the caller owns.
JpegResult decodeJpeg(JpegDecoding* d) {
    d->info.err = jpeg_std_error(&d->errors.manager);
    d->errors.manager.error_exit = jpegFail;
    d->errors.manager.emit_message = jpegMessage;
    if (setjmp(d->errors.jump) != 0) {
        jpeg_destroy_decompress(&d->info);
        return kJpegFailed;
    }
    jpeg_create_decompress(&d->info);
    d->info.mem->max_memory_to_use = kMaxJpegMemory;
    jpeg_stdio_src(&d->info, d->file);
    jpeg_read_header(&d->info, TRUE);
    d->width = d->info.image_width;
    d->height = d->info.image_height;
    if (d->width > ImageFile::kMaxSide || d->height > ImageFile::kMaxSide) {
        jpeg_destroy_decompress(&d->info);
        return kJpegTooLarge;
    }
    d->info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&d->info);
    const size_t row = size_t{d->info.output_width} * 4;
    while (d->info.output_scanline < d->info.output_height) {
        d->pixels->resize((size_t{d->info.output_scanline} + 1) * row);
        JSAMPROW target = d->pixels->data() + size_t{d->info.output_scanline} * row;
        jpeg_read_scanlines(&d->info, &target, 1);
    }
    jpeg_finish_decompress(&d->info);
    jpeg_destroy_decompress(&d->info);
    return kJpegDecoded;
}

uint32_t tiffBandRows(const TiffFile& file) {
    uint32_t rows = file.layout().tileLength;
    if (!file.layout().tiled) {
        TIFFGetFieldDefaulted(file.handle(), TIFFTAG_ROWSPERSTRIP, &rows);
    }
    const uint32_t budget = std::max<uint32_t>(1, kTiffBandBytes / (file.layout().width * 4));
    return std::clamp<uint32_t>(rows, 1, budget);
}

void appendAbgr(std::vector<uint8_t>& pixels, const std::vector<uint32_t>& raster, size_t count) {
    const size_t start = pixels.size();
    pixels.resize(start + count * 4);
    uint8_t* target = pixels.data() + start;
    for (size_t i = 0; i < count; ++i, target += 4) {
        const uint32_t abgr = raster[i];
        target[0] = static_cast<uint8_t>(TIFFGetR(abgr));
        target[1] = static_cast<uint8_t>(TIFFGetG(abgr));
        target[2] = static_cast<uint8_t>(TIFFGetB(abgr));
        target[3] = static_cast<uint8_t>(TIFFGetA(abgr));
    }
}

std::vector<uint8_t> rgbaFrom(const TiffImage& image) {
    if (image.hasAlpha()) {
        return image.pixels();
    }
    const std::vector<uint8_t>& rgb = image.pixels();
    std::vector<uint8_t> rgba(rgb.size() / 3 * 4);
    for (size_t source = 0, target = 0; source < rgb.size(); source += 3, target += 4) {
        std::memcpy(&rgba[target], &rgb[source], 3);
        rgba[target + 3] = 255;
    }
    return rgba;
}

} // namespace

ImageFile::Format ImageFile::detectFormat(std::span<const uint8_t> head) {
    const auto startsWith = [head](std::initializer_list<uint8_t> magic) {
        return head.size() >= magic.size() && std::equal(magic.begin(), magic.end(), head.begin());
    };
    if (startsWith({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) {
        return Format::Png;
    }
    if (startsWith({0xFF, 0xD8, 0xFF})) {
        return Format::Jpeg;
    }
    if (startsWith({'I', 'I', 42, 0}) || startsWith({'M', 'M', 0, 42}) ||
        startsWith({'I', 'I', 43, 0}) || startsWith({'M', 'M', 0, 43})) {
        return Format::Tiff; // classic and BigTIFF, either byte order
    }
    return Format::Unknown;
}

std::optional<ImageFile> ImageFile::read(const std::string& path, std::string* error) {
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"),
                                                            &std::fclose);
    if (file == nullptr) {
        fail(error, "cannot open " + path + ": " + std::strerror(errno));
        return std::nullopt;
    }
    std::array<uint8_t, 8> head{};
    const size_t length = std::fread(head.data(), 1, head.size(), file.get());
    file.reset();
    switch (detectFormat(std::span<const uint8_t>(head.data(), length))) {
    case Format::Png:
        return readPng(path, error);
    case Format::Jpeg:
        return readJpeg(path, error);
    case Format::Tiff:
        return readTiff(path, error);
    case Format::Unknown:
        break;
    }
    fail(error, path + (length == 0 ? " is empty or cannot be read"
                                    : " is not a PNG, JPEG or TIFF picture"));
    return std::nullopt;
}

std::optional<ImageFile> ImageFile::readPng(const std::string& path, std::string* error) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    const std::unique_ptr<png_image, decltype(&png_image_free)> release(&png, &png_image_free);
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        fail(error, path + " is not a readable PNG picture: " + png.message);
        return std::nullopt;
    }
    if (!sizeAcceptable(path, png.width, png.height, error) ||
        !pngLongEnough(path, png.width, png.height, error)) {
        return std::nullopt;
    }
    png.format = PNG_FORMAT_RGBA; // 8-bit sRGB with straight alpha
    ImageFile image;
    image.m_width = png.width;
    image.m_height = png.height;
    image.m_pixels.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.m_pixels.data(), 0, nullptr)) {
        fail(error, path + " is damaged: " + png.message);
        return std::nullopt;
    }
    return image;
}

std::optional<ImageFile> ImageFile::readJpeg(const std::string& path, std::string* error) {
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"),
                                                            &std::fclose);
    if (file == nullptr) {
        fail(error, "cannot open " + path + ": " + std::strerror(errno));
        return std::nullopt;
    }
    ImageFile image;
    const auto decoding = std::make_unique<JpegDecoding>();
    decoding->file = file.get();
    decoding->pixels = &image.m_pixels;
    const JpegResult result = decodeJpeg(decoding.get());
    if (result == kJpegTooLarge) {
        sizeAcceptable(path, decoding->width, decoding->height, error);
        return std::nullopt;
    }
    if (result == kJpegFailed) {
        fail(error, path + " is damaged or not a JPEG picture: " + decoding->errors.message);
        return std::nullopt;
    }
    image.m_width = decoding->width;
    image.m_height = decoding->height;
    return image;
}

std::optional<ImageFile> ImageFile::readTiff(const std::string& path, std::string* error) {
    const auto file = TiffFile::open(path, error);
    if (file == nullptr) {
        return std::nullopt;
    }
    if (!TiffImage::supports(file->layout())) {
        return readTiffAnyLayout(*file, error);
    }
    // RGB and straight RGBA are read directly: libtiff's conversion would premultiply alpha.
    const auto tiff = TiffImage::read(*file, error);
    if (!tiff.has_value()) {
        return std::nullopt;
    }
    ImageFile image;
    image.m_width = tiff->width();
    image.m_height = tiff->height();
    image.m_pixels = rgbaFrom(*tiff);
    return image;
}

std::optional<ImageFile> ImageFile::readTiffAnyLayout(const TiffFile& file, std::string* error) {
    char message[1024] = "";
    if (!TIFFRGBAImageOK(file.handle(), message)) {
        fail(error, file.path() + " holds a TIFF layout that cannot be converted: " + message);
        return std::nullopt;
    }
    if (!file.sizeAcceptable(error) || !file.dataPresent(error)) {
        return std::nullopt;
    }
    ImageFile image;
    image.m_width = file.layout().width;
    image.m_height = file.layout().height;
    if (!image.readRgbaRows(file, error)) {
        return std::nullopt;
    }
    image.m_pixels = TiffFile::orientRows(std::move(image.m_pixels), image.m_width, image.m_height,
                                          4, file.layout().orientation);
    if (file.layout().hasAlpha()) {
        image.unpremultiply(); // libtiff hands out premultiplied colours
    }
    return image;
}

// Rows are converted in bands, as stored (the orientation is applied afterwards), so that the
// pixels grow with the data actually decoded rather than with the size the file claims.
bool ImageFile::readRgbaRows(const TiffFile& file, std::string* error) {
    char message[1024] = "";
    TIFFRGBAImage reader;
    std::memset(&reader, 0, sizeof reader);
    if (!TIFFRGBAImageBegin(&reader, file.handle(), 1, message)) {
        return fail(error, file.path() + " cannot be converted: " + message);
    }
    reader.req_orientation = reader.orientation;
    const uint32_t band = tiffBandRows(file);
    std::vector<uint32_t> raster(size_t{band} * m_width);
    bool complete = true;
    for (uint32_t top = 0; complete && top < m_height; top += band) {
        const uint32_t rows = std::min(band, m_height - top);
        reader.row_offset = static_cast<int>(top);
        reader.col_offset = 0;
        complete = TIFFRGBAImageGet(&reader, raster.data(), m_width, rows) != 0;
        if (complete) {
            appendAbgr(m_pixels, raster, size_t{rows} * m_width);
        }
    }
    TIFFRGBAImageEnd(&reader);
    return complete || fail(error, file.path() + " is damaged: " +
                                       file.libtiffError("its picture data cannot be read"));
}

void ImageFile::unpremultiply() {
    for (size_t i = 0; i + 3 < m_pixels.size(); i += 4) {
        const unsigned alpha = m_pixels[i + 3];
        if (alpha == 0 || alpha == 255) {
            continue;
        }
        for (size_t c = i; c < i + 3; ++c) {
            const unsigned straight = (m_pixels[c] * 255u + alpha / 2) / alpha;
            m_pixels[c] = static_cast<uint8_t>(std::min(255u, straight));
        }
    }
}

} // namespace lumenarc
