// The root's memory helpers.
#include "StdFixture.h"

#include <array>
#include <cstring>
#include <numeric>
#include <vector>

TEST_F(StdTest, SwapExchangesValuesAndIgnoresNull)
{
    uint32_t a = 1, b = 0xFFFFFFFF;
    root->Swap(&a, &b);
    EXPECT_EQ(a, 0xFFFFFFFFu);
    EXPECT_EQ(b, 1u);
    root->Swap(nullptr, &b);
    EXPECT_EQ(b, 1u);
}

TEST_F(StdTest, MemoryCopyCopiesExactlyTheByteCount)
{
    for (uint32_t bytes : {0u, 1u, 3u, 4u, 7u, 8u, 13u, 1000u}) {
        std::vector<uint8_t> source(bytes + 8), destination(bytes + 8, 0xEE);
        std::iota(source.begin(), source.end(), 1);
        root->MemoryCopy(destination.data() + 1, source.data(), bytes);
        EXPECT_EQ(destination[0], 0xEE);
        EXPECT_EQ(std::memcmp(destination.data() + 1, source.data(), bytes), 0) << bytes;
        for (size_t i = bytes + 1; i < destination.size(); ++i)
            ASSERT_EQ(destination[i], 0xEE) << "bytes " << bytes << " index " << i;
    }
}

TEST_F(StdTest, MemoryCopyOverlappingIsStrictlyForward)
{
    // Copying a block one word onward repeats its first word through the overlap.
    std::array<uint8_t, 12> block = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    root->MemoryCopy(block.data() + 4, block.data(), 8);
    const std::array<uint8_t, 12> expected = {1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4};
    EXPECT_EQ(block, expected);
}

TEST_F(StdTest, MemorySwapAndRepeat)
{
    std::vector<uint8_t> a(37, 0xAA), b(37, 0xBB);
    root->MemorySwap(a.data(), b.data(), 37);
    EXPECT_EQ(a, std::vector<uint8_t>(37, 0xBB));
    EXPECT_EQ(b, std::vector<uint8_t>(37, 0xAA));
    root->MemorySwap(a.data(), nullptr, 37);
    root->MemorySwap(a.data(), b.data(), 0);
    EXPECT_EQ(a, std::vector<uint8_t>(37, 0xBB));

    const uint8_t pattern[3] = {7, 8, 9};
    std::vector<uint8_t> out(10, 0);
    root->MemoryCopyRepeat(out.data(), pattern, 3, 3);
    EXPECT_EQ(out, (std::vector<uint8_t>{7, 8, 9, 7, 8, 9, 7, 8, 9, 0}));
    root->MemoryCopyRepeat(out.data(), pattern, 3, 0);
    root->MemoryCopyRepeat(nullptr, pattern, 3, 2);
}

TEST_F(StdTest, FillsWriteExactlyTheirElements)
{
    std::vector<uint8_t> out(16, 0xEE);
    root->MemoryFill16(out.data() + 1, 0xABCD1234u, 3);
    const std::vector<uint8_t> expect16 = {0xEE, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0xEE};
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 8), expect16);

    std::fill(out.begin(), out.end(), 0xEE);
    root->MemoryFill32(out.data() + 1, 0x01020304u, 2);
    const std::vector<uint8_t> expect32 = {0xEE, 4, 3, 2, 1, 4, 3, 2, 1, 0xEE};
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 10), expect32);

    std::fill(out.begin(), out.end(), 0xEE);
    root->MemoryFill16(out.data(), 0, 0);
    root->MemoryFill32(out.data(), 0, 0);
    root->MemoryFill16(nullptr, 0, 4);
    root->MemoryFill32(nullptr, 0, 4);
    EXPECT_EQ(out, std::vector<uint8_t>(16, 0xEE));
}
