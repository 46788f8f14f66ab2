#include "render/GlyphBitmap.h"

#include <gtest/gtest.h>

#include <functional>

namespace lumenarc {
namespace {

// A grey image (one sample per pixel) lit where the pattern says, row 0 at the top.
GlyphImage greyImage(int width, int height, int bytesPerRow,
                     const std::function<bool(int, int)>& lit) {
    GlyphImage image{width, height, bytesPerRow, 1, {}};
    image.samples.assign(static_cast<size_t>(bytesPerRow) * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.samples[y * bytesPerRow + x] = lit(x, y) ? 0xFF : 0;
        }
    }
    return image;
}

TEST(GlyphBitmap, PacksElevenByTwentyOneBottomRowFirst) {
    // Only the bottom row is lit in full; every other row has its leftmost pixel lit.
    const auto image = greyImage(11, 21, 11, [](int x, int y) { return y == 20 || x == 0; });
    const auto bitmap = GlyphBitmap::pack(image);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->bytesPerRow(), 2u);
    ASSERT_EQ(bitmap->bits().size(), 42u);
    EXPECT_EQ(bitmap->bits()[0], 0xFF);
    EXPECT_EQ(bitmap->bits()[1], 0xE0);
    for (size_t row = 1; row < 21; ++row) {
        EXPECT_EQ(bitmap->bits()[row * 2], 0x80) << row;
        EXPECT_EQ(bitmap->bits()[row * 2 + 1], 0x00) << row;
    }
    for (size_t row = 0; row < 21; ++row) {
        EXPECT_EQ(bitmap->bits()[row * 2 + 1] & 0x1F, 0) << row;
    }
}

TEST(GlyphBitmap, SetsBitsMostSignificantFirstFromFirstSampleOnly) {
    // Three samples a pixel and padded rows; the later samples are always set and must not count.
    GlyphImage image{10, 2, 40, 3, std::vector<uint8_t>(80, 0xFF)};
    const bool top[10] = {1, 0, 1, 0, 0, 0, 0, 1, 0, 1};
    const bool bottom[10] = {0, 1, 0, 0, 0, 0, 0, 0, 1, 0};
    for (int x = 0; x < 10; ++x) {
        image.samples[x * 3] = top[x] ? 7 : 0;
        image.samples[40 + x * 3] = bottom[x] ? 1 : 0;
    }
    const auto bitmap = GlyphBitmap::pack(image);
    ASSERT_TRUE(bitmap);
    // ceil(40 / 8) x 2 bytes, zero beyond the packed rows.
    ASSERT_EQ(bitmap->bits().size(), 10u);
    EXPECT_EQ(bitmap->bits()[0], 0x40);
    EXPECT_EQ(bitmap->bits()[1], 0x80);
    EXPECT_EQ(bitmap->bits()[2], 0xA1);
    EXPECT_EQ(bitmap->bits()[3], 0x40);
    for (size_t i = 4; i < 10; ++i) {
        EXPECT_EQ(bitmap->bits()[i], 0) << i;
    }
}

TEST(GlyphBitmap, WholeBytesAndTinyGlyphs) {
    const auto eight = GlyphBitmap::pack(greyImage(8, 1, 8, [](int x, int) { return x == 7; }));
    ASSERT_TRUE(eight);
    ASSERT_EQ(eight->bits().size(), 1u);
    EXPECT_EQ(eight->bits()[0], 0x01);

    const auto one = GlyphBitmap::pack(greyImage(1, 3, 4, [](int, int y) { return y == 2; }));
    ASSERT_TRUE(one);
    ASSERT_EQ(one->bits().size(), 3u);
    EXPECT_EQ(one->bits()[0], 0x80);
    EXPECT_EQ(one->bits()[1], 0x00);

    const auto empty = GlyphBitmap::pack(GlyphImage{0, 0, 0, 1, {}});
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->bits().empty());
}

TEST(GlyphBitmap, BufferSizeFollowsBytesPerRow) {
    EXPECT_EQ(GlyphBitmap::bufferSize(GlyphImage{11, 21, 12, 1, {}}), 42u);
    EXPECT_EQ(GlyphBitmap::bufferSize(GlyphImage{11, 21, 44, 4, {}}), 126u);
    EXPECT_EQ(GlyphBitmap::packedBytesPerRow(0), 0u);
    EXPECT_EQ(GlyphBitmap::packedBytesPerRow(9), 2u);
}

TEST(GlyphBitmap, RefusesWhatCannotBePackedSafely) {
    // Rows shorter than their pixels, no samples per pixel, negative or absurd sizes.
    EXPECT_FALSE(GlyphBitmap::bufferSize(GlyphImage{11, 2, 10, 1, {}}));
    EXPECT_FALSE(GlyphBitmap::bufferSize(GlyphImage{4, 2, 8, 0, {}}));
    EXPECT_FALSE(GlyphBitmap::bufferSize(GlyphImage{-1, 2, 8, 1, {}}));
    EXPECT_FALSE(GlyphBitmap::bufferSize(GlyphImage{4, -2, 8, 1, {}}));
    EXPECT_FALSE(GlyphBitmap::bufferSize(GlyphImage{100000, 100000, 100000, 1, {}}));
    EXPECT_FALSE(GlyphBitmap::bufferSize(GlyphImage{1, 4096, 2147483647, 1, {}}));
    EXPECT_FALSE(GlyphBitmap::fits(GlyphBitmap::kMaxSide + 1, 1));
    EXPECT_TRUE(GlyphBitmap::fits(GlyphBitmap::kMaxSide, GlyphBitmap::kMaxSide));

    // A size without pixels (the renderer could not allocate them), or too few samples.
    EXPECT_FALSE(GlyphBitmap::pack(GlyphImage{11, 21, 0, 1, {}}));
    EXPECT_FALSE(GlyphBitmap::pack(GlyphImage{11, 21, 12, 1, {}}));
    GlyphImage shortData = greyImage(4, 3, 4, [](int, int) { return true; });
    shortData.samples.resize(11);
    EXPECT_FALSE(GlyphBitmap::pack(shortData));
    shortData.samples.resize(12);
    EXPECT_TRUE(GlyphBitmap::pack(shortData));
}

} // namespace
} // namespace lumenarc
