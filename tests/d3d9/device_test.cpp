// The device's contract apart from pixels: adapter queries, creation, loss and Reset, resource
// rules, copies between pools, video-memory figures, and the result codes of wrong calls.
#include "D3D9Fixture.h"

#include <SDL.h>

using namespace d3d9test;

namespace {

class AdapterTest : public DeviceTest {};

TEST_F(AdapterTest, IdentifierCapsAndFormatsFollowTheProfile)
{
    D3DADAPTER_IDENTIFIER9 id;
    ASSERT_EQ(d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &id), D3D_OK);
    EXPECT_NE(std::strstr(id.Description, "Software"), nullptr);
    EXPECT_EQ(d3d->GetAdapterIdentifier(1, 0, &id), D3DERR_INVALIDCALL);

    platctl_d3d9_profile p;
    platctl_d3d9_default_profile(&p);
    p.dev_caps |= D3DDEVCAPS_PUREDEVICE;
    p.vertex_shader_version = D3DVS_VERSION(1, 1);
    p.max_texture_width = 1024;
    p.max_texture_height = 512;
    p.max_primitive_count = 65535;
    p.max_vertex_index = 65534;
    p.caps2 = 0;
    p.texture_formats = PLATCTL_D3D9_TEX_A8R8G8B8;
    p.mode_count = 2;
    p.modes[0] = {800, 600, 60};
    p.modes[1] = {1024, 768, 75};
    platctl_d3d9_set_profile(&p);

    D3DCAPS9 caps;
    ASSERT_EQ(d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.DevCaps & D3DDEVCAPS_PUREDEVICE, D3DDEVCAPS_PUREDEVICE);
    EXPECT_EQ(caps.VertexShaderVersion, D3DVS_VERSION(1, 1));
    EXPECT_EQ(caps.MaxTextureWidth, 1024u);
    EXPECT_EQ(caps.MaxTextureHeight, 512u);
    EXPECT_EQ(caps.MaxPrimitiveCount, 65535u);
    EXPECT_EQ(caps.MaxVertexIndex, 65534u);
    EXPECT_EQ(caps.Caps2 & D3DCAPS2_DYNAMICTEXTURES, 0u);

