// The graphics root: exports, factory ids, reference counting, device creation rules, frame
// calls, the render-state cache, and the render target.
#include "D3DFixture.h"

#include "control_user.h"
#include "d3d9.h"

using namespace d3dtest;

namespace {

TEST_F(D3DTest, FactoryMakesEachObjectAndHandsOutPlatformObjects)
{
    const GUID ids[] = {VEL::IID_ID3DRender, VEL::IID_ID3DLineRender, VEL::IID_ID3DTriangleRender,
                        VEL::IID_ID3DTexture, VEL::IID_ID3DBackBuffer};
    for (const GUID& id : ids) {
        VEL::IVELInterface* object = root->CreateInterface(&id);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->GetRefCount(), 1);
        EXPECT_EQ(root->GetRefCount(), 2) << "a sub-object holds its root";
        EXPECT_EQ(object->Release(), 0);
    }
    EXPECT_EQ(root->CreateInterface(&VEL::IID_ID3DVideoTexture), nullptr);
    EXPECT_EQ(root->CreateInterface(&VEL::ID_VELFramework), nullptr);
    EXPECT_NE(root->CreateInterface(&VEL::ID_D3DDirect3D), nullptr);
    EXPECT_EQ(root->CreateInterface(&VEL::ID_D3DDevice), nullptr) << "no device yet";
    MakeDevice();
    EXPECT_NE(root->CreateInterface(&VEL::ID_D3DDevice), nullptr);
    EXPECT_EQ(root->GetRefCount(), 1) << "platform objects come without a reference";
    EXPECT_EQ(root->CreateEffect("technique T {}"), nullptr);
}

TEST_F(D3DTest, RootOutlivesSubObjectsInAnyReleaseOrder)
{
    MakeDevice();
    // Release the root first, then the sub-objects in two different orders.
    for (int order = 0; order < 2; ++order) {
        auto* second = library.CreateRoot<VEL::IVELD3D>();
        ASSERT_TRUE(second->CreateDevice(window, 2, 32, 32, false, 0));
        auto* texture = static_cast<VEL::ID3DTexture*>(second->CreateInterface(&VEL::IID_ID3DTexture));
        auto* sprites = static_cast<VEL::ID3DRender*>(second->CreateInterface(&VEL::IID_ID3DRender));
        auto* lines = static_cast<VEL::ID3DLineRender*>(second->CreateInterface(&VEL::IID_ID3DLineRender));
        ASSERT_TRUE(texture->Create(8, 8, 0, false));
        ASSERT_TRUE(sprites->SetTexture(texture));
        ASSERT_TRUE(lines->Initialize(4));
        EXPECT_EQ(second->Release(), 3);
        if (order == 0) {
            EXPECT_EQ(texture->Release(), 1) << "the renderer keeps its texture";
            EXPECT_EQ(sprites->Release(), 0);
            EXPECT_EQ(lines->Release(), 0);
        } else {
            EXPECT_EQ(lines->Release(), 0);
            EXPECT_EQ(sprites->Release(), 0);
            EXPECT_EQ(texture->Release(), 0);
        }
    }
    // The first root and its device are untouched by the second root's end.
    EXPECT_EQ(root->TestCooperativeLevel(), D3D_OK);
}

TEST_F(D3DTest, CreateDeviceRules)
{
    EXPECT_EQ(root->TestCooperativeLevel(), D3DERR_INVALIDCALL);
    EXPECT_FALSE(root->Present());
    EXPECT_FALSE(root->BeginScene());
    EXPECT_FALSE(root->ReleaseDevice());
    EXPECT_FALSE(root->CreateDevice(nullptr, 2, 64, 48, false, 0));
    EXPECT_FALSE(root->CreateDevice(window, 2, 0, 48, false, 0));
    EXPECT_FALSE(root->CreateDevice(window, 2, 64, 48, false, 2));
    EXPECT_FALSE(root->CreateDevice(window, 3, 64, 48, false, 0));
    // The software profile has no pure device: level 0 fails, no fallback.
    EXPECT_FALSE(root->CreateDevice(window, 0, 64, 48, false, 0));
    EXPECT_TRUE(root->CreateDevice(window, 1, 64, 48, false, 0));
    auto* device = static_cast<IDirect3DDevice9*>(static_cast<void*>(root->CreateInterface(&VEL::ID_D3DDevice)));
    EXPECT_FALSE(root->CreateDevice(window, 2, 64, 48, false, 0)) << "a device exists";
    EXPECT_EQ(root->CreateInterface(&VEL::ID_D3DDevice), static_cast<void*>(device));
    EXPECT_TRUE(root->ReleaseDevice()) << "an empty registry counts as idle";
    EXPECT_EQ(root->CreateInterface(&VEL::ID_D3DDevice), nullptr);
    EXPECT_TRUE(root->CreateDevice(window, 2, 32, 16, false, 1));
}

