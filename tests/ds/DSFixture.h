// DSFixture.h - libVELDS6 loaded as a game loads it, its root bound on the manual sound output,
// WAVE data served by the standard library's memory streams, and the mix read back.
#pragma once

#include "EngineLibrary.h"
#include "WavWriter.h"
#include "platform_control.h"
#include "win_kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace dstest {

using veltest::Ref;

// A placeholder game window: the sound device only needs it to be set.
inline void* Window()
{
    static int window;
    return &window;
}

// The mixer's rounding of a float sample: saturate, then round half away from zero.
inline int16_t MixRound(float s)
{
    if (s > 32767.0f)
        s = 32767.0f;
    if (s < -32768.0f)
        s = -32768.0f;
    return static_cast<int16_t>(static_cast<int32_t>(s + (s >= 0.0f ? 0.5f : -0.5f)));
}

// The device's gain for an attenuation in hundredths of a decibel.
inline float Gain(int32_t hundredthsDb)
{
    if (hundredthsDb <= 0)
        return 1.0f;
    if (hundredthsDb >= 10000)
        return 0.0f;
    return static_cast<float>(std::pow(10.0, -hundredthsDb / 2000.0));
}

// Frames of a WAVE file's 16-bit data as a vector of samples.
inline std::vector<int16_t> Samples16(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> out(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return out;
}

class DSTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ds.Loaded()) << ds.Error();
        ASSERT_TRUE(stdLib.Loaded()) << stdLib.Error();
        ASSERT_EQ(platctl_dsound_use_output(PLATCTL_DSOUND_MANUAL), PLATCTL_DSOUND_MANUAL);
        handlesBefore = platctl_kernel_open_handles();
        stdRoot.reset(stdLib.CreateRoot<VEL::IVELStd>());
        root.reset(ds.CreateRoot<VEL::IVELDS>());
        ASSERT_TRUE(stdRoot && root);
        ASSERT_TRUE(root->Initialize(Window()));
        platctl_dsound_read(nullptr, platctl_dsound_available());
    }

    void TearDown() override
    {
        while (!objects.empty())
            objects.pop_back();
        streams.clear();
        if (root) {
            EXPECT_EQ(root.release()->Release(), 0);
        }
        stdRoot.reset();
        // Every sound buffer, device and kernel handle the test made is gone with its objects.
        EXPECT_EQ(platctl_dsound_live_objects(), 0u);
        EXPECT_EQ(platctl_kernel_open_handles(), handlesBefore);
    }

    VEL::IDSSoundBuffer* NewBuffer()
    {
        return Keep(static_cast<VEL::IDSSoundBuffer*>(root->CreateInterface(&VEL::IID_IDSSoundBuffer)));
    }
    VEL::IDSMediaStream* NewMedia()
    {
        return Keep(static_cast<VEL::IDSMediaStream*>(root->CreateInterface(&VEL::IID_IDSMediaStream)));
    }

    // A memory stream over `bytes` (kept alive by the fixture). The fixture holds one reference.
    VEL::IStdFileStream* Stream(std::vector<uint8_t> bytes)
    {
        streams.push_back(std::make_unique<std::vector<uint8_t>>(std::move(bytes)));
        auto* s = Keep(static_cast<VEL::IStdFileStream*>(stdRoot->CreateInterface(&VEL::IID_IStdFileStream)));
        // An empty block cannot be attached: the stream then stays closed and reads nothing.
        if (!streams.back()->empty()) {
            EXPECT_TRUE(s->OpenMemory(streams.back()->data(), static_cast<uint32_t>(streams.back()->size())));
        }
        return s;
    }
    VEL::IStdFileStream* Wav(const fixtures::WavLayout& layout) { return Stream(fixtures::MakeWav(layout)); }

    // A loaded sound buffer of 16-bit stereo 44.1 kHz samples.
    VEL::IDSSoundBuffer* Loaded(const std::vector<int16_t>& samples, uint16_t channels = 2, uint32_t rate = 44100)
    {
        fixtures::WavLayout layout;
        layout.channels = channels;
        layout.rate = rate;
        layout.data = fixtures::Pcm16Bytes(samples);
        VEL::IDSSoundBuffer* b = NewBuffer();
        EXPECT_TRUE(b->Load(Wav(layout), nullptr));
        return b;
    }

    // Mixes `frames` frames on the manual output and returns them (left, right interleaved).
    static std::vector<int16_t> Render(uint32_t frames)
    {
        EXPECT_EQ(platctl_dsound_render_frames(frames), frames);
        std::vector<int16_t> out(2 * static_cast<size_t>(frames));
        EXPECT_EQ(platctl_dsound_read(out.data(), frames), frames);
        return out;
    }

    // Mixes `ms` milliseconds of a streamed sound in small steps with real-time pauses, so that
    // the streaming thread refills each half well before the mixer comes back to it.
    std::vector<int16_t> RenderStreamed(uint32_t ms)
    {
        std::vector<int16_t> out;
        for (uint32_t done = 0; done < ms;) {
            const uint32_t step = std::min<uint32_t>(20, ms - done);
            platctl_dsound_render_ms(step);
            const uint32_t frames = platctl_dsound_available();
            const size_t at = out.size();
            out.resize(at + 2 * static_cast<size_t>(frames));
            platctl_dsound_read(out.data() + at, frames);
            done += step;
            streamedMs += step;
            // Give the thread time right after each half boundary, and a moment every step.
            Sleep(streamedMs % 1500 < step ? 15 : 1);
        }
        return out;
    }

    // The stream's position once its thread has counted the buffer passes already mixed (the
    // count is kept by the thread, which may lag the mixer): polls for `expected` for up to 2 s
    // and returns the last position read.
    static uint32_t SettledPosition(VEL::IDSMediaStream* m, uint32_t expected)
    {
        uint32_t position = m->GetPosition();
        for (int i = 0; i < 400 && position != expected; ++i) {
            Sleep(5);
            position = m->GetPosition();
        }
        return position;
    }

    template <class T>
    T* Keep(T* object)
    {
        if (object)
            objects.emplace_back(object);
        return object;
    }

    struct Releaser {
        VEL::IVELInterface* p;
        explicit Releaser(VEL::IVELInterface* object) : p(object) {}
        Releaser(Releaser&& other) noexcept : p(other.p) { other.p = nullptr; }
        ~Releaser()
        {
            if (p)
                p->Release();
        }
    };

    veltest::EngineLibrary ds{"VELDS6"};
    veltest::EngineLibrary stdLib{"VELStd6"};
    Ref<VEL::IVELStd> stdRoot;
    Ref<VEL::IVELDS> root;
    // Released in reverse order of creation, before the roots.
    std::deque<Releaser> objects;
    std::vector<std::unique_ptr<std::vector<uint8_t>>> streams;
    uint32_t handlesBefore = 0;
    uint32_t streamedMs = 0;
};

} // namespace dstest