    for (D3DFORMAT f : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
        ASSERT_EQ(d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, f), 2u);
        D3DDISPLAYMODE m;
        ASSERT_EQ(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, f, 1, &m), D3D_OK);
        EXPECT_EQ(m.Width, 1024u);
        EXPECT_EQ(m.Height, 768u);
        EXPECT_EQ(m.RefreshRate, 75u);
        EXPECT_EQ(m.Format, f);
        EXPECT_EQ(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, f, 2, &m), D3DERR_INVALIDCALL);
    }
    EXPECT_EQ(d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_A8R8G8B8), 0u);

    auto check = [&](DWORD usage, D3DFORMAT f) {
        return d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage, D3DRTYPE_TEXTURE, f);
    };
    EXPECT_EQ(check(0, D3DFMT_A8R8G8B8), D3D_OK);
    EXPECT_EQ(check(0, D3DFMT_A4R4G4B4), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(check(D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(check(D3DUSAGE_RENDERTARGET, D3DFMT_R5G6B5), D3D_OK);
    EXPECT_EQ(check(D3DUSAGE_DEPTHSTENCIL, D3DFMT_D16), D3D_OK);

    platctl_d3d9_set_profile(nullptr);
    EXPECT_EQ(check(0, D3DFMT_A4R4G4B4), D3D_OK);
    EXPECT_EQ(check(D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8), D3D_OK);
}

TEST_F(AdapterTest, ModesComeFromSdlWithoutAProfileList)
{
    UINT count = d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8);
    ASSERT_GT(count, 0u);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    SDL_DisplayMode desktop;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    bool found = false;
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE m;
        ASSERT_EQ(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, i, &m), D3D_OK);
        found |= m.Width == static_cast<UINT>(desktop.w) && m.Height == static_cast<UINT>(desktop.h);
    }
    EXPECT_TRUE(found);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST_F(AdapterTest, CreateDeviceChecksFlagsAndParameters)
{
    D3DPRESENT_PARAMETERS p = Parameters(64, 32);
    IDirect3DDevice9* dev = nullptr;
    // No pure device and no hardware vertex processing on the software profile without T&L.
    platctl_d3d9_profile prof;
    platctl_d3d9_default_profile(&prof);
    prof.dev_caps &= ~D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    platctl_d3d9_set_profile(&prof);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE,
                                &p, &dev),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_MIXED_VERTEXPROCESSING, &p, &dev),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(dev, nullptr);
    platctl_d3d9_set_profile(nullptr);

    struct Case {
        const char* what;
        void (*change)(D3DPRESENT_PARAMETERS&);
    } cases[] = {
        {"multisampling", [](D3DPRESENT_PARAMETERS& q) { q.MultiSampleType = D3DMULTISAMPLE_NONMASKABLE; }},
        {"24-bit depth", [](D3DPRESENT_PARAMETERS& q) { q.AutoDepthStencilFormat = D3DFMT_D24S8; }},
        {"A4R4G4B4 back buffer", [](D3DPRESENT_PARAMETERS& q) { q.BackBufferFormat = D3DFMT_A4R4G4B4; }},
        {"refresh rate in a window", [](D3DPRESENT_PARAMETERS& q) { q.FullScreen_RefreshRateInHz = 60; }},
        {"full screen without a window", [](D3DPRESENT_PARAMETERS& q) { q.Windowed = FALSE; }},
        {"swap effect", [](D3DPRESENT_PARAMETERS& q) { q.SwapEffect = static_cast<D3DSWAPEFFECT>(9); }},
    };
    for (const Case& c : cases) {
        D3DPRESENT_PARAMETERS q = Parameters(64, 32);
        c.change(q);
        EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &q, &dev),
                  D3DERR_INVALIDCALL)
            << c.what;
        EXPECT_EQ(dev, nullptr);
    }
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &dev),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &p, &dev), D3DERR_INVALIDCALL);
}

class LossTest : public DeviceTest {};

// Lost -> not reset -> reset, with Reset refused while a default-pool resource or a back-buffer
// reference is held, and drawing thrown away while lost.
TEST_F(LossTest, LostNotResetResetCycle)
{
    MakeDevice(32, 16);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tex, nullptr), D3D_OK);
    IDirect3DTexture9* kept = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &kept, nullptr), D3D_OK);
    IDirect3DSurface9* bb = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);

    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    platctl_d3d9_lose_devices();
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS p = Parameters(48, 24);
    EXPECT_EQ(device->Reset(&p), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0), D3D_OK);

    platctl_d3d9_make_restorable();
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    // A default-pool texture and a back-buffer reference each block the reset.
    EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
    tex->Release();
    EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
    bb->Release();
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    // The new back buffer has the new size; the system-memory texture survived.
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
    D3DSURFACE_DESC d;
    bb->GetDesc(&d);
    EXPECT_EQ(d.Width, 48u);
    EXPECT_EQ(d.Height, 24u);
    bb->Release();
    D3DLOCKED_RECT r;
    EXPECT_EQ(kept->LockRect(0, &r, nullptr, 0), D3D_OK);
    kept->UnlockRect(0);
    kept->Release();
}

TEST_F(LossTest, ResetWhileOperationalAndBadParameters)
{
    MakeDevice(32, 16);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(280, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_DEFAULT, &vb, nullptr),
              D3D_OK);
    D3DPRESENT_PARAMETERS p = Parameters(32, 16);
    EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL); // the vertex buffer lives
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    vb->Release();
    p.BackBufferFormat = D3DFMT_A4R4G4B4;
    EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
    p = Parameters(32, 16);
    EXPECT_EQ(device->Reset(&p), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
}

