#include "image/TiffImage.h"
#include "image/ImageTestFiles.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumenarc {
namespace {

using test::distinctPixels;
using test::TiffSpec;
using test::writeTiff;
using testing::HasSubstr;

std::vector<uint8_t> rgbaOf(std::initializer_list<uint8_t> bytes) {
    return bytes;
}

// Interleaved pixels split into one plane per sample, as a separate-planes file stores them.
std::vector<uint8_t> toPlanes(const std::vector<uint8_t>& pixels, int channels) {
    std::vector<uint8_t> planes;
    for (int sample = 0; sample < channels; ++sample) {
        for (size_t i = static_cast<size_t>(sample); i < pixels.size();
             i += static_cast<size_t>(channels)) {
            planes.push_back(pixels[i]);
        }
    }
    return planes;
}

class TiffImageReads : public testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(TiffImageReads, RgbWithExactValues) {
    const std::vector<uint8_t> rgb = {255, 0,  0,  0,  255, 0,  0,  0,  255,
                                      10,  20, 30, 40, 50,  60, 70, 80, 90};
    const auto path = writeTiff(dir.path() / "rgb.tif", {.width = 3, .height = 2}, rgb);
    std::string reason;
    const auto image = TiffImage::read(path, &reason);
    ASSERT_TRUE(image.has_value()) << reason;
    EXPECT_EQ(image->width(), 3u);
    EXPECT_EQ(image->height(), 2u);
    EXPECT_FALSE(image->hasAlpha());
    EXPECT_EQ(image->channels(), 3);
    EXPECT_EQ(image->pixels(), rgb);
}

// Straight alpha keeps colours where alpha is low or zero; premultiplying would darken them.
TEST_F(TiffImageReads, RgbaWithStraightAlpha) {
    const auto rgba = rgbaOf({200, 100, 50, 128, 10, 20, 30, 0, 255, 255, 255, 255, 1, 2, 3, 4});
    const TiffSpec spec{
        .width = 2, .height = 2, .samples = 4, .extraSamples = {EXTRASAMPLE_UNASSALPHA}};
    const auto image = TiffImage::read(writeTiff(dir.path() / "rgba.tif", spec, rgba));
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(image->hasAlpha());
    EXPECT_EQ(image->rowBytes(), 8u);
    EXPECT_EQ(image->pixels(), rgba);
}

TEST_F(TiffImageReads, OddWidthRowsStayTightlyPacked) {
    const auto rgb = distinctPixels(5, 3, 3);
    const auto image =
        TiffImage::read(writeTiff(dir.path() / "odd.tif", {.width = 5, .height = 3}, rgb));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->rowBytes(), 15u);
    EXPECT_EQ(image->pixels(), rgb);
}

TEST_F(TiffImageReads, CompressedStripsOfSeveralRows) {
    const auto rgba = distinctPixels(37, 29, 4);
    for (const uint16_t compression :
         {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS}) {
        const TiffSpec spec{.width = 37,
                            .height = 29,
                            .samples = 4,
                            .extraSamples = {EXTRASAMPLE_UNASSALPHA},
                            .compression = compression,
                            .rowsPerStrip = 8};
        const auto image = TiffImage::read(writeTiff(dir.path() / "c.tif", spec, rgba));
        ASSERT_TRUE(image.has_value()) << "compression " << compression;
        EXPECT_EQ(image->pixels(), rgba) << "compression " << compression;
    }
}

TEST_F(TiffImageReads, SeparatePlanesAreInterleaved) {
    const auto rgb = distinctPixels(7, 5, 3);
    const TiffSpec spec{.width = 7,
                        .height = 5,
                        .planar = PLANARCONFIG_SEPARATE,
                        .compression = COMPRESSION_LZW,
                        .rowsPerStrip = 2};
    std::string reason;
    const auto image =
        TiffImage::read(writeTiff(dir.path() / "planes.tif", spec, toPlanes(rgb, 3)), &reason);
    ASSERT_TRUE(image.has_value()) << reason;
    EXPECT_EQ(image->pixels(), rgb);
}

