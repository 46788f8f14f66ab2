#include "resources/ImageResources.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace lumenarc::resources {
namespace {

// 1 inside `core`, falling to 0 along a half cosine over `fade`, measured as a distance.
double softStep(double distance, double core, double fade) {
    if (distance <= core) {
        return 1.0;
    }
    if (distance >= core + fade) {
        return 0.0;
    }
    return 0.5 * (1.0 + std::cos(std::numbers::pi * (distance - core) / fade));
}

void setPixel(ImageResources::Picture& picture, uint32_t x, uint32_t y, uint8_t grey,
              uint8_t alpha) {
    uint8_t* pixel = &picture.rgba[(size_t{y} * picture.width + x) * 4];
    pixel[0] = pixel[1] = pixel[2] = grey;
    pixel[3] = alpha;
}

ImageResources::Picture blank(uint32_t width, uint32_t height) {
    return {width, height, std::vector<uint8_t>(size_t{width} * height * 4)};
}

void setRgbaFields(TIFF* tiff, const ImageResources::Picture& picture) {
    const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, picture.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, picture.height);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    // 72 pixels per inch: a reader that sizes pictures in points sees the pixel size.
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 72.0);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 72.0);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
}

} // namespace

// White lines, fully opaque, on cells that are transparent white: with the cells white too,
// linear filtering fades a line into transparency instead of into a dark fringe. The left and
// bottom edges carry one pixel each, so the tiled lines lie on the grid's 1/20 steps. The cell
// is small because the picture tiles it 20 times: a tile spans 20 to 100 screen pixels, and a
// cell larger than that would be minified until its one-pixel lines fall between samples.
ImageResources::Picture ImageResources::grid() {
    Picture picture = blank(kGridSide, kGridSide);
    for (uint32_t y = 0; y < kGridSide; ++y) {
        for (uint32_t x = 0; x < kGridSide; ++x) {
            const bool line = x == 0 || y == kGridSide - 1; // rows run top first
            setPixel(picture, x, y, 255, line ? 255 : 0);
        }
    }
    return picture;
}

// A soft horizontal bar in the middle of the band, fading out towards its ends and its upper
// and lower edges, on a transparent ground; light grey shading to white towards its top. The
// view tints it and halves its opacity again, so it stays a quiet strip over the picture.
ImageResources::Picture ImageResources::overlay() {
    constexpr double kPeakOpacity = 0.6;
    Picture picture = blank(kOverlayWidth, kOverlayHeight);
    const double middleX = kOverlayWidth / 2.0;
    const double middleY = kOverlayHeight / 2.0;
    for (uint32_t y = 0; y < kOverlayHeight; ++y) {
        const double across = softStep(std::abs(y + 0.5 - middleY), 4.0, 10.0);
        const auto grey = static_cast<uint8_t>(std::lround(255.0 - 40.0 * y / kOverlayHeight));
        for (uint32_t x = 0; x < kOverlayWidth; ++x) {
            const double along = softStep(std::abs(x + 0.5 - middleX), middleX - 96.0, 80.0);
            const auto alpha =
                static_cast<uint8_t>(std::lround(255.0 * kPeakOpacity * across * along));
            setPixel(picture, x, y, grey, alpha);
        }
    }
    return picture;
}

bool ImageResources::writeRgbaTiff(const std::string& path, const Picture& picture) {
    const std::unique_ptr<TIFF, decltype(&TIFFClose)> tiff(TIFFOpen(path.c_str(), "w"), &TIFFClose);
    if (tiff == nullptr) {
        return false;
    }
    setRgbaFields(tiff.get(), picture);
    std::vector<uint8_t> row(size_t{picture.width} * 4);
    for (uint32_t y = 0; y < picture.height; ++y) {
        // TIFFWriteScanline may encode in place, so each row goes through a copy.
        std::copy_n(&picture.rgba[y * row.size()], row.size(), row.begin());
        if (TIFFWriteScanline(tiff.get(), row.data(), y, 0) < 0) {
            return false;
        }
    }
    return TIFFFlush(tiff.get()) != 0;
}

} // namespace lumenarc::resources