class ResourceTest : public DeviceTest {};

// Drawing into a render-target texture, reading it back with GetRenderTargetData, and drawing
// with it as a texture.
TEST_F(ResourceTest, RenderTargetTextureRoundTrip)
{
    MakeDevice(16, 16);
    Use2DStates();
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr),
              D3D_OK);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(target->GetSurfaceLevel(0, &level), D3D_OK);
    D3DLOCKED_RECT r;
    EXPECT_EQ(level->LockRect(&r, nullptr, 0), D3DERR_INVALIDCALL); // render targets are not lockable
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(8, 8, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE, &depth, nullptr), D3D_OK);
    IDirect3DSurface9* bb = nullptr;
    IDirect3DSurface9* bbDepth = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &bb), D3D_OK);
    ASSERT_EQ(device->GetDepthStencilSurface(&bbDepth), D3D_OK);

    ASSERT_EQ(device->SetRenderTarget(0, level), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(depth), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000080u, 1.0f, 0);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    std::vector<Vertex> v;
    Quad(v, 2, 2, 4, 4, 1, 1, 0.5f, 0xFFFF8000u);
    ASSERT_EQ(Draw(v), D3D_OK);

    IDirect3DTexture9* copy = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr), D3D_OK);
    IDirect3DSurface9* copyLevel = nullptr;
    copy->GetSurfaceLevel(0, &copyLevel);
    ASSERT_EQ(device->GetRenderTargetData(level, copyLevel), D3D_OK);
    ASSERT_EQ(copyLevel->LockRect(&r, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            uint32_t got = reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(r.pBits) + y * r.Pitch)[x];
            bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
            EXPECT_EQ(got, inside ? 0xFFFF8000u : 0xFF000080u) << x << "," << y;
        }
    copyLevel->UnlockRect();
    // Wrong pairs: an ordinary texture is no render target; sizes must match.
    IDirect3DSurface9* small = nullptr;
    device->CreateOffscreenPlainSurface(4, 4, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &small, nullptr);
    EXPECT_EQ(device->GetRenderTargetData(level, small), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTargetData(copyLevel, level), D3DERR_INVALIDCALL);

    // Back to the back buffer; the target texture is now drawn 1:1 at (4, 4).
    ASSERT_EQ(device->SetRenderTarget(0, bb), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(bbDepth), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    device->SetTexture(0, target);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    v.clear();
    Quad(v, 4, 4, 8, 8, 8, 8, 0.5f, 0xFFFFFFFFu);
    ASSERT_EQ(Draw(v), D3D_OK);
    std::vector<uint32_t> px = ReadTarget();
    EXPECT_EQ(px[4 * 16 + 4], 0xFF000080u);
    EXPECT_EQ(px[6 * 16 + 6], 0xFFFF8000u);
    EXPECT_EQ(px[3 * 16 + 3], 0xFF000000u);
    device->SetTexture(0, nullptr);

    small->Release();
    copyLevel->Release();
    copy->Release();
    bb->Release();
    bbDepth->Release();
    depth->Release();
    level->Release();
    target->Release();
}

