// The sprite scene the sprite renderer will draw, through the software device and through its
// peers on the same machine:
//   1024 x 768 X8R8G8B8 back buffer with depth, Clear every frame, N sprites from one A8R8G8B8
//   texture with a soft alpha edge, modulated by white, depth test on, alpha test >= 8, all quads
//   in one DrawIndexedPrimitiveUP per frame.
// Variants: upright 32 x 32 (normal alpha blending), rotated 32 x 32, additive, 16 x 16, 64 x 64.
// Peers: SDL2's software renderer (SDL_RenderGeometry in one call; SDL_RenderCopy/CopyEx per
// sprite) and pixman's composite32 OVER (upright, no depth, one core).
// Each benchmark reports "sprites60": sprites per frame sustainable at 60 frames per second.
#include "control_d3d9.h"
#include "d3d9.h"
#include "SpriteScene.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#if VEL_BENCH_PIXMAN
#include <pixman.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 1024, kHeight = 768;

struct Vertex {
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
};

enum class Variant { Upright, Rotated, Additive };

using scene::Placement;
using scene::Report;

std::vector<Placement> Placements(int count, int size) { return scene::Placements(count, size, kWidth, kHeight); }

// --- the software device ----------------------------------------------------------------------

void DeviceScene(benchmark::State& state, Variant variant, int size, uint32_t threads)
{
    const int count = static_cast<int>(state.range(0));
    platctl_d3d9_set_raster_threads(threads);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    IDirect3DDevice9* device = scene::CreateDevice(d3d, kWidth, kHeight);
    if (!device) {
        state.SkipWithError("no device");
        return;
    }
    IDirect3DTexture9* tex = scene::CreateSpriteTexture(device, size);

    scene::ApplySpriteStates(device, tex, variant == Variant::Additive);

    std::vector<Placement> places = Placements(count, size);
    std::vector<Vertex> vertices(4 * count);
    std::vector<uint16_t> idx16;
    std::vector<uint32_t> idx32;
    bool wide = 4 * count > 0xFFFF;
    for (int q = 0; q < count; ++q) {
        const Placement& pl = places[q];
        float cx = pl.x + size / 2.0f, cy = pl.y + size / 2.0f;
        float a = variant == Variant::Rotated ? pl.angle * 3.14159265f / 180.0f : 0.0f;
        float c = std::cos(a), s = std::sin(a), h = size / 2.0f;
        const float corner[4][2] = {{-h, -h}, {h, -h}, {-h, h}, {h, h}};
        for (int k = 0; k < 4; ++k) {
            float dx = corner[k][0], dy = corner[k][1];
            vertices[4 * q + k] = {cx + dx * c - dy * s - 0.5f, cy + dx * s + dy * c - 0.5f, 0.4f, 1.0f, 0xFFFFFFFFu,
                                   static_cast<float>(k & 1), static_cast<float>(k >> 1)};
        }
        const uint32_t pattern[6] = {0, 1, 3, 0, 3, 2};
        for (uint32_t i : pattern) {
            if (wide)
                idx32.push_back(4 * q + i);
            else
                idx16.push_back(static_cast<uint16_t>(4 * q + i));
        }
    }
    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF204060u, 1.0f, 0);
        device->BeginScene();
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4 * count, 2 * count,
                                       wide ? static_cast<const void*>(idx32.data()) : idx16.data(),
                                       wide ? D3DFMT_INDEX32 : D3DFMT_INDEX16, vertices.data(), sizeof(Vertex));
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    Report(state, count);
    device->SetTexture(0, nullptr);
    tex->Release();
    device->Release();
    d3d->Release();
    platctl_d3d9_set_raster_threads(0);
}

// --- SDL2's software renderer -----------------------------------------------------------------

