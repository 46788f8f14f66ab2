#include "image/ImageFile.h"
#include "image/ImageTestFiles.h"
#include "image/PngWriter.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace lumenarc {
namespace {

using test::distinctPixels;
using test::TiffSpec;
using test::writeTiff;
using testing::HasSubstr;

std::vector<uint8_t> opaque(const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> rgba;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
    }
    return rgba;
}

// The pixels, or none (and a failure) when the file does not read.
std::vector<uint8_t> pixelsOf(const std::string& path) {
    std::string error;
    const auto image = ImageFile::read(path, &error);
    if (!image.has_value()) {
        ADD_FAILURE() << error;
        return {};
    }
    return image->pixels();
}

TEST(ImageFileFormat, DetectedByTheFirstBytes) {
    using F = ImageFile::Format;
    const auto detect = [](std::vector<uint8_t> head) { return ImageFile::detectFormat(head); };
    EXPECT_EQ(detect({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}), F::Png);
    EXPECT_EQ(detect({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A}), F::Unknown);
    EXPECT_EQ(detect({0xFF, 0xD8, 0xFF, 0xE0}), F::Jpeg);
    EXPECT_EQ(detect({'I', 'I', 42, 0}), F::Tiff);
    EXPECT_EQ(detect({'M', 'M', 0, 42}), F::Tiff);
    EXPECT_EQ(detect({'I', 'I', 43, 0}), F::Tiff);
    EXPECT_EQ(detect({'M', 'M', 42, 0}), F::Unknown);
    EXPECT_EQ(detect({'G', 'I', 'F', '8'}), F::Unknown);
    EXPECT_EQ(detect({}), F::Unknown);
}

class ImageFileReads : public testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(ImageFileReads, PngWithStraightAlphaExactly) {
    const auto rgba = distinctPixels(5, 3, 4);
    std::string error;
    const auto image =
        ImageFile::read(test::writePngRgba(dir.path() / "a.png", 5, 3, rgba), &error);
    ASSERT_TRUE(image.has_value()) << error;
    EXPECT_EQ(image->width(), 5u);
    EXPECT_EQ(image->height(), 3u);
    EXPECT_EQ(image->pixels(), rgba);
}

TEST_F(ImageFileReads, ByContentNotByName) {
    const auto rgba = distinctPixels(2, 2, 4);
    EXPECT_EQ(pixelsOf(test::writePngRgba(dir.path() / "picture.jpg", 2, 2, rgba)), rgba);
    const auto rgb = distinctPixels(2, 2, 3);
    EXPECT_EQ(pixelsOf(writeTiff(dir.path() / "picture", {.width = 2, .height = 2}, rgb)),
              opaque(rgb));
}

// Flat 16x16 blocks (whole units of subsampled colour) survive JPEG almost unchanged away from
// their edges, where chroma upsampling blends neighbours; exact values are not promised.
TEST_F(ImageFileReads, JpegApproximately) {
    const uint8_t colours[4][3] = {{200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {128, 128, 128}};
    const auto colourAt = [&colours](int x, int y) { return colours[(y / 16) * 2 + x / 16]; };
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            rgb.insert(rgb.end(), colourAt(x, y), colourAt(x, y) + 3);
        }
    }
    const auto pixels = pixelsOf(test::writeJpegRgb(dir.path() / "a.jpeg", 32, 32, rgb));
    ASSERT_EQ(pixels.size(), 32u * 32u * 4u);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const uint8_t* pixel = &pixels[static_cast<size_t>(y * 32 + x) * 4];
            EXPECT_EQ(pixel[3], 255);
            if (x % 16 < 2 || x % 16 > 13 || y % 16 < 2 || y % 16 > 13) {
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(pixel[c], colourAt(x, y)[c], 6) << x << ", " << y;
            }
        }
    }
}