// UpdateSurface copies system memory into the default pool (a rectangle to a point), and refuses
// every other pairing.
TEST_F(ResourceTest, UpdateSurfaceCopiesAndRefusesWrongPools)
{
    MakeDevice(16, 16);
    Use2DStates();
    IDirect3DTexture9* staging = nullptr;
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staging, nullptr), D3D_OK);
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tex, nullptr), D3D_OK);
    D3DLOCKED_RECT r;
    EXPECT_EQ(tex->LockRect(0, &r, nullptr, 0), D3DERR_INVALIDCALL); // default pool, not dynamic
    ASSERT_EQ(staging->LockRect(0, &r, nullptr, 0), D3D_OK);
    EXPECT_EQ(staging->LockRect(0, &r, nullptr, 0), D3DERR_INVALIDCALL); // already locked
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(r.pBits) + y * r.Pitch)[x] = 0xFF000000u | (y * 8 + x);
    IDirect3DSurface9 *src = nullptr, *dst = nullptr;
    staging->GetSurfaceLevel(0, &src);
    tex->GetSurfaceLevel(0, &dst);
    EXPECT_EQ(device->UpdateSurface(src, nullptr, dst, nullptr), D3DERR_INVALIDCALL); // source still locked
    ASSERT_EQ(staging->UnlockRect(0), D3D_OK);
    EXPECT_EQ(staging->UnlockRect(0), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->UpdateSurface(src, nullptr, dst, nullptr), D3D_OK);
    RECT part{2, 3, 5, 5};
    POINT at{0, 0};
    ASSERT_EQ(device->UpdateSurface(src, &part, dst, &at), D3D_OK);
    EXPECT_EQ(device->UpdateSurface(dst, nullptr, src, nullptr), D3DERR_INVALIDCALL);
    POINT outside{6, 6};
    EXPECT_EQ(device->UpdateSurface(src, &part, dst, &outside), D3DERR_INVALIDCALL);

    device->SetTexture(0, tex);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    std::vector<Vertex> v;
    Quad(v, 0, 0, 8, 8, 8, 8, 0.5f, 0xFFFFFFFFu);
    ASSERT_EQ(Draw(v), D3D_OK);
    std::vector<uint32_t> px = ReadTarget();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            bool moved = x < 3 && y < 2;
            uint32_t want = 0xFF000000u | (moved ? (y + 3) * 8 + (x + 2) : y * 8 + x);
            EXPECT_EQ(px[y * 16 + x], want) << x << "," << y;
        }
    device->SetTexture(0, nullptr);
    src->Release();
    dst->Release();
    staging->Release();
    tex->Release();
}

