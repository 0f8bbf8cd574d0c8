// The sprite scene of the device benchmark (1024 x 768 X8R8G8B8 with depth, Clear each frame,
// N sprites of 32 x 32 from one A8R8G8B8 texture with a soft alpha edge, normal alpha blending,
// one draw call per frame), drawn two ways:
//   Raw/...     the host builds the vertices once and calls the device directly;
//   Engine/...  libVELD3D6 loaded with dlopen: N x ID3DRender::DrawQuad + Flush per frame.
// The difference is the engine's overhead per frame. DrawQuadOnly measures DrawQuad alone (no
// rasterising), to set against the pixels each quad draws. One raster thread unless named.
#include "EngineLibrary.h"
#include "VEL.h"

#include "control_d3d9.h"
#include "d3d9.h"
#include "SpriteScene.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 1024, kHeight = 768, kSize = 32;

using scene::Placement;
using scene::Report;

std::vector<Placement> Placements(int count) { return scene::Placements(count, kSize, kWidth, kHeight); }

VEL::SpriteQuad Quad(const Placement& p)
{
    VEL::SpriteQuad q{};
    const int32_t xs[4] = {p.x, p.x + kSize, p.x, p.x + kSize}, ys[4] = {p.y, p.y, p.y + kSize, p.y + kSize};
    const int32_t us[4] = {0, kSize, 0, kSize}, vs[4] = {0, 0, kSize, kSize};
    for (int k = 0; k < 4; ++k) {
        q.x[k] = xs[k];
        q.y[k] = ys[k];
        q.u[k] = us[k];
        q.v[k] = vs[k];
        q.rhw[k] = 1.0f;
        q.colour[k] = 0xFFFFFFFFu;
    }
    return q;
}

// --- the raw device ----------------------------------------------------------------------------

void Raw(benchmark::State& state, bool rotated, uint32_t threads)
{
    const int count = static_cast<int>(state.range(0));
    platctl_d3d9_set_raster_threads(threads);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    IDirect3DDevice9* device = scene::CreateDevice(d3d, kWidth, kHeight);
    if (!device) {
        state.SkipWithError("no device");
        return;
    }
    IDirect3DTexture9* tex = scene::CreateSpriteTexture(device, kSize);
    scene::ApplySpriteStates(device, tex, false);

    const std::vector<Placement> places = Placements(count);
    std::vector<VEL::ScreenVertex> vertices(4 * count);
    std::vector<uint32_t> indices;
    for (int q = 0; q < count; ++q) {
        const Placement& pl = places[q];
        const float cx = pl.x + kSize / 2.0f, cy = pl.y + kSize / 2.0f, h = kSize / 2.0f;
        const float a = rotated ? pl.angle * 3.14159265f / 180.0f : 0.0f, c = std::cos(a), s = std::sin(a);
        const float corner[4][2] = {{-h, -h}, {h, -h}, {-h, h}, {h, h}};
        for (int k = 0; k < 4; ++k) {
            const float dx = corner[k][0], dy = corner[k][1];
            // Turned the way the engine turns a positive angle, so both draw the same pixels.
            vertices[4 * q + k] = {cx + dx * c + dy * s - 0.5f, cy - dx * s + dy * c - 0.5f, 0.4f, 1.0f, 0xFFFFFFFFu,
                                   static_cast<float>(k & 1), static_cast<float>(k >> 1)};
        }
        for (uint32_t i : {0u, 1u, 3u, 0u, 3u, 2u})
            indices.push_back(4 * q + i);
    }
    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040u, 1.0f, 0);
        device->BeginScene();
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4 * count, 2 * count, indices.data(), D3DFMT_INDEX32,
                                       vertices.data(), sizeof(VEL::ScreenVertex));
        device->EndScene();
    }
    Report(state, count);
    tex->Release();
    device->Release();
    d3d->Release();
    platctl_d3d9_set_raster_threads(0);
}

// --- the engine --------------------------------------------------------------------------------

struct EngineScene {
    veltest::EngineLibrary library{"VELD3D6"};
    SDL_Window* window = nullptr;
    VEL::IVELD3D* root = nullptr;
    VEL::ID3DTexture* texture = nullptr;
    VEL::ID3DRender* sprites = nullptr;

