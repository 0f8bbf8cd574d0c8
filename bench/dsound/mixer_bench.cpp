// Mixing voices of 44.1 kHz 16-bit stereo, each played at a rate other than 44100 Hz (so every
// voice is resampled), into 44.1 kHz 16-bit stereo: our mixer through the manual output, beside
// SDL2 doing the same job (one SDL_AudioStream per voice to resample, SDL_MixAudioFormat to sum).
//
// realtime_voices: how many such voices one core could keep mixing in real time
// (voices x seconds of sound mixed / CPU seconds). core_share_256: the part of one core that
// 256 voices need (256 / realtime_voices).
#include "dsound.h"
#include "platform_control.h"

#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kPeriod = 1024;        // output frames per mixing call, a typical device period
constexpr uint32_t kSourceFrames = 44100; // one second of sound per voice

// One second of a voice-specific two-tone signal, 16-bit stereo.
std::vector<int16_t> VoiceSignal(int voice)
{
    std::vector<int16_t> s(2 * kSourceFrames);
    const double pi = std::acos(-1.0);
    for (uint32_t i = 0; i < kSourceFrames; ++i) {
        s[2 * i] = static_cast<int16_t>(3000.0 * std::sin(2 * pi * (220.0 + voice) * i / 44100.0));
        s[2 * i + 1] = static_cast<int16_t>(3000.0 * std::sin(2 * pi * (330.0 + voice) * i / 44100.0));
    }
    return s;
}

// Playback rates spread over 0.8x..1.25x, never exactly 44100 Hz.
uint32_t VoiceRate(int voice, int voices)
{
    const uint32_t rate = static_cast<uint32_t>(35280.0 + (55125.0 - 35280.0) * voice / voices);
    return rate == 44100 ? 44101 : rate;
}

void Report(benchmark::State& state, int voices)
{
    const double seconds = static_cast<double>(kPeriod) / 44100.0;
    const double voiceSeconds = voices * seconds * static_cast<double>(state.iterations());
    state.counters["realtime_voices"] = benchmark::Counter(voiceSeconds, benchmark::Counter::kIsRate);
    state.counters["core_share_256"] =
        benchmark::Counter(voiceSeconds / 256.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_VelMixer(benchmark::State& state)
{
    const int voices = static_cast<int>(state.range(0));
    platctl_dsound_use_output(PLATCTL_DSOUND_MANUAL);
    IDirectSound8* device = nullptr;
    if (DirectSoundCreate8(nullptr, &device, nullptr) != DS_OK) {
        state.SkipWithError("no sound device");
        return;
    }
    static int window;
    device->SetCooperativeLevel(&window, DSSCL_PRIORITY);
    std::vector<IDirectSoundBuffer*> buffers;
    for (int v = 0; v < voices; ++v) {
        WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN;
        desc.dwBufferBytes = kSourceFrames * 4;
        desc.lpwfxFormat = &f;
        IDirectSoundBuffer* b = nullptr;
        if (device->CreateSoundBuffer(&desc, &b, nullptr) != DS_OK)
            break;
        const std::vector<int16_t> signal = VoiceSignal(v);
        void* p = nullptr;
        DWORD n = 0;
        b->Lock(0, desc.dwBufferBytes, &p, &n, nullptr, nullptr, 0);
        std::memcpy(p, signal.data(), n);
        b->Unlock(p, n, nullptr, 0);
        b->SetFrequency(VoiceRate(v, voices));
        b->SetVolume(-600);
        b->SetPan((v % 21 - 10) * 100);
        b->Play(0, 0, DSBPLAY_LOOPING);
        buffers.push_back(b);
    }
    std::vector<int16_t> out(2 * kPeriod);
    for (auto _ : state) {
        platctl_dsound_render_frames(kPeriod);
        platctl_dsound_read(out.data(), kPeriod);
        benchmark::DoNotOptimize(out.data());
    }
    Report(state, voices);
    for (IDirectSoundBuffer* b : buffers)
        b->Release();
    device->Release();
}

void BM_Sdl2Mixer(benchmark::State& state)
{
    const int voices = static_cast<int>(state.range(0));
    struct Voice {
        SDL_AudioStream* stream;
        std::vector<int16_t> signal;
        uint32_t cursor; // next source frame to feed
    };
    std::vector<Voice> all;
    for (int v = 0; v < voices; ++v) {
        SDL_AudioStream* s = SDL_NewAudioStream(AUDIO_S16SYS, 2, static_cast<int>(VoiceRate(v, voices)), AUDIO_S16SYS,
                                                2, 44100);
        if (!s) {
            state.SkipWithError(SDL_GetError());
            break;
        }
        all.push_back({s, VoiceSignal(v), 0});
    }
    const int volume = static_cast<int>(SDL_MIX_MAXVOLUME * 0.501); // -6 dB, as above
    constexpr int kBytes = kPeriod * 4;
    constexpr uint32_t kFeed = 256; // source frames per put
    std::vector<int16_t> voiceOut(2 * kPeriod);
    std::vector<int16_t> out(2 * kPeriod);
    for (auto _ : state) {
        std::memset(out.data(), 0, kBytes);
        for (Voice& v : all) {
            while (SDL_AudioStreamAvailable(v.stream) < kBytes) {
                const uint32_t n = std::min(kFeed, kSourceFrames - v.cursor);
                SDL_AudioStreamPut(v.stream, v.signal.data() + 2 * v.cursor, static_cast<int>(n * 4));
                v.cursor = (v.cursor + n) % kSourceFrames;
            }
            SDL_AudioStreamGet(v.stream, voiceOut.data(), kBytes);
            SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), reinterpret_cast<const Uint8*>(voiceOut.data()),
                               AUDIO_S16SYS, kBytes, volume);
        }
        benchmark::DoNotOptimize(out.data());
    }
    Report(state, voices);
    for (Voice& v : all)
        SDL_FreeAudioStream(v.stream);
}

} // namespace

BENCHMARK(BM_VelMixer)->Arg(32)->Arg(256)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sdl2Mixer)->Arg(32)->Arg(256)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