TEST_F(D3DTest, FullScreenNeedsTheSizeAtTheCurrentRefreshRate)
{
    platctl_d3d9_profile profile;
    platctl_d3d9_default_profile(&profile);
    profile.mode_count = 2;
    profile.modes[0] = {640, 480, 75};
    profile.modes[1] = {800, 600, 60};
    platctl_d3d9_set_profile(&profile);
    platctl_user_set_desktop_refresh(60);
    VEL::AdapterInfo info{};
    ASSERT_TRUE(root->GetAdapterInfo(&info, 640, 480, 0));
    EXPECT_FALSE(info.fullScreenAvailable) << "640 x 480 exists only at 75 Hz";
    ASSERT_TRUE(root->GetAdapterInfo(&info, 800, 600, 0));
    EXPECT_TRUE(info.fullScreenAvailable);
    EXPECT_FALSE(root->CreateDevice(window, 2, 640, 480, true, 0));
    EXPECT_TRUE(root->CreateDevice(window, 2, 800, 600, true, 0));
    platctl_user_set_desktop_refresh(0);
}

TEST_F(D3DTest, AdapterInfoAndVideoMemory)
{
    VEL::AdapterInfo info{};
    EXPECT_FALSE(root->GetAdapterInfo(&info, 0, 480, 0));
    EXPECT_FALSE(root->GetAdapterInfo(&info, 640, 480, 2));
    ASSERT_TRUE(root->GetAdapterInfo(&info, 640, 480, 0));
    platctl_d3d9_profile profile;
    platctl_d3d9_default_profile(&profile);
    EXPECT_STREQ(info.description, profile.description);
    EXPECT_EQ(info.vertexProcessing, 1) << "hardware T&L without a pure device";
    EXPECT_EQ(info.videoMemory, profile.video_memory_bytes);
    EXPECT_EQ(info.maxTextureWidth, profile.max_texture_width);
    EXPECT_TRUE(info.a8r8g8b8Textures);
    EXPECT_TRUE(info.a4r4g4b4Textures);

    const uint32_t freeBefore = root->GetFreeVideoMemory();
    EXPECT_EQ(freeBefore, profile.video_memory_bytes);
    MakeDevice();
    EXPECT_LT(root->GetFreeVideoMemory(), freeBefore) << "the back buffer takes video memory";
}

