// Device loss: what the root releases before Reset and rebuilds after it, the wait for textures
// locked on other threads, and a reset that never succeeds.
#include "D3DFixture.h"

#include "d3d9.h"

#include <chrono>
#include <thread>

using namespace d3dtest;

namespace {

bool AllZero(VEL::ID3DTexture* t)
{
    VEL::D3DLockedRect r{};
    if (!t->Lock(&r, false))
        return false;
    bool zero = true;
    for (uint32_t y = 0; y < t->GetTextureHeight(); ++y)
        for (uint32_t x = 0; x < t->GetTextureWidth() * 4; ++x)
            zero = zero && static_cast<const uint8_t*>(r.pBits)[size_t{y} * r.Pitch + x] == 0;
    t->Unlock();
    return zero;
}

class DeviceLossTest : public D3DTest {
protected:
    void SetUp() override
    {
        D3DTest::SetUp();
        MakeDevice();
    }
    void Lose(bool restorable)
    {
        platctl_d3d9_lose_devices();
        EXPECT_FALSE(root->Present());
        if (restorable)
            platctl_d3d9_make_restorable();
    }
};

TEST_F(DeviceLossTest, ResourcesAreReleasedBeforeResetAndRebuiltAfter)
{
    Ref<VEL::ID3DTexture> texture(MakeTexture(4, 4, std::vector<uint32_t>(16, 0xFFFFFFFFu)));
    Ref<VEL::ID3DTexture> target(Create<VEL::ID3DTexture>(VEL::IID_ID3DTexture));
    ASSERT_TRUE(target->Create(16, 16, 0, true));
    Ref<VEL::ID3DLineRender> line(Create<VEL::ID3DLineRender>(VEL::IID_ID3DLineRender));
    ASSERT_TRUE(line->Initialize(4));
    Ref<VEL::ID3DBackBuffer> bb(Create<VEL::ID3DBackBuffer>(VEL::IID_ID3DBackBuffer));
    ASSERT_TRUE(bb->Create());
    {
        Ref<VEL::ID3DTexture> gone(MakeTexture(2, 2, std::vector<uint32_t>(4, 0u)));
    } // destroyed before the reset: never notified
    ASSERT_TRUE(root->SetRenderTarget(target.get()));

    Lose(true);
    ASSERT_TRUE(root->ResetDevice(kWidth, kHeight, false, 0)) << "Reset succeeds only if every resource was let go";
    EXPECT_EQ(root->GetRenderTarget(), target.get());
    EXPECT_TRUE(AllZero(texture.get())) << "textures come back cleared";
    EXPECT_TRUE(AllZero(target.get()));

    // Drawing goes to the kept render target; the line renderer has its buffer again.
    Fill(texture.get(), 4, 4, std::vector<uint32_t>(16, 0xFFFFFFFFu));
    line->SetLineWidth(4.0f);
    const VEL::LinePoint a{2, 8, 0, 0xFF00FF00u, 0xFF00FF00u}, b{14, 8, 0, 0xFF00FF00u, 0xFF00FF00u};
    line->PushBack(&a);
    line->PushBack(&b);
    root->Clear(0xFF000000u);
    ASSERT_TRUE(root->BeginScene());
    line->Flush();
    root->EndScene();
    VEL::D3DLockedRect r{};
    ASSERT_TRUE(target->Lock(&r, false));
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(r.pBits) + 8 * r.Pitch)[8] & 0xFFFFFFu,
              0x00FF00u);
    target->Unlock();

    // The back-buffer object reads the new back buffer.
    ASSERT_TRUE(root->SetRenderTarget(nullptr));
    root->Clear(0xFF123456u);
    std::vector<uint32_t> frame(kWidth * kHeight);
    ASSERT_TRUE(bb->Read(frame.data()));
    EXPECT_EQ(frame[5], 0xFF123456u);

    texture.reset();
    target.reset();
    line.reset();
    bb.reset();
    ASSERT_TRUE(root->ReleaseDevice());
    EXPECT_EQ(platctl_d3d9_video_memory_used(), 0u);
}

