// Textures: sizes, the direct and staged lock paths, zeroed contents, keep-staging, and
// creation rules.
#include "D3DFixture.h"

#include "d3d9.h"

using namespace d3dtest;

namespace {

bool AllZero(VEL::ID3DTexture* t)
{
    VEL::D3DLockedRect r{};
    if (!t->Lock(&r, false))
        return false;
    bool zero = true;
    const size_t rowBytes = size_t{t->GetTextureWidth()} * 4;
    for (uint32_t y = 0; y < t->GetTextureHeight() && zero; ++y) {
        const auto* row = static_cast<const uint8_t*>(r.pBits) + size_t{y} * r.Pitch;
        for (size_t i = 0; i < rowBytes; ++i)
            zero = zero && row[i] == 0;
    }
    t->Unlock();
    return zero;
}

TEST_F(D3DTest, TextureSizesRoundUpToPowersOfTwo)
{
    Ref<VEL::ID3DTexture> t(Create<VEL::ID3DTexture>(VEL::IID_ID3DTexture));
    EXPECT_FALSE(t->Create(16, 16, 0, false)) << "no device yet";
    MakeDevice();
    struct Case {
        uint32_t w, h, tw, th;
    } cases[] = {{100, 60, 128, 64}, {1, 1, 1, 1}, {64, 32, 64, 32}, {65, 3, 128, 4}};
    for (const Case& c : cases) {
        ASSERT_TRUE(t->Create(c.w, c.h, 0, false));
        EXPECT_EQ(t->GetWidth(), c.w);
        EXPECT_EQ(t->GetHeight(), c.h);
        EXPECT_EQ(t->GetTextureWidth(), c.tw);
        EXPECT_EQ(t->GetTextureHeight(), c.th);
    }
    // Ignored with a true result: zero sizes and depths of 2 or more.
    EXPECT_TRUE(t->Create(0, 5, 0, false));
    EXPECT_TRUE(t->Create(5, 5, 2, false));
    EXPECT_EQ(t->GetWidth(), 65u);
    // Beyond the device's limit after rounding: fails, and the old pixels cannot be locked as
    // the new size.
    EXPECT_FALSE(t->Create(4097, 4, 0, false));
    VEL::D3DLockedRect r{};
    EXPECT_FALSE(t->Lock(&r, false));
}

class TexturePathTest : public D3DTest, public ::testing::WithParamInterface<int> {};

// 0: dynamic textures (direct lock); 1: no dynamic textures (staged lock); 2: render target.
TEST_P(TexturePathTest, LockRulesAndContentsOnEachPath)
{
    if (GetParam() == 1) {
        platctl_d3d9_profile p;
        platctl_d3d9_default_profile(&p);
        p.caps2 = 0;
        platctl_d3d9_set_profile(&p);
    }
    MakeDevice();
    const bool target = GetParam() == 2;
    Ref<VEL::ID3DTexture> t(Create<VEL::ID3DTexture>(VEL::IID_ID3DTexture));
    ASSERT_TRUE(t->Create(8, 8, 0, target));
    EXPECT_TRUE(AllZero(t.get()));

    VEL::D3DLockedRect r{}, r2{};
    ASSERT_TRUE(t->Lock(&r, true));
    EXPECT_GE(r.Pitch, 32);
    EXPECT_FALSE(t->Lock(&r2, false)) << "already locked";
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(r.pBits) + y * r.Pitch)[x] = 0xFF000000u | (y << 8) | x;
    t->Unlock();
    t->Unlock(); // unlocked already: nothing

    // What was written is what the next lock shows (a kept staging copy, the render target's
    // data, or the texture itself).
    ASSERT_TRUE(t->Lock(&r, false));
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(r.pBits) + 5 * r.Pitch)[3] & 0xFFFFFFu,
              0x000503u);
    t->Unlock();

    // Create on a locked texture unlocks it first.
    ASSERT_TRUE(t->Lock(&r, false));
    ASSERT_TRUE(t->Create(4, 4, 1, target));
    ASSERT_TRUE(t->Lock(&r, false));
    t->Unlock();

    // The uploaded pixels are what a renderer draws.
    if (!target) {
        ASSERT_TRUE(t->Create(4, 4, 0, false));
        Fill(t.get(), 4, 4, std::vector<uint32_t>(16, 0xFF00FF00u));
        Ref<VEL::ID3DRender> sprites(Create<VEL::ID3DRender>(VEL::IID_ID3DRender));
        ASSERT_TRUE(sprites->Initialize(1));
        ASSERT_TRUE(sprites->SetTexture(t.get()));
        root->Clear(0xFF000000u);
        ASSERT_TRUE(root->BeginScene());
        const VEL::SpriteQuad q = Quad(0, 0, 4, 4);
        sprites->DrawQuad(&q, 0, 0, 0, 0);
        sprites->Flush();
        root->EndScene();
        EXPECT_EQ(ReadFrame()[kWidth + 2], 0xFF00FF00u);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, TexturePathTest, ::testing::Values(0, 1, 2));

TEST_F(D3DTest, DestroyedTextureCannotBeLockedOrBound)
{
    MakeDevice();
    const uint32_t live = platctl_d3d9_live_objects();
    Ref<VEL::ID3DTexture> t(Create<VEL::ID3DTexture>(VEL::IID_ID3DTexture));
    Ref<VEL::ID3DRender> sprites(Create<VEL::ID3DRender>(VEL::IID_ID3DRender));
    EXPECT_FALSE(sprites->SetTexture(t.get())) << "not created";
    EXPECT_FALSE(sprites->SetTexture(nullptr));
    ASSERT_TRUE(t->Create(4, 4, 0, false));
    t->Destroy();
    VEL::D3DLockedRect r{};
    EXPECT_FALSE(t->Lock(&r, false));
    EXPECT_FALSE(sprites->SetTexture(t.get()));
    EXPECT_EQ(platctl_d3d9_live_objects(), live) << "Destroy let the device objects go";
}

} // namespace
