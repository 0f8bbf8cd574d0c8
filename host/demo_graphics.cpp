// demo_graphics.cpp - the graphics showcase: a host of libVELD3D6 and libVELStd6 using include/
// only, SDL2 for its window.
#include "demo_graphics.h"

#include "BmpWriter.h"
#include "VEL.h"
#include "demo_input.h"
#include "demo_library.h"
#include "demo_text.h"

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kDeviceNotReset = static_cast<int32_t>(0x88760869u);

// Two 64 x 64 sprites as 32-bit BMP files with alpha: a shaded ball with a soft edge and a
// striped diamond.
std::vector<uint8_t> BallBmp()
{
    fixtures::BmpSpec spec;
    spec.width = 64;
    spec.height = 64;
    spec.bitCount = 32;
    spec.pixel = [](int32_t x, int32_t y) -> uint32_t {
        const double dx = (x + 0.5) / 32 - 1, dy = (y + 0.5) / 32 - 1, d = std::sqrt(dx * dx + dy * dy);
        const double a = std::fmin(std::fmax((1.0 - d) * 6.0, 0.0), 1.0);
        const double light = std::fmax(0.25, 1.0 - std::hypot(dx + 0.35, dy + 0.35));
        const auto r = static_cast<uint32_t>(255 * light), g = static_cast<uint32_t>(180 * light),
                   b = static_cast<uint32_t>(60 + 100 * light);
        return static_cast<uint32_t>(a * 255 + 0.5) << 24 | r << 16 | g << 8 | b;
    };
    return fixtures::MakeBmp(spec);
}

std::vector<uint8_t> DiamondBmp()
{
    fixtures::BmpSpec spec;
    spec.width = 64;
    spec.height = 64;
    spec.bitCount = 32;
    spec.pixel = [](int32_t x, int32_t y) -> uint32_t {
        const int d = std::abs(x - 32) + std::abs(y - 32);
        if (d > 31)
            return 0;
        return (((x + y) / 8) % 2 ? 0xFF40C0FFu : 0xFFFFFFFFu);
    };
    return fixtures::MakeBmp(spec);
}

// Decodes a BMP through the standard library's loader straight into a new texture.
VEL::ID3DTexture* LoadTexture(VEL::IVELStd* std, VEL::IVELD3D* root, const std::vector<uint8_t>& file)
{
    auto* stream = static_cast<VEL::IStdFileStream*>(std->CreateInterface(&VEL::IID_IStdFileStream));
    auto* loader = static_cast<VEL::IStdGraphicsLoader*>(std->CreateInterface(&VEL::IID_IStdGraphicsLoader));
    auto* texture = static_cast<VEL::ID3DTexture*>(root->CreateInterface(&VEL::IID_ID3DTexture));
    VEL::D3DLockedRect rect{};
    bool ok = stream->OpenMemory(file.data(), static_cast<uint32_t>(file.size())) && loader->Open(stream, nullptr) &&
              texture->Create(static_cast<uint32_t>(loader->GetWidth()), static_cast<uint32_t>(loader->GetHeight()), 0,
                              false) &&
              texture->Lock(&rect, false);
    if (ok) {
        loader->Decode(rect.pBits, rect.Pitch, VEL::PIXEL_FORMAT_A8R8G8B8);
        texture->Unlock();
    }
    loader->Close();
    loader->Release();
    stream->Release();
    if (!ok)
        DemoRelease(texture);
    return texture;
}