TEST_F(DeviceLossTest, OneResourceFailingToComeBackDoesNotStopTheOthers)
{
    Ref<VEL::ID3DTexture> sixteen(Create<VEL::ID3DTexture>(VEL::IID_ID3DTexture));
    ASSERT_TRUE(sixteen->Create(4, 4, 1, false));
    Ref<VEL::ID3DTexture> normal(MakeTexture(4, 4, std::vector<uint32_t>(16, 0xFFFFFFFFu)));
    platctl_d3d9_profile p;
    platctl_d3d9_default_profile(&p);
    p.texture_formats &= ~PLATCTL_D3D9_TEX_A4R4G4B4;
    platctl_d3d9_set_profile(&p);
    Lose(true);
    ASSERT_TRUE(root->ResetDevice(kWidth, kHeight, false, 0));
    VEL::D3DLockedRect r{};
    EXPECT_FALSE(sixteen->Lock(&r, false)) << "its format is gone";
    EXPECT_TRUE(AllZero(normal.get()));
}

TEST_F(DeviceLossTest, TextureLockedOnAnotherThreadDelaysTheReset)
{
    // More idle textures than one platform wait can name (64), and the locked one.
    std::vector<Ref<VEL::ID3DTexture>> idle(70);
    for (auto& t : idle)
        t.reset(MakeTexture(1, 1, std::vector<uint32_t>(1, 0xFFFFFFFFu)));
    Ref<VEL::ID3DTexture> texture(MakeTexture(4, 4, std::vector<uint32_t>(16, 0xFFFFFFFFu)));
    Lose(true);
    VEL::D3DLockedRect r{};
    ASSERT_TRUE(texture->Lock(&r, false));
    const auto start = std::chrono::steady_clock::now();
    std::thread unlocker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        texture->Unlock();
    });
    EXPECT_TRUE(root->ResetDevice(kWidth, kHeight, false, 0));
    const auto waited = std::chrono::steady_clock::now() - start;
    unlocker.join();
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_TRUE(AllZero(texture.get()));
}

TEST_F(DeviceLossTest, TextureLockedTooLongFailsTheResetWithoutTouchingAnything)
{
    Ref<VEL::ID3DTexture> texture(MakeTexture(4, 4, std::vector<uint32_t>(16, 0xFFFFFFFFu)));
    VEL::D3DLockedRect r{};
    ASSERT_TRUE(texture->Lock(&r, false));
    std::memset(r.pBits, 0xAB, 4);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(root->ReleaseDevice());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(9900));
    EXPECT_NE(root->CreateInterface(&VEL::ID_D3DDevice), nullptr) << "the device is kept";
    texture->Unlock();
    ASSERT_TRUE(texture->Lock(&r, false));
    EXPECT_EQ(static_cast<const uint8_t*>(r.pBits)[0], 0xAB) << "the texture was not rebuilt";
    texture->Unlock();
}

TEST_F(DeviceLossTest, EveryResetFailingLeavesResourcesLostUntilALaterReset)
{
    Ref<VEL::ID3DTexture> texture(MakeTexture(4, 4, std::vector<uint32_t>(16, 0xFFFFFFFFu)));
    Ref<VEL::ID3DRender> sprites(Create<VEL::ID3DRender>(VEL::IID_ID3DRender));
    ASSERT_TRUE(sprites->Initialize(4));
    ASSERT_TRUE(sprites->SetTexture(texture.get()));
    Lose(false); // not restorable: Reset keeps failing
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(root->ResetDevice(kWidth, kHeight, false, 0));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(950)) << "ten tries 100 ms apart";
    VEL::D3DLockedRect r{};
    EXPECT_FALSE(texture->Lock(&r, false)) << "released and not rebuilt";
    const VEL::SpriteQuad q = Quad(0, 0, 4, 4);
    sprites->DrawQuad(&q, 0, 0, 0, 0);
    sprites->Flush(); // texture not valid: the queue is kept
    EXPECT_FALSE(root->BeginScene() && (root->EndScene(), false));

    platctl_d3d9_make_restorable();
    ASSERT_TRUE(root->ResetDevice(kWidth, kHeight, false, 0));
    Fill(texture.get(), 4, 4, std::vector<uint32_t>(16, 0xFFFFFFFFu));
    root->Clear(0xFF000000u);
    ASSERT_TRUE(root->BeginScene());
    sprites->Flush(); // the quad queued while the device was lost
    root->EndScene();
    EXPECT_EQ(ReadFrame()[kWidth + 1], 0xFFFFFFFFu);
}

} // namespace
