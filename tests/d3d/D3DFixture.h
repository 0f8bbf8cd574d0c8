// D3DFixture.h - a host of libVELD3D6: the library loaded with dlopen, an SDL window under the
// offscreen driver, a device on it, and helpers to fill textures and read the frame back.
#pragma once

#include "EngineLibrary.h"
#include "VEL.h"

#include "control_d3d9.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace d3dtest {

using veltest::Ref;

inline uint32_t Ch(uint32_t c, int k) { return (c >> (8 * k)) & 255u; }
// Round half up of an exact rational value, clamped to a channel.
inline uint32_t RefRound(double v)
{
    const double r = std::floor(v + 0.5);
    return static_cast<uint32_t>(r < 0 ? 0 : r > 255 ? 255 : r);
}

class D3DTest : public ::testing::Test {
protected:
    static constexpr uint32_t kWidth = 64;
    static constexpr uint32_t kHeight = 48;

    void SetUp() override
    {
        platctl_d3d9_set_profile(nullptr);
        ASSERT_TRUE(library.Loaded()) << library.Error();
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        window = SDL_CreateWindow("d3d test", 0, 0, kWidth, kHeight, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        root.reset(library.CreateRoot<VEL::IVELD3D>());
        ASSERT_TRUE(root);
    }

    void TearDown() override
    {
        if (root) {
            root->SetRenderTarget(nullptr);
            EXPECT_EQ(root.release()->Release(), 0) << "sub-objects left alive";
        }
        if (window)
            SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        platctl_d3d9_set_profile(nullptr);
        EXPECT_EQ(platctl_d3d9_live_objects(), 0u) << "device objects left alive";
    }

    void MakeDevice(int32_t colourFormat = 0, uint32_t w = kWidth, uint32_t h = kHeight)
    {
        ASSERT_TRUE(root->CreateDevice(window, 2, w, h, false, colourFormat));
    }

    template <class T>
    T* Create(const GUID& id)
    {
        return static_cast<T*>(root->CreateInterface(&id));
    }

    // A 32-bit texture filled with `texels` (w x h, rows packed).
    VEL::ID3DTexture* MakeTexture(uint32_t w, uint32_t h, const std::vector<uint32_t>& texels)
    {
        auto* t = Create<VEL::ID3DTexture>(VEL::IID_ID3DTexture);
        EXPECT_TRUE(t->Create(w, h, 0, false));
        Fill(t, w, h, texels);
        return t;
    }

    static void Fill(VEL::ID3DTexture* t, uint32_t w, uint32_t h, const std::vector<uint32_t>& texels)
    {
        VEL::D3DLockedRect r{};
        ASSERT_TRUE(t->Lock(&r, false));
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(static_cast<uint8_t*>(r.pBits) + size_t{y} * r.Pitch, &texels[size_t{y} * w], w * 4);
        t->Unlock();
    }

    // The back buffer as A8R8G8B8 through ID3DBackBuffer::Read.
    std::vector<uint32_t> ReadFrame()
    {
        Ref<VEL::ID3DBackBuffer> bb(Create<VEL::ID3DBackBuffer>(VEL::IID_ID3DBackBuffer));
        std::vector<uint32_t> out;
        if (!bb->Create())
            return out;
        out.resize(size_t{bb->GetWidth()} * bb->GetHeight());
        EXPECT_TRUE(bb->Read(out.data()));
        return out;
    }

    // An upright quad covering [x, x + w) x [y, y + h) with texels (u0, v0) ... mapped 1:1.
    static VEL::SpriteQuad Quad(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour = 0xFFFFFFFFu,
                                uint32_t depth = 0, int32_t u0 = 0, int32_t v0 = 0)
    {
        VEL::SpriteQuad q{};
        const int32_t xs[4] = {x, x + w, x, x + w}, ys[4] = {y, y, y + h, y + h};
        const int32_t us[4] = {u0, u0 + w, u0, u0 + w}, vs[4] = {v0, v0, v0 + h, v0 + h};
        for (int k = 0; k < 4; ++k) {
            q.x[k] = xs[k];
            q.y[k] = ys[k];
            q.u[k] = us[k];
            q.v[k] = vs[k];
            q.depth[k] = depth;
            q.rhw[k] = 1.0f;
            q.colour[k] = colour;
        }
        return q;
    }

    veltest::EngineLibrary library{"VELD3D6"};
    SDL_Window* window = nullptr;
    Ref<VEL::IVELD3D> root;
};

} // namespace d3dtest