TEST_F(ImageFileReads, TiffRgbAndStraightRgbaExactly) {
    const auto rgb = distinctPixels(5, 3, 3);
    EXPECT_EQ(pixelsOf(writeTiff(dir.path() / "rgb.tif", {.width = 5, .height = 3}, rgb)),
              opaque(rgb));
    // A low alpha with a bright colour: a premultiplied detour would lose the colour's precision.
    const std::vector<uint8_t> rgba = {200, 100, 51, 3, 10, 20, 30, 0};
    const TiffSpec spec{
        .width = 2, .height = 1, .samples = 4, .extraSamples = {EXTRASAMPLE_UNASSALPHA}};
    EXPECT_EQ(pixelsOf(writeTiff(dir.path() / "rgba.tif", spec, rgba)), rgba);
}

// Layouts that textures refuse are converted here.
TEST_F(ImageFileReads, TiffOtherLayoutsConverted) {
    const std::vector<uint8_t> grey = {0, 60, 120, 255};
    const TiffSpec greySpec{.width = 2,
                            .height = 2,
                            .samples = 1,
                            .photometric = PHOTOMETRIC_MINISBLACK,
                            .orientation = ORIENTATION_BOTLEFT};
    EXPECT_EQ(pixelsOf(writeTiff(dir.path() / "grey.tif", greySpec, grey)),
              (std::vector<uint8_t>{120, 120, 120, 255, 255, 255, 255, 255, 0, 0, 0, 255, 60, 60,
                                    60, 255}));

    const std::vector<uint8_t> wide = {0x12, 0x34, 0xAB,
                                       0xCD, 0xFF, 0xFF}; // one 16-bit pixel, big end first
    std::vector<uint8_t> native(wide.size());
    for (size_t i = 0; i < wide.size(); i += 2) {
        const uint16_t value = static_cast<uint16_t>(wide[i] << 8 | wide[i + 1]);
        std::memcpy(&native[i], &value, 2);
    }
    const auto deep =
        pixelsOf(writeTiff(dir.path() / "deep.tif", {.width = 1, .height = 1, .bits = 16}, native));
    EXPECT_EQ(deep, (std::vector<uint8_t>{0x12, 0xAB, 0xFF, 255}));

    // Premultiplied (50, 25, 0) at alpha 128 is straight (100, 50, 0).
    const TiffSpec premultiplied{
        .width = 1, .height = 1, .samples = 4, .extraSamples = {EXTRASAMPLE_ASSOCALPHA}};
    const auto straight =
        pixelsOf(writeTiff(dir.path() / "pre.tif", premultiplied, {50, 25, 0, 128}));
    ASSERT_EQ(straight.size(), 4u);
    EXPECT_NEAR(straight[0], 100, 1);
    EXPECT_NEAR(straight[1], 50, 1);
    EXPECT_EQ(straight[3], 128);
}

class ImageFileFailures : public testing::Test {
protected:
    std::string failure(const std::string& path) {
        std::string error;
        testing::internal::CaptureStderr();
        const bool loaded = ImageFile::read(path, &error).has_value();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_FALSE(loaded) << path;
        EXPECT_THAT(error, HasSubstr(path));
        return error;
    }
    test::TempDir dir;
};

TEST_F(ImageFileFailures, MissingEmptyAndUnknownFiles) {
    EXPECT_THAT(failure((dir.path() / "missing.png").string()), HasSubstr("cannot open"));
    EXPECT_THAT(failure(dir.write("empty.png", "")), HasSubstr("is empty"));
    EXPECT_THAT(failure(dir.write("text.png", "GIF89a, or rather not")),
                HasSubstr("not a PNG, JPEG or TIFF picture"));
}

TEST_F(ImageFileFailures, TruncatedFilesOfEachFormat) {
    const auto rgb = distinctPixels(64, 64, 3);
    const auto png = test::readFile(test::writePngRgba(dir.path() / "a.png", 64, 64, opaque(rgb)));
    EXPECT_THAT(failure(dir.write("cut.png", png.substr(0, png.size() / 2))), HasSubstr("damaged"));
    const auto jpeg = test::readFile(test::writeJpegRgb(dir.path() / "a.jpg", 64, 64, rgb));
    EXPECT_THAT(failure(dir.write("cut.jpg", jpeg.substr(0, jpeg.size() / 2))),
                HasSubstr("damaged"));
    const auto tiff =
        test::readFile(writeTiff(dir.path() / "a.tif", {.width = 64, .height = 64}, rgb));
    EXPECT_THAT(failure(dir.write("cut.tif", tiff.substr(0, tiff.size() / 2))), HasSubstr("TIFF"));
}