// A w x h sprite centred on (cx, cy) showing the texels [0, tw) x [0, th).
VEL::SpriteQuad Sprite(int cx, int cy, int w, int h, int tw, int th, uint32_t colour, uint32_t depth = 0)
{
    VEL::SpriteQuad q{};
    const int32_t xs[4] = {cx - w / 2, cx + w / 2, cx - w / 2, cx + w / 2};
    const int32_t ys[4] = {cy - h / 2, cy - h / 2, cy + h / 2, cy + h / 2};
    const int32_t us[4] = {0, tw, 0, tw}, vs[4] = {0, 0, th, th};
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

bool WriteScreenshot(VEL::IVELD3D* root, const char* path)
{
    auto* bb = static_cast<VEL::ID3DBackBuffer*>(root->CreateInterface(&VEL::IID_ID3DBackBuffer));
    std::vector<uint32_t> pixels;
    bool ok = bb->Create();
    if (ok) {
        pixels.resize(size_t{bb->GetWidth()} * bb->GetHeight());
        ok = bb->Read(pixels.data());
    }
    const auto w = static_cast<int32_t>(bb->GetWidth()), h = static_cast<int32_t>(bb->GetHeight());
    bb->Release();
    if (!ok)
        return false;
    fixtures::BmpSpec spec;
    spec.width = w;
    spec.height = -h; // top-down rows
    spec.bitCount = 24;
    spec.pixel = [&](int32_t x, int32_t y) { return pixels[size_t(y) * w + x]; };
    const std::vector<uint8_t> file = fixtures::MakeBmp(spec);
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
}

// Everything the scene draws with, made (and remade after a reset) in one place.
struct Scene {
    VEL::IVELStd* std = nullptr;
    VEL::IVELD3D* root = nullptr;
    VEL::ID3DTexture* ball = nullptr;
    VEL::ID3DTexture* diamond = nullptr;
    VEL::ID3DTexture* white = nullptr;
    VEL::ID3DTexture* target = nullptr; // render target
    VEL::ID3DRender* sprites = nullptr;
    VEL::ID3DTriangleRender* triangles = nullptr;
    VEL::ID3DLineRender* line = nullptr;
    // A caption drawn with a font of the windows library, and a ball the player moves with the
    // arrow keys or the first controller.
    DemoText* text = nullptr;
    VEL::ID3DTexture* caption = nullptr;
    int captionWidth = 0, captionHeight = 0;
    float playerX = kWidth / 2.0f, playerY = 300.0f;

    static constexpr const char* kCaption = "VEL engine - arrows or a controller move the ball, space flashes it";

    bool Fill()
    {
        if (caption && text)
            text->Refill(caption, kCaption, 0xFFFFFFFFu);
        // Textures come back cleared after a reset: decode the images again.
        DemoRelease(ball);
        DemoRelease(diamond);
        ball = LoadTexture(std, root, BallBmp());
        diamond = LoadTexture(std, root, DiamondBmp());
        if (!white) {
            white = static_cast<VEL::ID3DTexture*>(root->CreateInterface(&VEL::IID_ID3DTexture));
            white->Create(1, 1, 0, false);
        }
        VEL::D3DLockedRect r{};
        if (white->Lock(&r, false)) {
            *static_cast<uint32_t*>(r.pBits) = 0xFFFFFFFFu;
            white->Unlock();
        }
        return ball && diamond;
    }

    bool Open()
    {
        if (!Fill())
            return false;
        target = static_cast<VEL::ID3DTexture*>(root->CreateInterface(&VEL::IID_ID3DTexture));
        sprites = static_cast<VEL::ID3DRender*>(root->CreateInterface(&VEL::IID_ID3DRender));
        triangles = static_cast<VEL::ID3DTriangleRender*>(root->CreateInterface(&VEL::IID_ID3DTriangleRender));
        line = static_cast<VEL::ID3DLineRender*>(root->CreateInterface(&VEL::IID_ID3DLineRender));
        if (text && text->Ready())
            caption = text->Render(root, kCaption, 0xFFFFFFFFu, &captionWidth, &captionHeight);
        return target->Create(128, 128, 0, true) && sprites->Initialize(64) && line->Initialize(128) &&
               triangles->SetTexture(white) && line->SetTexture(white);
    }

    void Close()
    {
        if (root)
            root->SetRenderTarget(nullptr);
        DemoRelease(caption);
        DemoRelease(line);
        DemoRelease(triangles);
        DemoRelease(sprites);
        DemoRelease(target);
        DemoRelease(white);
        DemoRelease(diamond);
        DemoRelease(ball);
    }

    void Draw(int frame, const DemoInputState& input)
    {
        const float t = static_cast<float>(frame);
        playerX = std::fmin(std::fmax(playerX + input.moveX / 250.0f, 20.0f), kWidth - 20.0f);
        playerY = std::fmin(std::fmax(playerY + input.moveY / 250.0f, 170.0f), kHeight - 20.0f);
        // 1. Into the render-target texture: a spinning diamond over a dark teal square.
        root->SetRenderTarget(target);
        root->Clear(0xFF104040u);
        if (root->BeginScene()) {
            sprites->SetTexture(diamond);
            sprites->SetDrawMode(VEL::COLOUR_MODULATE, true, VEL::BLEND_ALPHA);
            const VEL::SpriteQuad q = Sprite(64, 64, 96, 96, 64, 64, 0xFFFFFFFFu);
            sprites->DrawQuad(&q, 0, 0, t * 2.0f, 0);
            sprites->Flush();
            root->EndScene();
        }
        root->SetRenderTarget(nullptr);

        // 2. The frame.
        root->Clear(0xFF202840u);
        if (!root->BeginScene())
            return;
        // A backdrop of stripes so that every blend type has something to blend with.
        triangles->SetDrawMode(VEL::COLOUR_MODULATE, false, 0);
        for (int i = 0; i < 8; ++i) {
            VEL::TriangleCorners a{}, b{};
            const int x0 = 40 + i * 72, y0 = 40, x1 = x0 + 72, y1 = 150;
            const uint32_t c = i % 2 ? 0xFF808080u : 0xFF4060A0u;
            const int ax[3] = {x0, x1, x0}, ay[3] = {y0, y0, y1}, bx[3] = {x1, x1, x0}, by[3] = {y0, y1, y1};
            for (int k = 0; k < 3; ++k) {
                a.x[k] = ax[k], a.y[k] = ay[k], b.x[k] = bx[k], b.y[k] = by[k];
                a.rhw[k] = b.rhw[k] = 1.0f;
                a.colour[k] = b.colour[k] = c;
                a.depth[k] = b.depth[k] = 60000;
            }
            triangles->DrawTriangle(&a, 0, 0, 0, 0, 0, 0);
            triangles->DrawTriangle(&b, 0, 0, 0, 0, 0, 0);
        }
        triangles->Flush();

        // Eight blend types, each ball turning in 3D.
        sprites->SetTexture(ball);
        for (int type = 0; type < 8; ++type) {
            sprites->SetDrawMode(VEL::COLOUR_MODULATE, true, type);
            const VEL::SpriteQuad q = Sprite(76 + type * 72, 95, 64, 64, 64, 64, 0xFFFFFFFFu);
            sprites->DrawQuad(&q, t * 1.5f + type * 20, t * 2.5f, t, 0);
            sprites->Flush();
        }
        // Three colour modes with a tint.
        for (int mode = 0; mode < 3; ++mode) {
            sprites->SetDrawMode(mode, true, VEL::BLEND_ALPHA);
            const VEL::SpriteQuad q = Sprite(90 + mode * 100, 230, 80, 80, 64, 64, 0xFF30A0FFu);
            sprites->DrawQuad(&q, 0, t * 3.0f, 0, 0);
            sprites->Flush();
        }
        // The render-target texture on screen, turning about its vertical axis.
        sprites->SetTexture(target);
        sprites->SetDrawMode(VEL::COLOUR_MODULATE, false, 0);
        const VEL::SpriteQuad rt = Sprite(520, 240, 128, 128, 128, 128, 0xFFFFFFFFu);
        sprites->DrawQuad(&rt, 0, t, 0, 0);
        sprites->Flush();

        // A hexagon of six triangles turning as one shape about its centre.
        triangles->SetDrawMode(VEL::COLOUR_MODULATE, true, VEL::BLEND_ADDITIVE);
        for (int i = 0; i < 6; ++i) {
            VEL::TriangleCorners tri{};
            const double a0 = i * kPi / 3, a1 = (i + 1) * kPi / 3;
            const int cx = 380, cy = 230;
            const int xs[3] = {cx, cx + static_cast<int>(60 * std::cos(a0)), cx + static_cast<int>(60 * std::cos(a1))};
            const int ys[3] = {cy, cy + static_cast<int>(60 * std::sin(a0)), cy + static_cast<int>(60 * std::sin(a1))};
            for (int k = 0; k < 3; ++k) {
                tri.x[k] = xs[k];
                tri.y[k] = ys[k];
                tri.rhw[k] = 1.0f;
                tri.colour[k] = k == 0 ? 0xFFFFFFFFu : (i % 2 ? 0xFFFF4040u : 0xFF40FF40u);
            }
            const float ox = cx - (xs[0] + xs[1] + xs[2]) / 3.0f, oy = cy - (ys[0] + ys[1] + ys[2]) / 3.0f;
            triangles->DrawTriangle(&tri, ox, oy, t * 0.7f, 0, t * 1.3f, 0);
        }
        triangles->Flush();

        // A thick polyline: a travelling wave with two edge colours.
        line->ClearPoints();
        line->SetLineWidth(8.0f);
        line->SetDrawMode(VEL::COLOUR_MODULATE, false, 0);
        for (int x = 20; x <= 620; x += 10) {
            const VEL::LinePoint p{x, 380 + static_cast<int32_t>(50 * std::sin((x + t * 4) / 60.0)), 0, 0xFFFFC040u,
                                   0xFFFF4080u};
            line->PushBack(&p);
        }
        line->Flush();

        // The player's ball, additive while fire is held; the caption along the bottom.
        sprites->SetTexture(ball);
        sprites->SetDrawMode(VEL::COLOUR_MODULATE, true, input.fire ? VEL::BLEND_ADDITIVE : VEL::BLEND_ALPHA);
        const VEL::SpriteQuad player = Sprite(static_cast<int>(playerX), static_cast<int>(playerY), 40, 40, 64, 64,
                                              input.fire ? 0xFFFFFFFFu : 0xFFA0FFA0u);
        sprites->DrawQuad(&player, 0, 0, 0, 0);
        sprites->Flush();
        if (caption) {
            sprites->SetTexture(caption);
            sprites->SetDrawMode(VEL::COLOUR_MODULATE, true, VEL::BLEND_ALPHA);
            const VEL::SpriteQuad q = Sprite(kWidth / 2, kHeight - 24, captionWidth & ~1, captionHeight & ~1,
                                             captionWidth & ~1, captionHeight & ~1, 0xFFFFFFFFu);
            sprites->DrawQuad(&q, 0, 0, 0, 0);
            sprites->Flush();
        }
        root->EndScene();
    }
};

} // namespace