void SdlScene(benchmark::State& state, Variant variant, int size, bool geometry)
{
    const int count = static_cast<int>(state.range(0));
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(target);
    std::vector<uint32_t> texels = scene::SpriteTexels(size);
    SDL_Surface* image = SDL_CreateRGBSurfaceWithFormatFrom(texels.data(), size, size, 32, size * 4,
                                                            SDL_PIXELFORMAT_ARGB8888);
    SDL_Texture* tex = SDL_CreateTextureFromSurface(renderer, image);
    SDL_SetTextureBlendMode(tex, variant == Variant::Additive ? SDL_BLENDMODE_ADD : SDL_BLENDMODE_BLEND);
    SDL_SetTextureColorMod(tex, 255, 255, 255);
    std::vector<Placement> places = Placements(count, size);
    std::vector<SDL_Vertex> verts(4 * count);
    std::vector<int> indices(6 * count);
    for (int q = 0; q < count; ++q) {
        const Placement& pl = places[q];
        float cx = pl.x + size / 2.0f, cy = pl.y + size / 2.0f;
        float a = variant == Variant::Rotated ? pl.angle * 3.14159265f / 180.0f : 0.0f;
        float c = std::cos(a), s = std::sin(a), h = size / 2.0f;
        const float corner[4][2] = {{-h, -h}, {h, -h}, {-h, h}, {h, h}};
        for (int k = 0; k < 4; ++k) {
            float dx = corner[k][0], dy = corner[k][1];
            verts[4 * q + k] = {{cx + dx * c - dy * s, cy + dx * s + dy * c},
                                {255, 255, 255, 255},
                                {static_cast<float>(k & 1), static_cast<float>(k >> 1)}};
        }
        const int pattern[6] = {0, 1, 3, 0, 3, 2};
        for (int i = 0; i < 6; ++i)
            indices[6 * q + i] = 4 * q + pattern[i];
    }
    for (auto _ : state) {
        SDL_SetRenderDrawColor(renderer, 0x20, 0x40, 0x60, 255);
        SDL_RenderClear(renderer);
        if (geometry) {
            SDL_RenderGeometry(renderer, tex, verts.data(), static_cast<int>(verts.size()), indices.data(),
                               static_cast<int>(indices.size()));
        } else {
            for (const Placement& pl : places) {
                SDL_Rect dst{static_cast<int>(pl.x), static_cast<int>(pl.y), size, size};
                if (variant == Variant::Rotated)
                    SDL_RenderCopyEx(renderer, tex, nullptr, &dst, pl.angle, nullptr, SDL_FLIP_NONE);
                else
                    SDL_RenderCopy(renderer, tex, nullptr, &dst);
            }
        }
        SDL_RenderPresent(renderer);
    }
    Report(state, count);
    SDL_DestroyTexture(tex);
    SDL_FreeSurface(image);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(target);
}

#if VEL_BENCH_PIXMAN
void PixmanScene(benchmark::State& state, int size)
{
    const int count = static_cast<int>(state.range(0));
    std::vector<uint32_t> dstPixels(kWidth * kHeight);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kWidth, kHeight, dstPixels.data(), kWidth * 4);
    std::vector<uint32_t> texels = scene::SpriteTexels(size);
    for (uint32_t& c : texels) { // premultiply
        uint32_t a = c >> 24;
        auto m = [&](int shift) { return ((((c >> shift) & 255u) * a + 127) / 255) << shift; };
        c = a << 24 | m(16) | m(8) | m(0);
    }
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, size, size, texels.data(), size * 4);
    std::vector<Placement> places = Placements(count, size);
    pixman_color_t bg{0x2020, 0x4040, 0x6060, 0xFFFF};
    pixman_image_t* fill = pixman_image_create_solid_fill(&bg);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, fill, nullptr, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
        for (const Placement& pl : places)
            pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, static_cast<int>(pl.x),
                                     static_cast<int>(pl.y), size, size);
    }
    Report(state, count);
    pixman_image_unref(fill);
    pixman_image_unref(src);
    pixman_image_unref(dst);
}
#endif

// Single-threaded runs are timed in CPU time (steady on a shared machine); runs that use both
// cores in real time.
void Counts(benchmark::internal::Benchmark* b, std::initializer_list<int> counts)
{
    for (int c : counts)
        b->Arg(c);
    b->Unit(benchmark::kMillisecond);
}

void CountsWall(benchmark::internal::Benchmark* b, std::initializer_list<int> counts)
{
    Counts(b, counts);
    b->UseRealTime();
}

