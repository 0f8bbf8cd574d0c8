// SpriteScene.h - what the sprite benchmarks share: the sprite's texels, and the device and
// texture of the scene on the software device (1024 x 768 X8R8G8B8 with a D16 depth buffer).
#pragma once

#include "d3d9.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace scene {

// A size x size sprite with a soft alpha edge (a disc fading over its outer quarter).
inline std::vector<uint32_t> SpriteTexels(int size)
{
    std::vector<uint32_t> t(static_cast<size_t>(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double dx = (x + 0.5) / size * 2 - 1, dy = (y + 0.5) / size * 2 - 1;
            const double a = std::clamp((1.0 - std::sqrt(dx * dx + dy * dy)) * 4.0, 0.0, 1.0);
            const auto alpha = static_cast<uint32_t>(a * 255 + 0.5);
            const uint32_t r = 128 + (x * 127) / size, g = 128 + (y * 127) / size, b = 200;
            t[static_cast<size_t>(y) * size + x] = alpha << 24 | r << 16 | g << 8 | b;
        }
    return t;
}

// Sprite positions and angles (degrees), fixed per (count, size) so every peer draws the same
// scene inside a width x height target.
struct Placement {
    int32_t x, y;
    float angle;
};

inline std::vector<Placement> Placements(int count, int size, int width, int height)
{
    std::vector<Placement> p(count);
    uint64_t s = 12345;
    auto next = [&] {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<uint32_t>(s >> 11);
    };
    for (Placement& q : p) {
        q.x = static_cast<int32_t>(next() % static_cast<uint32_t>(width - size));
        q.y = static_cast<int32_t>(next() % static_cast<uint32_t>(height - size));
        q.angle = static_cast<float>(next() % 3600) / 10.0f;
    }
    return p;
}

// The figure every sprite benchmark reports: sprites per frame sustainable at 60 fps.
inline void Report(benchmark::State& state, int sprites)
{
    state.counters["sprites60"] =
        benchmark::Counter(static_cast<double>(sprites) / 60.0, benchmark::Counter::kIsIterationInvariantRate);
}

// A windowless device with an automatic D16 depth buffer, presenting immediately; null on failure.
inline IDirect3DDevice9* CreateDevice(IDirect3D9* d3d, UINT width, UINT height)
{
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = width;
    p.BackBufferHeight = height;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* device = nullptr;
    if (!d3d || d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device) != D3D_OK)
        return nullptr;
    return device;
}

// The sprite as a dynamic A8R8G8B8 texture of the default pool.
inline IDirect3DTexture9* CreateSpriteTexture(IDirect3DDevice9* device, int size)
{
    IDirect3DTexture9* texture = nullptr;
    if (device->CreateTexture(size, size, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr) !=
        D3D_OK)
        return nullptr;
    const std::vector<uint32_t> texels = SpriteTexels(size);
    D3DLOCKED_RECT r;
    if (texture->LockRect(0, &r, nullptr, 0) == D3D_OK) {
        for (int y = 0; y < size; ++y)
            std::memcpy(static_cast<uint8_t*>(r.pBits) + static_cast<size_t>(y) * r.Pitch,
                        &texels[static_cast<size_t>(y) * size], static_cast<size_t>(size) * 4);
        texture->UnlockRect(0);
    }
    return texture;
}

// The states the graphics module's BeginScene and draw mode set for alpha-blended sprites
// (additive: the destination factor ONE), the pre-transformed vertex format and the sprite.
inline void ApplySpriteStates(IDirect3DDevice9* device, IDirect3DTexture9* texture, bool additive)
{
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 8);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, additive ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device->SetTexture(0, texture);
}

} // namespace scene