TEST_F(TiffImageReads, TilesIncludingPartialEdgeTiles) {
    const auto rgba = distinctPixels(40, 24, 4);
    TiffSpec spec{.width = 40,
                  .height = 24,
                  .samples = 4,
                  .extraSamples = {EXTRASAMPLE_UNASSALPHA},
                  .compression = COMPRESSION_ADOBE_DEFLATE,
                  .tileSide = 16};
    std::string reason;
    auto image = TiffImage::read(writeTiff(dir.path() / "tiles.tif", spec, rgba), &reason);
    ASSERT_TRUE(image.has_value()) << reason;
    EXPECT_EQ(image->pixels(), rgba);

    spec.planar = PLANARCONFIG_SEPARATE;
    image =
        TiffImage::read(writeTiff(dir.path() / "tileplanes.tif", spec, toPlanes(rgba, 4)), &reason);
    ASSERT_TRUE(image.has_value()) << reason;
    EXPECT_EQ(image->pixels(), rgba);
}

TEST_F(TiffImageReads, OrientationTagPutsTheTopRowFirst) {
    // Stored rows: A B / C D; bottom-left orientation means the first stored row is the bottom.
    const std::vector<uint8_t> stored = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6};
    auto image = TiffImage::read(
        writeTiff(dir.path() / "bl.tif",
                  {.width = 3, .height = 2, .orientation = ORIENTATION_BOTLEFT}, stored));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->pixels(),
              (std::vector<uint8_t>{4, 4, 4, 5, 5, 5, 6, 6, 6, 1, 1, 1, 2, 2, 2, 3, 3, 3}));

    // Right-top: stored rows are the picture's columns, the first one at the right.
    image = TiffImage::read(
        writeTiff(dir.path() / "rt.tif",
                  {.width = 3, .height = 2, .orientation = ORIENTATION_RIGHTTOP}, stored));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width(), 2u);
    EXPECT_EQ(image->height(), 3u);
    EXPECT_EQ(image->pixels(),
              (std::vector<uint8_t>{4, 4, 4, 1, 1, 1, 5, 5, 5, 2, 2, 2, 6, 6, 6, 3, 3, 3}));
}

// Each other layout is refused with a reason that names it.
struct Refusal {
    const char* name;
    TiffSpec spec;
    size_t bytesPerPixel;
    const char* expected;
};

class TiffImageRefuses : public testing::TestWithParam<Refusal> {
protected:
    test::TempDir dir;
};

TEST_P(TiffImageRefuses, OtherLayouts) {
    const Refusal& refusal = GetParam();
    const std::vector<uint8_t> data(
        size_t{refusal.spec.width} * refusal.spec.height * refusal.bytesPerPixel, 100);
    std::string reason;
    EXPECT_FALSE(
        TiffImage::read(writeTiff(dir.path() / "x.tif", refusal.spec, data), &reason).has_value());
    EXPECT_THAT(reason, HasSubstr(refusal.expected));
    EXPECT_THAT(reason, HasSubstr("only 24-bit RGB and 32-bit RGBA"));
}

const Refusal kRefusals[] = {
    {"Grey",
     {.width = 4, .height = 2, .samples = 1, .photometric = PHOTOMETRIC_MINISBLACK},
     1,
     "8-bit greyscale image without alpha"},
    {"GreyWithAlpha",
     {.width = 4,
      .height = 2,
      .samples = 2,
      .photometric = PHOTOMETRIC_MINISBLACK,
      .extraSamples = {EXTRASAMPLE_UNASSALPHA}},
     2,
     "16-bit greyscale image with alpha"},
    {"Palette",
     {.width = 4, .height = 2, .samples = 1, .photometric = PHOTOMETRIC_PALETTE},
     1,
     "palette"},
    {"SixteenBitRgb",
     {.width = 4, .height = 2, .bits = 16},
     6,
     "48-bit RGB image without alpha, 3 samples of 16 bits"},
    {"SixteenBitRgba",
     {.width = 4, .height = 2, .samples = 4, .bits = 16, .extraSamples = {EXTRASAMPLE_UNASSALPHA}},
     8,
     "64-bit RGB image with alpha"},
    {"FloatRgb",
     {.width = 4, .height = 2, .bits = 32, .sampleFormat = SAMPLEFORMAT_IEEEFP},
     12,
     "floating point"},
    {"Cmyk",
     {.width = 4, .height = 2, .samples = 4, .photometric = PHOTOMETRIC_SEPARATED},
     4,
     "32-bit CMYK image"},
    {"Premultiplied",
     {.width = 4, .height = 2, .samples = 4, .extraSamples = {EXTRASAMPLE_ASSOCALPHA}},
     4,
     "32-bit RGB image with premultiplied alpha"},
    {"ThirtyTwoBitWithoutAlpha",
     {.width = 4, .height = 2, .samples = 4, .extraSamples = {EXTRASAMPLE_UNSPECIFIED}},
     4,
     "32-bit RGB image without alpha (an extra sample that is not alpha)"},
    // 4 samples of 6 bits: 3 bytes per pixel.
    {"TwentyFourBitWithAlpha",
     {.width = 4, .height = 2, .samples = 4, .bits = 6, .extraSamples = {EXTRASAMPLE_UNASSALPHA}},
     3,
     "24-bit RGB image with alpha"},
    {"TwentyFourBitGreyWithAlpha",
     {.width = 4,
      .height = 2,
      .samples = 3,
      .photometric = PHOTOMETRIC_MINISBLACK,
      .extraSamples = {EXTRASAMPLE_UNASSALPHA, EXTRASAMPLE_UNSPECIFIED}},
     3,
     "24-bit greyscale image with alpha"},
    {"RgbWithTwoExtraSamples",
     {.width = 4,
      .height = 2,
      .samples = 5,
      .extraSamples = {EXTRASAMPLE_UNASSALPHA, EXTRASAMPLE_UNSPECIFIED}},
     5,
     "40-bit RGB image with alpha"},
};

