// demo_sound.cpp - plays generated sound through the sound library the way a game does.
#include "demo_sound.h"

#include "VEL.h"
#include "WavWriter.h"
#include "demo_library.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A short falling chirp with a fast decay: 250 ms, 16-bit mono at 22050 Hz.
std::vector<uint8_t> MakeEffect()
{
    fixtures::WavLayout layout;
    layout.channels = 1;
    layout.rate = 22050;
    const uint32_t frames = layout.rate / 4;
    std::vector<int16_t> samples(frames);
    double phase = 0.0;
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / layout.rate;
        phase += 2.0 * kPi * (1200.0 - 3200.0 * t) / layout.rate;
        samples[i] = static_cast<int16_t>(std::lround(12000.0 * std::exp(-12.0 * t) * std::sin(phase)));
    }
    layout.data = fixtures::Pcm16Bytes(samples);
    return fixtures::MakeWav(layout);
}

// A 4-second arpeggio in 16-bit stereo at 44100 Hz: a one-second intro, then three seconds
// meant to loop (the track is opened with its loop start at 1000 ms).
std::vector<uint8_t> MakeTrack()
{
    fixtures::WavLayout layout;
    const uint32_t rate = layout.rate;
    const uint32_t frames = rate * 4;
    const double notes[] = {220.0, 277.18, 329.63, 440.0, 329.63, 277.18, 246.94, 293.66,
                            369.99, 493.88, 369.99, 293.66, 220.0, 277.18, 329.63, 440.0};
    std::vector<int16_t> samples(2 * static_cast<size_t>(frames));
    const uint32_t noteFrames = rate / 4;
    for (uint32_t i = 0; i < frames; ++i) {
        const uint32_t note = i / noteFrames;
        const double t = static_cast<double>(i % noteFrames) / rate;
        const double envelope = std::exp(-5.0 * t);
        const double hz = notes[note % 16];
        const double v = 7000.0 * envelope * (std::sin(2.0 * kPi * hz * i / rate) + 0.3 * std::sin(4.0 * kPi * hz * i / rate));
        samples[2 * i] = static_cast<int16_t>(std::lround(v * (note % 2 ? 0.7 : 1.0)));
        samples[2 * i + 1] = static_cast<int16_t>(std::lround(v * (note % 2 ? 1.0 : 0.7)));
    }
    layout.data = fixtures::Pcm16Bytes(samples);
    return fixtures::MakeWav(layout);
}

} // namespace

int RunSoundDemo(const char* libDir, int seconds)
{
    DemoLibrary stdLib(libDir, "VELStd6");
    DemoLibrary dsLib(libDir, "VELDS6");
    VEL::IVELStd* stdRoot = stdLib.CreateRoot<VEL::IVELStd>();
    VEL::IVELDS* ds = dsLib.CreateRoot<VEL::IVELDS>();
    if (!stdRoot || !ds) {
        DemoRelease(stdRoot);
        DemoRelease(ds);
        return 1;
    }
    // The sound root only needs a window handle to bind to; this demo shows no window of its own.
    static int placeholderWindow;
    int result = 0;
    const std::vector<uint8_t> effectBytes = MakeEffect();
    const std::vector<uint8_t> trackBytes = MakeTrack();
    auto* effectFile = static_cast<VEL::IStdFileStream*>(stdRoot->CreateInterface(&VEL::IID_IStdFileStream));
    auto* trackFile = static_cast<VEL::IStdFileStream*>(stdRoot->CreateInterface(&VEL::IID_IStdFileStream));
    auto* effect = static_cast<VEL::IDSSoundBuffer*>(ds->CreateInterface(&VEL::IID_IDSSoundBuffer));
    auto* track = static_cast<VEL::IDSMediaStream*>(ds->CreateInterface(&VEL::IID_IDSMediaStream));

    if (!ds->Initialize(&placeholderWindow)) {
        std::printf("sound: no audio device\n");
        result = 2;
    } else if (!effectFile->OpenMemory(effectBytes.data(), static_cast<uint32_t>(effectBytes.size())) ||
               !trackFile->OpenMemory(trackBytes.data(), static_cast<uint32_t>(trackBytes.size())) ||
               !effect->Load(effectFile, nullptr) || !track->Open(trackFile, "wav", true, 1000, nullptr)) {
        std::printf("sound: the generated WAVE data could not be loaded\n");
        result = 3;
    } else {
        std::printf("sound: effect %u ms (22050 Hz mono), track %u ms (44100 Hz stereo) looping from %u ms\n",
                    effect->GetLength(), track->GetLength(), track->GetLoopStart());
        track->SetVolume(80);
        track->Play();
        const auto start = std::chrono::steady_clock::now();
        const auto end = start + std::chrono::seconds(seconds);
        auto nextEffect = start + std::chrono::milliseconds(500);
        auto nextReport = start;
        int shots = 0;
        for (auto now = start; now < end; now = std::chrono::steady_clock::now()) {
            if (now >= nextEffect) {
                // Alternate sides and pitch: the mixer resamples the effect on the fly.
                const bool left = shots % 2 == 0;
                effect->Stop();
                effect->SetPan(left ? -60 : 60);
                effect->SetFrequency(shots % 3 == 2 ? 150 : 100);
                effect->Play();
                std::printf("sound: effect %d on the %s at %d%% speed\n", ++shots, left ? "left" : "right",
                            effect->GetFrequency());
                nextEffect += std::chrono::milliseconds(900);
            }
            if (now >= nextReport) {
                std::printf("sound: track at %u ms, status %d\n", track->GetPosition(), track->GetStatus());
                nextReport += std::chrono::seconds(1);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        track->Stop();
        std::printf("sound: stopped (track status %d)\n", track->GetStatus());
        track->Close();
    }

    DemoRelease(track);
    DemoRelease(effect);
    DemoRelease(trackFile);
    DemoRelease(effectFile);
    DemoRelease(ds);
    DemoRelease(stdRoot);
    return result;
}
