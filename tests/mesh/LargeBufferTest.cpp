#include "mesh/LargeBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace lumenarc {
namespace {

TEST(LargeBuffer, SmallBuffersComeFromTheHeapLargeOnesAreMapped) {
    const auto empty = LargeBuffer::allocate(0);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->size(), 0u);
    for (const size_t bytes : {size_t{1}, LargeBuffer::kMapThreshold - 1,
                               LargeBuffer::kMapThreshold, 3 * LargeBuffer::kMapThreshold + 5}) {
        auto buffer = LargeBuffer::allocate(bytes);
        ASSERT_TRUE(buffer) << bytes;
        EXPECT_EQ(buffer->size(), bytes);
        EXPECT_EQ(buffer->isMapped(), bytes >= LargeBuffer::kMapThreshold) << bytes;
        // Every byte is there to be written and read back.
        std::memset(buffer->data(), 0x5a, bytes);
        EXPECT_EQ(buffer->data()[0], 0x5a);
        EXPECT_EQ(buffer->data()[bytes - 1], 0x5a);
    }
}

TEST(LargeBuffer, MovingHandsTheMemoryOver) {
    auto first = LargeBuffer::allocate(LargeBuffer::kMapThreshold);
    ASSERT_TRUE(first);
    char* const data = first->data();
    LargeBuffer second(std::move(*first));
    EXPECT_EQ(second.data(), data);
    EXPECT_EQ(first->data(), nullptr);
    EXPECT_EQ(first->size(), 0u);
    auto small = LargeBuffer::allocate(16);
    ASSERT_TRUE(small);
    second = std::move(*small); // the mapped memory goes, the heap block takes its place
    EXPECT_FALSE(second.isMapped());
    EXPECT_EQ(second.size(), 16u);
}

TEST(LargeBuffer, MemoryThatCannotBeHadIsRefused) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers report an impossible allocation instead of returning nothing";
#else
    EXPECT_FALSE(LargeBuffer::allocate(SIZE_MAX / 2)); // more than the address space
#endif
}

} // namespace
} // namespace lumenarc
