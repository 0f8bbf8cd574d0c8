// BMP decode of 1024 x 1024 images: our decoder (the plug-in library's instances, loaded with
// dlopen as a host loads them, reading through a host memory stream) into formats 0 and 2,
// beside SDL2 loading the same bytes and converting them to ARGB8888.
#include "BmpWriter.h"
#include "EngineLibrary.h"
#include "MemoryStream.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int32_t kSize = 1024;

std::vector<uint8_t> MakeImage(uint16_t bits)
{
    fixtures::BmpSpec spec;
    spec.width = kSize;
    spec.height = kSize;
    spec.bitCount = bits;
    if (bits == 8)
        for (uint32_t i = 0; i < 256; ++i)
            spec.palette.push_back(i * 0x010203u & 0xFFFFFF);
    spec.pixel = [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 2654435761u ^ y * 40503u); };
    return fixtures::MakeBmp(spec);
}

const std::vector<uint8_t>& Image(uint16_t bits)
{
    static const std::vector<uint8_t> images[3] = {MakeImage(8), MakeImage(24), MakeImage(32)};
    return images[bits == 8 ? 0 : bits == 24 ? 1 : 2];
}

void BM_VelDecode(benchmark::State& state)
{
    const auto bits = static_cast<uint16_t>(state.range(0));
    const auto format = static_cast<uint32_t>(state.range(1));
    static const veltest::EngineLibrary library("BmpGraphicsPlugin");
    auto create = library.Export<VEL::PFN_CreatePluginInstance>("CreatePluginInstance");
    if (!create) {
        state.SkipWithError(library.Error().c_str());
        return;
    }
    veltest::MemoryStream* stream = veltest::MemoryStream::Create(Image(bits));
    const int32_t pitch = kSize * (format == 0 ? 4 : 2);
    std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * kSize);
    for (auto _ : state) {
        VEL::IGraphicsPlugin* decoder = create(nullptr);
        if (!decoder->Open(stream)) {
            state.SkipWithError("Open failed");
            decoder->Release();
            break;
        }
        decoder->Decode(pixels.data(), pitch, format);
        decoder->Release(); // closes: the stream is rewound for the next round
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    stream->Release();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(Image(bits).size()));
}

void BM_SdlLoadAndConvert(benchmark::State& state)
{
    const auto& file = Image(static_cast<uint16_t>(state.range(0)));
    for (auto _ : state) {
        SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1);
        if (!loaded) {
            state.SkipWithError(SDL_GetError());
            break;
        }
        SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
        benchmark::DoNotOptimize(converted);
        SDL_FreeSurface(converted);
        SDL_FreeSurface(loaded);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}

} // namespace

BENCHMARK(BM_VelDecode)->ArgNames({"bits", "format"})->ArgsProduct({{8, 24, 32}, {0, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlLoadAndConvert)->ArgNames({"bits"})->Args({8})->Args({24})->Args({32})->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