// Both cores, timed by the CPU time of the whole process: on a machine shared with other work
// this shows what the two threads cost together (sprites60 is then per core of CPU time).
void CountsProcess(benchmark::internal::Benchmark* b, std::initializer_list<int> counts)
{
    Counts(b, counts);
    b->MeasureProcessCPUTime();
}

} // namespace

// Sprite counts near each renderer's 60 fps figure, so the report reads at the working point.
BENCHMARK_CAPTURE(DeviceScene, upright32_1thread, Variant::Upright, 32, 1)->Apply([](auto* b) { Counts(b, {10000}); });
BENCHMARK_CAPTURE(DeviceScene, rotated32_1thread, Variant::Rotated, 32, 1)->Apply([](auto* b) { Counts(b, {10000}); });
BENCHMARK_CAPTURE(DeviceScene, additive32_1thread, Variant::Additive, 32, 1)->Apply([](auto* b) { Counts(b, {10000}); });
BENCHMARK_CAPTURE(DeviceScene, upright16_1thread, Variant::Upright, 16, 1)->Apply([](auto* b) { Counts(b, {30000}); });
BENCHMARK_CAPTURE(DeviceScene, upright64_1thread, Variant::Upright, 64, 1)->Apply([](auto* b) { Counts(b, {3000}); });
BENCHMARK_CAPTURE(DeviceScene, upright32_2threads, Variant::Upright, 32, 2)->Apply([](auto* b) { CountsWall(b, {20000}); });
BENCHMARK_CAPTURE(DeviceScene, rotated32_2threads, Variant::Rotated, 32, 2)->Apply([](auto* b) { CountsWall(b, {10000}); });
BENCHMARK_CAPTURE(DeviceScene, additive32_2threads, Variant::Additive, 32, 2)->Apply([](auto* b) { CountsWall(b, {20000}); });
BENCHMARK_CAPTURE(DeviceScene, upright16_2threads, Variant::Upright, 16, 2)->Apply([](auto* b) { CountsWall(b, {60000}); });
BENCHMARK_CAPTURE(DeviceScene, upright64_2threads, Variant::Upright, 64, 2)->Apply([](auto* b) { CountsWall(b, {5000}); });
BENCHMARK_CAPTURE(DeviceScene, upright32_2threads_cpu, Variant::Upright, 32, 2)->Apply([](auto* b) { CountsProcess(b, {20000}); });
BENCHMARK_CAPTURE(DeviceScene, rotated32_2threads_cpu, Variant::Rotated, 32, 2)->Apply([](auto* b) { CountsProcess(b, {10000}); });
BENCHMARK_CAPTURE(SdlScene, geometry_upright32, Variant::Upright, 32, true)->Apply([](auto* b) { Counts(b, {10000}); });
BENCHMARK_CAPTURE(SdlScene, geometry_rotated32, Variant::Rotated, 32, true)->Apply([](auto* b) { Counts(b, {3000}); });
BENCHMARK_CAPTURE(SdlScene, copy_upright32, Variant::Upright, 32, false)->Apply([](auto* b) { Counts(b, {10000}); });
BENCHMARK_CAPTURE(SdlScene, copyex_rotated32, Variant::Rotated, 32, false)->Apply([](auto* b) { Counts(b, {3000}); });
BENCHMARK_CAPTURE(SdlScene, geometry_additive32, Variant::Additive, 32, true)->Apply([](auto* b) { Counts(b, {10000}); });
BENCHMARK_CAPTURE(SdlScene, geometry_upright16, Variant::Upright, 16, true)->Apply([](auto* b) { Counts(b, {30000}); });
BENCHMARK_CAPTURE(SdlScene, geometry_upright64, Variant::Upright, 64, true)->Apply([](auto* b) { Counts(b, {3000}); });
#if VEL_BENCH_PIXMAN
BENCHMARK_CAPTURE(PixmanScene, over_upright32, 32)->Apply([](auto* b) { Counts(b, {20000}); });
BENCHMARK_CAPTURE(PixmanScene, over_upright16, 16)->Apply([](auto* b) { Counts(b, {60000}); });
BENCHMARK_CAPTURE(PixmanScene, over_upright64, 64)->Apply([](auto* b) { Counts(b, {6000}); });
#endif

BENCHMARK_MAIN();