// Free video memory goes down by each default-pool resource's size and back up when it dies;
// system memory does not count. The DirectDraw figures and the device's agree.
TEST_F(ResourceTest, VideoMemoryFigures)
{
    IDirectDraw* dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    DDCAPS caps{};
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
    const DWORD total = caps.dwVidMemTotal;
    EXPECT_EQ(caps.dwVidMemFree, total);
    DDCAPS bad{};
    bad.dwSize = 100;
    EXPECT_EQ(dd->GetCaps(&bad, nullptr), DDERR_INVALIDPARAMS);

    MakeDevice(64, 32);
    auto free_now = [&] {
        DDCAPS c{};
        c.dwSize = sizeof(c);
        dd->GetCaps(&c, nullptr);
        return c.dwVidMemFree;
    };
    const DWORD afterDevice = free_now();
    EXPECT_EQ(total - afterDevice, 64u * 32u * 4u + 64u * 32u * 2u); // back buffer and depth
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(device->CreateTexture(128, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr), D3D_OK);
    EXPECT_EQ(afterDevice - free_now(), 128u * 64u * 4u);
    IDirect3DTexture9* s = nullptr;
    ASSERT_EQ(device->CreateTexture(128, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &s, nullptr), D3D_OK);
    EXPECT_EQ(afterDevice - free_now(), 128u * 64u * 4u);
    t->Release();
    s->Release();
    EXPECT_EQ(free_now(), afterDevice);

    // A profile with little video memory refuses what does not fit.
    platctl_d3d9_profile p;
    platctl_d3d9_default_profile(&p);
    p.video_memory_bytes = total - afterDevice + 1000;
    platctl_d3d9_set_profile(&p);
    EXPECT_EQ(device->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(t, nullptr);
    dd->Release();
}

// Wrong calls give Direct3D 9's result codes and change nothing.
TEST_F(ResourceTest, WrongCallsReturnInvalidCall)
{
    MakeDevice(16, 16);
    IDirect3DTexture9* t = nullptr;
    IDirect3DSurface9* s = nullptr;
    IDirect3DVertexBuffer9* vb = nullptr;
    Vertex tri[3] = {};
    uint16_t idx[3] = {0, 1, 2};
    struct Case {
        const char* what;
        HRESULT got;
    } cases[] = {
        {"texture 0 wide", device->CreateTexture(0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr)},
        {"texture above max", device->CreateTexture(8192, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr)},
        {"texture D16 format", device->CreateTexture(8, 8, 1, 0, D3DFMT_D16, D3DPOOL_DEFAULT, &t, nullptr)},
        {"render target in system memory",
         device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &t, nullptr)},
        {"too many levels", device->CreateTexture(8, 8, 5, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr)},
        {"texture null out", device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, nullptr, nullptr)},
        {"vertex buffer 0 long", device->CreateVertexBuffer(0, 0, kFvf, D3DPOOL_DEFAULT, &vb, nullptr)},
        {"depth surface X8R8G8B8",
         device->CreateDepthStencilSurface(8, 8, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &s, nullptr)},
        {"offscreen managed", device->CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &s, nullptr)},
        {"render target 1", device->SetRenderTarget(1, nullptr)},
        {"render target null", device->SetRenderTarget(0, nullptr)},
        {"render state 300", device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(300), 0)},
        {"texture stage 8", device->SetTexture(8, nullptr)},
        {"stream 1", device->SetStreamSource(1, nullptr, 0, 28)},
        {"vertex shader", device->SetVertexShader(reinterpret_cast<IDirect3DVertexShader9*>(tri))},
        {"end without begin", device->EndScene()},
        {"draw without stream", device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1)},
        {"draw without FVF", device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(Vertex))},
        {"draw 0 primitives", (device->SetFVF(kFvf), device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, tri, sizeof(Vertex)))},
        {"draw null vertices", device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, sizeof(Vertex))},
        {"stride below the FVF", device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, 20)},
        {"bad index format", device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, idx, D3DFMT_D16, tri,
                                                            sizeof(Vertex))},
        {"clear stencil", device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0)},
        {"clear rects null", device->Clear(2, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0)},
        {"viewport past target", [&] {
             D3DVIEWPORT9 vp{8, 8, 16, 16, 0, 1};
             return device->SetViewport(&vp);
         }()},
        {"back buffer 1", device->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, &s)},
        {"reset null", device->Reset(nullptr)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, D3DERR_INVALIDCALL) << c.what;
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(vb, nullptr);
    EXPECT_EQ(s, nullptr);
    // Present inside a scene is refused too; the scene pairs.
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    // After all that the device still resets and works.
    D3DPRESENT_PARAMETERS p = Parameters(16, 16);
    EXPECT_EQ(device->Reset(&p), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
}

// Indexed draws from user memory with 16- and 32-bit indices, and strips from a vertex buffer;
// indices past the given vertex range are skipped instead of read.
TEST_F(ResourceTest, IndexedAndBufferedDraws)
{
    MakeDevice(16, 8);
    Use2DStates();
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    Vertex quad[4] = {{-0.5f, -0.5f, 0.5f, 1, 0xFFFF0000u, 0, 0}, {3.5f, -0.5f, 0.5f, 1, 0xFFFF0000u, 0, 0},
                      {-0.5f, 3.5f, 0.5f, 1, 0xFFFF0000u, 0, 0}, {3.5f, 3.5f, 0.5f, 1, 0xFFFF0000u, 0, 0}};
    uint16_t i16[9] = {0, 1, 3, 0, 3, 2, 0, 1, 900};
    ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 3, i16, D3DFMT_INDEX16, quad, sizeof(Vertex)),
              D3D_OK);
    for (Vertex& q : quad) {
        q.x += 4;
        q.colour = 0xFF00FF00u;
    }
    uint32_t i32[6] = {0, 1, 3, 0, 3, 2};
    ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, i32, D3DFMT_INDEX32, quad, sizeof(Vertex)),
              D3D_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kFvf,
                                         D3DPOOL_DEFAULT, &vb, nullptr),
              D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    for (Vertex& q : quad) {
        q.x += 4;
        q.colour = 0xFF0000FFu;
    }
    std::memcpy(data, quad, sizeof(quad));
    vb->Unlock();
    EXPECT_EQ(vb->Lock(8, 4 * sizeof(Vertex), &data, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetStreamSource(0, vb, 0, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL); // past the buffer
    std::vector<uint32_t> px = ReadTarget();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            uint32_t want = y >= 4 || x >= 12 ? 0xFF000000u : x < 4 ? 0xFFFF0000u : x < 8 ? 0xFF00FF00u : 0xFF0000FFu;
            EXPECT_EQ(px[y * 16 + x], want) << x << "," << y;
        }
    device->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
}