    bool Open(int capacity)
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (!library.Loaded() || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return false;
        window = SDL_CreateWindow("bench", 0, 0, kWidth, kHeight, SDL_WINDOW_HIDDEN);
        root = library.CreateRoot<VEL::IVELD3D>();
        if (!window || !root || !root->CreateDevice(window, 2, kWidth, kHeight, false, 0))
            return false;
        texture = static_cast<VEL::ID3DTexture*>(root->CreateInterface(&VEL::IID_ID3DTexture));
        sprites = static_cast<VEL::ID3DRender*>(root->CreateInterface(&VEL::IID_ID3DRender));
        VEL::D3DLockedRect r{};
        if (!texture->Create(kSize, kSize, 0, false) || !texture->Lock(&r, false))
            return false;
        const std::vector<uint32_t> texels = scene::SpriteTexels(kSize);
        for (int y = 0; y < kSize; ++y)
            std::memcpy(static_cast<uint8_t*>(r.pBits) + y * r.Pitch, &texels[y * kSize], kSize * 4);
        texture->Unlock();
        sprites->SetDrawMode(VEL::COLOUR_MODULATE, true, VEL::BLEND_ALPHA);
        return sprites->Initialize(static_cast<uint32_t>(capacity)) && sprites->SetTexture(texture);
    }
    ~EngineScene()
    {
        if (sprites)
            sprites->Release();
        if (texture)
            texture->Release();
        if (root)
            root->Release();
        if (window)
            SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

void Engine(benchmark::State& state, bool rotated, uint32_t threads)
{
    const int count = static_cast<int>(state.range(0));
    platctl_d3d9_set_raster_threads(threads);
    EngineScene scene;
    if (!scene.Open(count)) {
        state.SkipWithError("no engine scene");
        return;
    }
    const std::vector<Placement> places = Placements(count);
    std::vector<VEL::SpriteQuad> quads;
    for (const Placement& p : places)
        quads.push_back(Quad(p));
    for (auto _ : state) {
        scene.root->Clear(0xFF203040u);
        scene.root->BeginScene();
        for (int i = 0; i < count; ++i)
            scene.sprites->DrawQuad(&quads[i], 0, 0, rotated ? places[i].angle : 0.0f, 0);
        scene.sprites->Flush();
        scene.root->EndScene();
    }
    Report(state, count);
    platctl_d3d9_set_raster_threads(0);
}

// DrawQuad alone: the per-quad cost of the geometry (rotation matrix, perspective), no drawing.
void DrawQuadOnly(benchmark::State& state, bool rotated)
{
    const int count = static_cast<int>(state.range(0));
    EngineScene scene;
    if (!scene.Open(count)) {
        state.SkipWithError("no engine scene");
        return;
    }
    const std::vector<Placement> places = Placements(count);
    std::vector<VEL::SpriteQuad> quads;
    for (const Placement& p : places)
        quads.push_back(Quad(p));
    for (auto _ : state) {
        for (int i = 0; i < count; ++i)
            scene.sprites->DrawQuad(&quads[i], rotated ? 10.0f : 0.0f, 0, rotated ? places[i].angle : 0.0f, 0);
        scene.sprites->ClearQuads();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void Wall(benchmark::internal::Benchmark* b)
{
    b->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK_CAPTURE(Raw, upright32_1thread, false, 1)->Apply(Wall);
BENCHMARK_CAPTURE(Engine, upright32_1thread, false, 1)->Apply(Wall);
BENCHMARK_CAPTURE(Raw, rotated32_1thread, true, 1)->Apply(Wall);
BENCHMARK_CAPTURE(Engine, rotated32_1thread, true, 1)->Apply(Wall);
BENCHMARK_CAPTURE(Raw, upright32_2threads, false, 2)->Apply(Wall);
BENCHMARK_CAPTURE(Engine, upright32_2threads, false, 2)->Apply(Wall);
BENCHMARK_CAPTURE(DrawQuadOnly, upright, false)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DrawQuadOnly, rotated_xz, true)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