TEST_F(ImageFileFailures, AbsurdClaimedSizes) {
    const auto png =
        test::readFile(test::writePngRgba(dir.path() / "a.png", 2, 2, distinctPixels(2, 2, 4)));
    std::string wide = png;
    test::patchPngSize(wide, 20000, 2);
    EXPECT_THAT(failure(dir.write("wide.png", wide)), HasSubstr("claims 20000x2 pixels"));
    std::string large = png;
    test::patchPngSize(large, 16000, 16000);
    EXPECT_THAT(failure(dir.write("large.png", large)), HasSubstr("far too short"));

    const auto jpeg =
        test::readFile(test::writeJpegRgb(dir.path() / "a.jpg", 16, 16, distinctPixels(16, 16, 3)));
    std::string wideJpeg = jpeg;
    ASSERT_TRUE(test::patchJpegSize(wideJpeg, 30000, 16));
    EXPECT_THAT(failure(dir.write("wide.jpg", wideJpeg)), HasSubstr("claims 30000x16 pixels"));
    std::string largeJpeg = jpeg;
    ASSERT_TRUE(test::patchJpegSize(largeJpeg, 16000, 16000));
    EXPECT_THAT(failure(dir.write("large.jpg", largeJpeg)), HasSubstr("damaged"));
}

class PngWriterTest : public testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(PngWriterTest, RgbRowsReadBackExactly) {
    const auto rgb = distinctPixels(7, 3, 3);
    const auto path = (dir.path() / "out.png").string();
    std::string error;
    ASSERT_TRUE(PngWriter::write(path, 7, 3, 3, rgb, PngWriter::RowOrder::TopFirst, &error))
        << error;
    EXPECT_EQ(pixelsOf(path), opaque(rgb));
}

TEST_F(PngWriterTest, RgbaLosesItsAlphaAndBottomFirstRowsAreFlipped) {
    const std::vector<uint8_t> rgba = {1, 2, 3, 0,
                                       4, 5, 6, 128}; // one column, two rows, bottom first
    const auto path = (dir.path() / "out.png").string();
    ASSERT_TRUE(PngWriter::write(path, 1, 2, 4, rgba, PngWriter::RowOrder::BottomFirst));
    EXPECT_EQ(pixelsOf(path), (std::vector<uint8_t>{4, 5, 6, 255, 1, 2, 3, 255}));
}

TEST_F(PngWriterTest, BadArgumentsAndUnwritablePaths) {
    const auto rgb = distinctPixels(2, 2, 3);
    const auto path = (dir.path() / "out.png").string();
    std::string error;
    EXPECT_FALSE(PngWriter::write(path, 2, 2, 2, rgb, PngWriter::RowOrder::TopFirst, &error));
    EXPECT_THAT(error, HasSubstr("3 or 4 channels"));
    EXPECT_FALSE(PngWriter::write(path, 3, 2, 3, rgb, PngWriter::RowOrder::TopFirst, &error));
    EXPECT_THAT(error, HasSubstr("fewer pixels"));
    EXPECT_FALSE(PngWriter::write(path, 0, 2, 3, rgb, PngWriter::RowOrder::TopFirst, &error));
    const auto nowhere = (dir.path() / "no" / "such" / "folder.png").string();
    EXPECT_FALSE(PngWriter::write(nowhere, 2, 2, 3, rgb, PngWriter::RowOrder::TopFirst, &error));
    EXPECT_THAT(error, HasSubstr(nowhere));
}

} // namespace
} // namespace lumenarc