// Present on a real SDL window under the offscreen driver: nothing shown, success.
TEST_F(ResourceTest, PresentsIntoAnSdlWindowHeadless)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    SDL_Window* window = SDL_CreateWindow("d3d9", 0, 0, 64, 48, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr);
    D3DPRESENT_PARAMETERS p = Parameters(0, 0);
    p.hDeviceWindow = window;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device), D3D_OK);
    EXPECT_EQ(p.BackBufferWidth, 64u); // a windowed device takes the window's size
    EXPECT_EQ(p.BackBufferHeight, 48u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// The colour at the centre of what the window's renderer shows.
uint32_t ShownCentre(SDL_Window* window)
{
    SDL_Renderer* renderer = SDL_GetRenderer(window);
    if (!renderer)
        return 0;
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    SDL_Rect centre{w / 2, h / 2, 1, 1};
    uint32_t pixel = 0;
    if (SDL_RenderReadPixels(renderer, &centre, SDL_PIXELFORMAT_ARGB8888, &pixel, 4) != 0)
        return 0;
    return pixel;
}

// Two devices on one window share its SDL renderer: the first device dying while the second
// shows on the window (kept alive by a back-buffer reference until then) leaves the renderer
// working for the second, and the renderer goes with the last device. A renderer the host made
// stays the host's.
TEST_F(ResourceTest, DevicesOnOneWindowShareItsRenderer)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    platctl_d3d9_present_headless(1);
    SDL_Window* window = SDL_CreateWindow("d3d9", 0, 0, 64, 48, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr);
    D3DPRESENT_PARAMETERS p = Parameters(0, 0);
    p.hDeviceWindow = window;
    auto make = [&](IDirect3DDevice9** out) {
        D3DPRESENT_PARAMETERS q = p;
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &q, out), D3D_OK);
    };
    auto show = [&](IDirect3DDevice9* d, uint32_t colour) {
        d->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
        EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(ShownCentre(window), colour);
    };

    IDirect3DDevice9* first = nullptr;
    make(&first);
    ASSERT_NE(first, nullptr);
    show(first, 0xFF00FF00u);
    SDL_Renderer* renderer = SDL_GetRenderer(window);
    ASSERT_NE(renderer, nullptr) << "the SDL presenter did not run under the offscreen driver";
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(first->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    first->Release(); // the back buffer keeps the first device alive

    make(&device);
    ASSERT_NE(device, nullptr);
    show(device, 0xFFFF0000u);
    EXPECT_EQ(SDL_GetRenderer(window), renderer);
    backBuffer->Release(); // the first device dies here
    EXPECT_EQ(SDL_GetRenderer(window), renderer);
    show(device, 0xFF0000FFu);
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
    EXPECT_EQ(SDL_GetRenderer(window), nullptr) << "the renderer made for the devices outlived them";

    // The host's own renderer is used and left to the host.
    SDL_Renderer* host = SDL_CreateRenderer(window, -1, 0);
    ASSERT_NE(host, nullptr);
    make(&device);
    show(device, 0xFF123456u);
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
    EXPECT_EQ(SDL_GetRenderer(window), host);
    SDL_DestroyRenderer(host);

    platctl_d3d9_present_headless(0);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

} // namespace