INSTANTIATE_TEST_SUITE_P(Layouts, TiffImageRefuses, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& info) {
                             return info.param.name;
                         });

class TiffImageFailures : public testing::Test {
protected:
    std::string validRgb(uint32_t width = 16, uint32_t height = 16) {
        const TiffSpec spec{.width = width, .height = height, .rowsPerStrip = height};
        return test::readFile(
            writeTiff(dir.path() / "valid.tif", spec, distinctPixels(width, height, 3)));
    }
    // Reads, expecting a refusal, and checks that libtiff printed nothing of its own.
    std::string refusal(const std::string& path) {
        std::string reason;
        testing::internal::CaptureStderr();
        const bool loaded = TiffImage::read(path, &reason).has_value();
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(loaded);
        EXPECT_EQ(printed, "");
        EXPECT_FALSE(reason.empty());
        return reason;
    }
    test::TempDir dir;
};

TEST_F(TiffImageFailures, MissingEmptyAndNonTiffFiles) {
    const auto missing = (dir.path() / "missing.tif").string();
    EXPECT_THAT(refusal(missing), HasSubstr("cannot open " + missing));
    EXPECT_THAT(refusal(dir.write("empty.tif", "")), HasSubstr("not a readable TIFF file"));
    EXPECT_THAT(refusal(dir.write("text.tif", "this is not a picture at all")),
                HasSubstr("not a readable TIFF file"));
    EXPECT_THAT(refusal(dir.path().string()), HasSubstr("not a regular file"));
}

TEST_F(TiffImageFailures, TruncatedAndCorruptFiles) {
    const std::string whole = validRgb();
    // The directory sits after the pixel data: without its end the file has no directory.
    EXPECT_THAT(refusal(dir.write("cut.tif", whole.substr(0, whole.size() / 2))),
                HasSubstr("TIFF"));
    std::string noData = whole;
    ASSERT_TRUE(test::patchTiffTag(noData, TIFFTAG_STRIPOFFSETS, 1u << 30));
    EXPECT_THAT(refusal(dir.write("nodata.tif", noData)), HasSubstr("damaged"));
    std::string wrongCompression = whole;
    ASSERT_TRUE(test::patchTiffTag(wrongCompression, TIFFTAG_COMPRESSION, COMPRESSION_LZW));
    EXPECT_THAT(refusal(dir.write("lzw.tif", wrongCompression)), HasSubstr("damaged"));
}

TEST_F(TiffImageFailures, AbsurdAndEmptySizes) {
    std::string huge = validRgb();
    ASSERT_TRUE(test::patchTiffTag(huge, TIFFTAG_IMAGEWIDTH, 40000));
    EXPECT_THAT(refusal(dir.write("wide.tif", huge)), HasSubstr("claims 40000x16 pixels"));
    // Within the limit, but the file holds a few hundred bytes of the 768 MB it claims.
    std::string large = validRgb();
    ASSERT_TRUE(test::patchTiffTag(large, TIFFTAG_IMAGEWIDTH, 16000));
    ASSERT_TRUE(test::patchTiffTag(large, TIFFTAG_IMAGELENGTH, 16000));
    ASSERT_TRUE(test::patchTiffTag(large, TIFFTAG_ROWSPERSTRIP, 16000));
    EXPECT_THAT(refusal(dir.write("large.tif", large)), HasSubstr("damaged"));
    std::string empty = validRgb();
    ASSERT_TRUE(test::patchTiffTag(empty, TIFFTAG_IMAGELENGTH, 0));
    refusal(dir.write("empty.tif", empty));
}

} // namespace
} // namespace lumenarc
