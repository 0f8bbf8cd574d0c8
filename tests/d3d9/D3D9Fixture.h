// D3D9Fixture.h - a headless device for the graphics device tests, and helpers to draw and read
// back the way the graphics module does (pre-transformed vertices, GetRenderTargetData).
#pragma once

#include "control_d3d9.h"
#include "d3d9.h"
#include "ddraw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace d3d9test {

// The engine's vertex: x, y, z, rhw, colour, u, v (FVF 0x144).
struct Vertex {
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
};
inline constexpr DWORD kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Deterministic pseudo-random numbers for generated pictures.
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<uint32_t>(s >> 11);
    }
    float unit() { return static_cast<float>(next() % 1000000u) / 1000000.0f; }
};

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platctl_d3d9_set_profile(nullptr);
        platctl_d3d9_set_raster_threads(0);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
    }

    void TearDown() override
    {
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        device = nullptr;
        if (d3d)
            d3d->Release();
        platctl_d3d9_set_profile(nullptr);
        platctl_d3d9_set_raster_threads(0);
        EXPECT_EQ(platctl_d3d9_live_objects(), 0u) << "device objects left alive";
        EXPECT_EQ(platctl_d3d9_video_memory_used(), 0u);
    }

    static D3DPRESENT_PARAMETERS Parameters(UINT width, UINT height, D3DFORMAT format = D3DFMT_X8R8G8B8)
    {
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = width;
        p.BackBufferHeight = height;
        p.BackBufferFormat = format;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = TRUE;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D16;
        p.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL | D3DPRESENTFLAG_VIDEO;
        p.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
        return p;
    }

    // A device as the graphics module makes it, on no window (headless).
    void MakeDevice(UINT width, UINT height, D3DFORMAT format = D3DFMT_X8R8G8B8)
    {
        D3DPRESENT_PARAMETERS p = Parameters(width, height, format);
        ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                    &p, &device),
                  D3D_OK);
        width_ = width;
        height_ = height;
        format_ = format;
    }

    // The 2D states the graphics module's BeginScene sets, minus the alpha test.
    void Use2DStates()
    {
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetFVF(kFvf);
    }

    // A texture in the default pool (dynamic, so it can be locked) filled from `texels`.
    IDirect3DTexture9* MakeTexture(UINT w, UINT h, const std::vector<uint32_t>& texels,
                                   D3DFORMAT format = D3DFMT_A8R8G8B8)
    {
        IDirect3DTexture9* t = nullptr;
        EXPECT_EQ(device->CreateTexture(w, h, 1, D3DUSAGE_DYNAMIC, format, D3DPOOL_DEFAULT, &t, nullptr), D3D_OK);
        if (!t)
            return nullptr;
        D3DLOCKED_RECT r;
        EXPECT_EQ(t->LockRect(0, &r, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x) {
                uint8_t* p = static_cast<uint8_t*>(r.pBits) + y * r.Pitch;
                uint32_t c = texels[y * w + x];
                if (format == D3DFMT_A4R4G4B4 || format == D3DFMT_R5G6B5)
                    reinterpret_cast<uint16_t*>(p)[x] = static_cast<uint16_t>(c);
                else
                    reinterpret_cast<uint32_t*>(p)[x] = c;
            }
        EXPECT_EQ(t->UnlockRect(0), D3D_OK);
        return t;
    }

    // Two triangles covering the pixels [x, x + w) x [y, y + h) with texels mapped one to one
    // (the -0.5 offset), as the sprite renderer submits a quad.
    static void Quad(std::vector<Vertex>& out, float x, float y, float w, float h, UINT texW, UINT texH, float z,
                     uint32_t colour, float rhw = 1.0f)
    {
        float u1 = w / texW, v1 = h / texH;
        Vertex a{x - 0.5f, y - 0.5f, z, rhw, colour, 0, 0};
        Vertex b{x + w - 0.5f, y - 0.5f, z, rhw, colour, u1, 0};
        Vertex c{x - 0.5f, y + h - 0.5f, z, rhw, colour, 0, v1};
        Vertex d{x + w - 0.5f, y + h - 0.5f, z, rhw, colour, u1, v1};
        out.insert(out.end(), {a, b, d, a, d, c});
    }

    HRESULT Draw(const std::vector<Vertex>& v)
    {
        return device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(v.size() / 3), v.data(), sizeof(Vertex));
    }

    // The current render target's pixels as stored (32-bit values, or 16-bit values widened).
    std::vector<uint32_t> ReadTarget()
    {
        IDirect3DSurface9* rt = nullptr;
        EXPECT_EQ(device->GetRenderTarget(0, &rt), D3D_OK);
        D3DSURFACE_DESC d;
        rt->GetDesc(&d);
        IDirect3DSurface9* copy = nullptr;
        EXPECT_EQ(device->CreateOffscreenPlainSurface(d.Width, d.Height, d.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr),
                  D3D_OK);
        EXPECT_EQ(device->GetRenderTargetData(rt, copy), D3D_OK);
        std::vector<uint32_t> out(size_t{d.Width} * d.Height);
        D3DLOCKED_RECT r;
        EXPECT_EQ(copy->LockRect(&r, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (UINT y = 0; y < d.Height; ++y)
            for (UINT x = 0; x < d.Width; ++x) {
                const uint8_t* p = static_cast<const uint8_t*>(r.pBits) + y * r.Pitch;
                out[y * d.Width + x] = d.Format == D3DFMT_R5G6B5 ? reinterpret_cast<const uint16_t*>(p)[x]
                                                                 : reinterpret_cast<const uint32_t*>(p)[x];
            }
        copy->UnlockRect();
        copy->Release();
        rt->Release();
        return out;
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    UINT width_ = 0, height_ = 0;
    D3DFORMAT format_ = D3DFMT_X8R8G8B8;
};

// 8-bit reference arithmetic, computed independently of the device: exact rational values
// rounded half up.
inline uint32_t RefRound(double v)
{
    double r = std::floor(v + 0.5);
    return static_cast<uint32_t>(r < 0 ? 0 : r > 255 ? 255 : r);
}
inline uint32_t Ch(uint32_t c, int k)
{
    return (c >> (8 * k)) & 255u;
}

} // namespace d3d9test
