// The back-buffer object: conversions both ways on 32- and 16-bit back buffers, and its rules.
#include "D3DFixture.h"

using namespace d3dtest;

namespace {

TEST_F(D3DTest, BackBufferNeedsADeviceAndIsCreatedOnce)
{
    Ref<VEL::ID3DBackBuffer> bb(Create<VEL::ID3DBackBuffer>(VEL::IID_ID3DBackBuffer));
    EXPECT_FALSE(bb->Create());
    std::vector<uint32_t> pixels(kWidth * kHeight);
    EXPECT_FALSE(bb->Read(pixels.data()));
    MakeDevice();
    ASSERT_TRUE(bb->Create());
    EXPECT_FALSE(bb->Create());
    EXPECT_EQ(bb->GetWidth(), kWidth);
    EXPECT_EQ(bb->GetHeight(), kHeight);
    bb->Destroy();
    EXPECT_EQ(bb->GetWidth(), 0u);
    EXPECT_EQ(bb->GetHeight(), 0u);
    EXPECT_FALSE(bb->Read(pixels.data()));
    EXPECT_TRUE(bb->Create());
}

class BackBufferFormatTest : public D3DTest, public ::testing::WithParamInterface<int> {};

TEST_P(BackBufferFormatTest, WriteThenReadConvertsEachChannel)
{
    const bool sixteen = GetParam() == 1;
    MakeDevice(GetParam());
    Ref<VEL::ID3DBackBuffer> bb(Create<VEL::ID3DBackBuffer>(VEL::IID_ID3DBackBuffer));
    ASSERT_TRUE(bb->Create());
    std::vector<uint32_t> frame(kWidth * kHeight);
    root->Clear(0xFFFFFFFFu);
    ASSERT_TRUE(bb->Read(frame.data()));
    EXPECT_EQ(frame[0], sixteen ? 0xFFF8FCF8u : 0xFFFFFFFFu);

    std::vector<uint32_t> written(kWidth * kHeight);
    for (uint32_t i = 0; i < written.size(); ++i)
        written[i] = i * 0x01234567u;
    bb->Write(written.data());
    bb->Write(nullptr);
    ASSERT_TRUE(bb->Read(frame.data()));
    for (uint32_t i = 0; i < written.size(); ++i) {
        // 16 bits keep the high 5, 6, 5 bits of each channel.
        const uint32_t want = sixteen ? (written[i] & 0xF8FCF8u) | 0xFF000000u : written[i] | 0xFF000000u;
        ASSERT_EQ(frame[i], want) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, BackBufferFormatTest, ::testing::Values(0, 1));

} // namespace
