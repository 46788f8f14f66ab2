// Claimed sizes are not trusted: a small damaged file that claims a huge picture is refused
// without a matching allocation. The global operator new is replaced to see the largest one.

#include "image/ImageFile.h"
#include "image/ImageTestFiles.h"
#include "image/TiffImage.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<size_t> largestAllocation{0};

} // namespace

void* operator new(size_t size) {
    size_t seen = largestAllocation.load();
    while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

// The replacement new above allocates with malloc, so free is its match; GCC cannot see that
// through the replacement and warns at some optimisation levels.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}
#pragma GCC diagnostic pop

namespace lumenarc {
namespace {

constexpr size_t kModest = size_t{64} * 1024 * 1024;

class ImageLimits : public testing::Test {
protected:
    void SetUp() override { largestAllocation = 0; }
    test::TempDir dir;
};

TEST_F(ImageLimits, TheAllocationProbeSeesLargeBlocks) {
    std::vector<uint8_t> block(kModest + 1);
    EXPECT_GT(largestAllocation.load(), kModest);
}

TEST_F(ImageLimits, DamagedTiffClaimingAHugePicture) {
    const test::TiffSpec spec{.width = 16, .height = 16, .rowsPerStrip = 16};
    std::string bytes = test::readFile(
        test::writeTiff(dir.path() / "a.tif", spec, test::distinctPixels(16, 16, 3)));
    ASSERT_TRUE(test::patchTiffTag(bytes, TIFFTAG_IMAGEWIDTH, 16000));
    ASSERT_TRUE(test::patchTiffTag(bytes, TIFFTAG_IMAGELENGTH, 16000));
    ASSERT_TRUE(test::patchTiffTag(bytes, TIFFTAG_ROWSPERSTRIP, 16000));
    const auto path = dir.write("large.tif", bytes);
    largestAllocation = 0;
    EXPECT_FALSE(TiffImage::read(path).has_value());
    EXPECT_FALSE(ImageFile::read(path).has_value());
    EXPECT_LT(largestAllocation.load(), kModest);
}

TEST_F(ImageLimits, DamagedGreyTiffClaimingAHugePicture) {
    const test::TiffSpec spec{.width = 64,
                              .height = 64,
                              .samples = 1,
                              .photometric = PHOTOMETRIC_MINISBLACK,
                              .compression = COMPRESSION_ADOBE_DEFLATE,
                              .rowsPerStrip = 64};
    std::string bytes = test::readFile(
        test::writeTiff(dir.path() / "a.tif", spec, std::vector<uint8_t>(64 * 64, 7)));
    ASSERT_TRUE(test::patchTiffTag(bytes, TIFFTAG_IMAGEWIDTH, 16000));
    ASSERT_TRUE(test::patchTiffTag(bytes, TIFFTAG_IMAGELENGTH, 16000));
    ASSERT_TRUE(test::patchTiffTag(bytes, TIFFTAG_ROWSPERSTRIP, 16000));
    const auto path = dir.write("large.tif", bytes);
    largestAllocation = 0;
    EXPECT_FALSE(ImageFile::read(path).has_value());
    EXPECT_LT(largestAllocation.load(), kModest);
}

TEST_F(ImageLimits, DamagedPngAndJpegClaimingAHugePicture) {
    std::string png = test::readFile(
        test::writePngRgba(dir.path() / "a.png", 2, 2, test::distinctPixels(2, 2, 4)));
    test::patchPngSize(png, 16000, 16000);
    std::string jpeg = test::readFile(
        test::writeJpegRgb(dir.path() / "a.jpg", 16, 16, test::distinctPixels(16, 16, 3)));
    ASSERT_TRUE(test::patchJpegSize(jpeg, 16000, 16000));
    const auto pngPath = dir.write("large.png", png);
    const auto jpegPath = dir.write("large.jpg", jpeg);
    largestAllocation = 0;
    EXPECT_FALSE(ImageFile::read(pngPath).has_value());
    EXPECT_FALSE(ImageFile::read(jpegPath).has_value());
    EXPECT_LT(largestAllocation.load(), kModest);
}

} // namespace
} // namespace lumenarc