int RunGraphicsDemo(const char* libDir, int frames, const char* screenshotPath)
{
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!display)
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    const bool offscreen = driver && std::strcmp(driver, "offscreen") == 0;
    if (offscreen && !screenshotPath)
        screenshotPath = "vel_graphics_demo.bmp";
    if (frames <= 0 && offscreen)
        frames = 180;

    DemoLibrary stdLib(libDir, "VELStd6");
    DemoLibrary d3dLib(libDir, "VELD3D6");
    DemoInput input(libDir);
    DemoText text(libDir, "DejaVu Sans", 15);
    std::printf("graphics demo: input %s, caption font %s\n", input.Opened() ? "ready" : "not available",
                text.Ready() ? "ready" : "not available");
    Scene scene;
    scene.text = &text;
    scene.std = stdLib.CreateRoot<VEL::IVELStd>();
    scene.root = d3dLib.CreateRoot<VEL::IVELD3D>();
    if (!scene.std || !scene.root) {
        std::fprintf(stderr, "graphics demo: the libraries did not load\n");
        return 1;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "graphics demo: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("VEL graphics demo", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth,
                                          kHeight, offscreen ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
    int status = 1;
    VEL::AdapterInfo info{};
    if (window && scene.root->GetAdapterInfo(&info, kWidth, kHeight, 0) &&
        scene.root->CreateDevice(window, info.vertexProcessing, kWidth, kHeight, false, 0) && scene.Open()) {
        std::printf("graphics demo: %s, %u MB video memory, %s\n", info.description, info.videoMemory >> 20,
                    offscreen ? "offscreen" : "on screen");
        auto* pacer = static_cast<VEL::IStdFPSWait*>(scene.std->CreateInterface(&VEL::IID_IStdFPSWait));
        pacer->Start(60);
        bool running = true;
        int lateFrames = 0;
        double worstMs = 0.0, totalMs = 0.0;
        int frame = 0;
        std::string lastInput;
        for (; running && (frames <= 0 || frame < frames); ++frame) {
            SDL_Event e;
            while (SDL_PollEvent(&e))
                if (e.type == SDL_QUIT || (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE))
                    running = false;
            SDL_Delay(pacer->Wait());
            const bool late = pacer->IsFrameLate();
            lateFrames += late;
            const DemoInputState state = input.Read();
            const std::string described = DemoInput::Describe(state);
            if (described != lastInput) {
                std::printf("input: %s\n", described.c_str());
                lastInput = described;
            }
            const auto start = std::chrono::steady_clock::now();
            scene.Draw(frame, state);
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            totalMs += ms;
            worstMs = std::fmax(worstMs, ms);
            if (frame % 60 == 0)
                std::printf("frame %4d: %.2f ms to draw%s\n", frame, ms, late ? ", late" : "");
            if (!scene.root->Present()) {
                // Lost: wait until the device can be reset, then rebuild and refill.
                if (scene.root->TestCooperativeLevel() == kDeviceNotReset &&
                    scene.root->ResetDevice(kWidth, kHeight, false, 0))
                    scene.Fill();
                else
                    SDL_Delay(50);
            }
        }
        std::printf("graphics demo: %d frames, %.2f ms average and %.2f ms worst to draw, %d late\n", frame,
                    frame ? totalMs / frame : 0.0, worstMs, lateFrames);
        pacer->Release();
        status = 0;
        if (screenshotPath) {
            scene.Draw(frame, DemoInputState{});
            if (WriteScreenshot(scene.root, screenshotPath))
                std::printf("graphics demo: screenshot written to %s\n", screenshotPath);
            else
                status = 1;
        }
    } else {
        std::fprintf(stderr, "graphics demo: no device\n");
    }
    scene.Close();
    DemoRelease(scene.root);
    DemoRelease(scene.std);
    if (window)
        SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return status;
}