TEST_F(D3DTest, RenderStateCacheSendsOnlyChangesAndForgetsAtReset)
{
    MakeDevice();
    auto* device = static_cast<IDirect3DDevice9*>(static_cast<void*>(root->CreateInterface(&VEL::ID_D3DDevice)));
    auto state = [&](D3DRENDERSTATETYPE s) {
        DWORD v = 0;
        device->GetRenderState(s, &v);
        return v;
    };
    ASSERT_TRUE(root->BeginScene());
    root->EndScene();
    EXPECT_EQ(state(D3DRS_ALPHAREF), 8u);
    EXPECT_EQ(state(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    // Changed behind the cache's back: the cache believes 8 was sent and sends nothing.
    device->SetRenderState(D3DRS_ALPHAREF, 99);
    ASSERT_TRUE(root->BeginScene());
    root->EndScene();
    EXPECT_EQ(state(D3DRS_ALPHAREF), 99u);
    // ResetDevice forgets the cache (and the device is back to its defaults): sent again.
    ASSERT_TRUE(root->ResetDevice(kWidth, kHeight, false, 0));
    EXPECT_EQ(state(D3DRS_ALPHAREF), 0u);
    ASSERT_TRUE(root->BeginScene());
    root->EndScene();
    EXPECT_EQ(state(D3DRS_ALPHAREF), 8u);
}

TEST_F(D3DTest, DrawModeAfterTheDeviceIsMadeAgainReachesTheNewDevice)
{
    MakeDevice();
    std::vector<uint32_t> white(16, 0xFFFFFFFFu);
    for (int round = 0; round < 2; ++round) {
        Ref<VEL::ID3DTexture> texture(MakeTexture(4, 4, white));
        Ref<VEL::ID3DRender> sprites(Create<VEL::ID3DRender>(VEL::IID_ID3DRender));
        ASSERT_TRUE(sprites->Initialize(4));
        ASSERT_TRUE(sprites->SetTexture(texture.get()));
        // Colour only, additive blend over grey: 0x40 + 0x20 per channel.
        sprites->SetDrawMode(VEL::COLOUR_DIFFUSE, true, VEL::BLEND_ADDITIVE);
        root->Clear(0xFF404040u);
        ASSERT_TRUE(root->BeginScene());
        const VEL::SpriteQuad q = Quad(0, 0, 4, 4, 0xFF202020u);
        sprites->DrawQuad(&q, 0, 0, 0, 0);
        sprites->Flush();
        root->EndScene();
        EXPECT_EQ(ReadFrame()[kWidth + 1], 0xFF606060u) << "round " << round;
        texture.reset();
        sprites.reset();
        ASSERT_TRUE(root->ReleaseDevice());
        MakeDevice();
    }
}

TEST_F(D3DTest, PresentIsFalseOnlyForALostDevice)
{
    MakeDevice();
    EXPECT_TRUE(root->Present());
    ASSERT_TRUE(root->BeginScene());
    EXPECT_TRUE(root->Present()) << "a failure other than device-lost still reports true";
    root->EndScene();
    platctl_d3d9_lose_devices();
    EXPECT_FALSE(root->Present());
    EXPECT_EQ(root->TestCooperativeLevel(), D3DERR_DEVICELOST);
    platctl_d3d9_make_restorable();
    EXPECT_EQ(root->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_TRUE(root->ResetDevice(kWidth, kHeight, false, 0));
    EXPECT_TRUE(root->Present());
}

TEST_F(D3DTest, RenderTargetTextureReceivesDrawingAndReadsBackByLock)
{
    MakeDevice();
    Ref<VEL::ID3DTexture> plain(Create<VEL::ID3DTexture>(VEL::IID_ID3DTexture));
    ASSERT_TRUE(plain->Create(16, 16, 0, false));
    EXPECT_FALSE(root->SetRenderTarget(plain.get()));
    EXPECT_EQ(root->GetRenderTarget(), nullptr);

    Ref<VEL::ID3DTexture> target(Create<VEL::ID3DTexture>(VEL::IID_ID3DTexture));
    ASSERT_TRUE(target->Create(20, 10, 0, true));
    EXPECT_EQ(target->GetTextureWidth(), 32u);
    ASSERT_TRUE(root->SetRenderTarget(target.get()));
    EXPECT_EQ(root->GetRenderTarget(), target.get());
    auto* device = static_cast<IDirect3DDevice9*>(static_cast<void*>(root->CreateInterface(&VEL::ID_D3DDevice)));
    D3DVIEWPORT9 vp{};
    device->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 20u);
    EXPECT_EQ(vp.Height, 10u);

    std::vector<uint32_t> red(16, 0xFFFF0000u);
    Ref<VEL::ID3DTexture> texture(MakeTexture(4, 4, red));
    Ref<VEL::ID3DRender> sprites(Create<VEL::ID3DRender>(VEL::IID_ID3DRender));
    ASSERT_TRUE(sprites->Initialize(2));
    ASSERT_TRUE(sprites->SetTexture(texture.get()));
    root->Clear(0xFF0000FFu);
    ASSERT_TRUE(root->BeginScene());
    const VEL::SpriteQuad q = Quad(2, 2, 4, 4);
    sprites->DrawQuad(&q, 0, 0, 0, 0);
    sprites->Flush();
    root->EndScene();
    ASSERT_TRUE(root->SetRenderTarget(nullptr));
    EXPECT_EQ(root->GetRenderTarget(), nullptr);
    device->GetViewport(&vp);
    EXPECT_EQ(vp.Width, kWidth);

    VEL::D3DLockedRect r{};
    ASSERT_TRUE(target->Lock(&r, false));
    auto at = [&](int x, int y) {
        return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(r.pBits) + y * r.Pitch)[x] | 0xFF000000u;
    };
    EXPECT_EQ(at(3, 3), 0xFFFF0000u);
    EXPECT_EQ(at(1, 1), 0xFF0000FFu);
    EXPECT_EQ(at(6, 6), 0xFF0000FFu);
    target->Unlock();
    // The back buffer saw none of it.
    EXPECT_NE(ReadFrame()[3 * kWidth + 3], 0xFFFF0000u);
}

} // namespace
