// demo.cpp - the engine's demo host. It loads the libraries the way a game does: dlopen, the
// CreateObject export with the framework id, then objects by interface id.
//
// By default it shows the standard library, then the graphics showcase (window, or offscreen
// with a screenshot when there is no display) with input, text and sound playing alongside.
//
//   vel_demo [--frames N] [--screenshot FILE] [--no-sound] [--graphics] [--std-only] [--lib-dir DIR]
#include "BmpWriter.h"
#include "VEL.h"
#include "demo_graphics.h"
#include "demo_library.h"
#include "demo_sound.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// A 64 x 48 test card in 8 bits: eight colour bars over a grey ramp, palette index 0 in a border.
std::vector<uint8_t> MakeTestCard()
{
    fixtures::BmpSpec spec;
    spec.width = 64;
    spec.height = 48;
    spec.bitCount = 8;
    spec.palette = {0x000000, 0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x202020};
    for (uint32_t g = 0; g < 32; ++g)
        spec.palette.push_back(g * 0x080808u);
    spec.colorsUsed = static_cast<uint32_t>(spec.palette.size());
    spec.pixel = [](int32_t x, int32_t y) -> uint32_t {
        if (x < 2 || y < 2 || x > 61 || y > 45)
            return 0;
        return y < 32 ? 1 + x / 8 : 9 + x / 2;
    };
    return fixtures::MakeBmp(spec);
}

// Decodes the card through the loader with the given decoder (null: built-in) and returns the
// pixels in format 0.
std::vector<uint32_t> Decode(VEL::IVELStd* std, const std::vector<uint8_t>& file, VEL::IGraphicsPlugin* plugin,
                             const char* label)
{
    auto* stream = static_cast<VEL::IStdFileStream*>(std->CreateInterface(&VEL::IID_IStdFileStream));
    auto* loader = static_cast<VEL::IStdGraphicsLoader*>(std->CreateInterface(&VEL::IID_IStdGraphicsLoader));
    std::vector<uint32_t> pixels;
    if (stream->OpenMemory(file.data(), static_cast<uint32_t>(file.size())) && loader->Open(stream, plugin)) {
        const int32_t w = loader->GetWidth(), h = loader->GetHeight();
        pixels.assign(static_cast<size_t>(w) * h, 0);
        loader->Decode(pixels.data(), w * 4, VEL::PIXEL_FORMAT_A8R8G8B8);
        std::printf("%-9s %dx%d, %d bits: top-left 0x%08X, bar 3 0x%08X, ramp 0x%08X\n", label, w, h,
                    loader->GetBitCount(), pixels[0], pixels[10 * w + 26], pixels[40 * w + 40]);
        loader->Close();
    } else {
        std::printf("%-9s could not open the image\n", label);
    }
    loader->Release();
    stream->Release();
    return pixels;
}

// The standard library at work: a generated BMP through the built-in and the plug-in decoder,
// the table trigonometry and the frame pacer.
int RunStandardDemo(const std::string& libDir)
{
    DemoLibrary stdLib(libDir, "VELStd6");
    DemoLibrary bmpPlugin(libDir, "BmpGraphicsPlugin");
    auto createObject = stdLib.Get<VEL::PFN_CreateObject>("CreateObject");
    auto version = stdLib.Get<VEL::PFN_GetDLLVersion>("GetDLLVersion");
    if (!createObject || !version)
        return 1;

    char text[8];
    version(text);
    auto* std = static_cast<VEL::IVELStd*>(createObject(&VEL::ID_VELFramework));
    std::printf("libVELStd6 %s loaded, root %p\n", text, static_cast<void*>(std));

    std::printf("Sin(30) = %.6f  Cos(60) = %.6f  ATan2(1, -1) = %.3f  Pow(1.5, 4) = %.4f\n", std->Sin(30),
                std->Cos(60), std->ATan2(1, -1), std->Pow(1.5f, 4));

    const std::vector<uint8_t> card = MakeTestCard();
    std::printf("generated a %zu-byte 8-bit BMP test card\n", card.size());
    const std::vector<uint32_t> builtIn = Decode(std, card, nullptr, "built-in");

    auto createPlugin = bmpPlugin.Get<VEL::PFN_CreatePluginInstance>("CreatePluginInstance");
    auto pluginInfo = bmpPlugin.Get<VEL::PFN_GetPluginInfo>("GetPluginInfo");
    if (createPlugin && pluginInfo) {
        VEL::GraphicsPluginInfo info;
        pluginInfo(&info);
        std::printf("plug-in for .%s: %s\n", info.extension, info.description);
        VEL::IGraphicsPlugin* plugin = nullptr;
        createPlugin(&plugin);
        const std::vector<uint32_t> fromPlugin = Decode(std, card, plugin, "plug-in");
        plugin->Release();
        size_t transparent = 0, differ = 0;
        for (size_t i = 0; i < fromPlugin.size() && i < builtIn.size(); ++i) {
            transparent += (fromPlugin[i] >> 24) == 0;
            differ += fromPlugin[i] != builtIn[i];
        }
        std::printf("plug-in made %zu border pixels transparent; %zu pixels differ from the built-in decode\n",
                    transparent, differ);
    }

    auto* pacer = static_cast<VEL::IStdFPSWait*>(std->CreateInterface(&VEL::IID_IStdFPSWait));
    pacer->Start(60);
    std::printf("frame pacer at 60 fps: first frames wait");
    for (int i = 0; i < 6; ++i) {
        const uint32_t ms = pacer->Wait();
        std::printf(" %u", ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    std::printf(" ms\n");
    pacer->Release();

    std->Release();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string libDir = VEL_LIB_DIR;
    int frames = 0;
    const char* screenshot = nullptr;
    bool sound = true, graphics = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-sound") == 0)
            sound = false;
        else if (std::strcmp(argv[i], "--std-only") == 0)
            sound = graphics = false;
        else if (std::strcmp(argv[i], "--graphics") == 0)
            sound = false;
        else if (i + 1 < argc && std::strcmp(argv[i], "--lib-dir") == 0)
            libDir = argv[++i];
        else if (i + 1 < argc && std::strcmp(argv[i], "--frames") == 0)
            frames = std::atoi(argv[++i]);
        else if (i + 1 < argc && std::strcmp(argv[i], "--screenshot") == 0)
            screenshot = argv[++i];
        else {
            std::fprintf(stderr, "usage: vel_demo [--frames N] [--screenshot FILE] [--no-sound] [--graphics] "
                                 "[--std-only] [--lib-dir DIR]\n");
            return 2;
        }
    }
    int status = RunStandardDemo(libDir);
    if (!graphics)
        return status;
    // Music and effects play on their own thread while the graphics showcase runs: as long as the
    // frames asked for, or half a minute in a window that runs until it is closed.
    std::thread music;
    if (sound) {
        const int seconds = frames > 0 ? frames / 60 + 1 : 30;
        music = std::thread([&libDir, seconds] { RunSoundDemo(libDir.c_str(), seconds); });
    }
    status |= RunGraphicsDemo(libDir.c_str(), frames, screenshot);
    if (music.joinable())
        music.join();
    std::printf("done\n");
    return status;
}
