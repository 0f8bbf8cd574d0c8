// sound_fixture.h - a sound device on the manual output, buffers with given bytes, and the mix
// read back frame by frame.
#pragma once

#include "dsound.h"
#include "platform_control.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace soundtest {

// A counted platform interface released when it leaves scope.
template <class T>
class Com {
public:
    Com() = default;
    explicit Com(T* p) : p_(p) {}
    ~Com() { Reset(); }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    Com(Com&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    void Reset()
    {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }
    T** Out()
    {
        Reset();
        return &p_;
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

inline WAVEFORMATEX Pcm(WORD channels, WORD bits, DWORD rate)
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// The flags the engine creates its secondary buffers with.
inline constexpr DWORD kEngineFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                                      DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS |
                                      DSBCAPS_GETCURRENTPOSITION2;

// Deterministic pseudo-random bytes.
inline std::vector<uint8_t> Noise(size_t bytes, uint32_t seed)
{
    std::vector<uint8_t> out(bytes);
    for (auto& b : out) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(seed >> 24);
    }
    return out;
}

// 16-bit samples as little-endian bytes.
inline std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples)
{
    std::vector<uint8_t> out(samples.size() * 2);
    std::memcpy(out.data(), samples.data(), out.size());
    return out;
}

// The value a source sample stands for on the 16-bit scale.
inline int32_t SourceValue(const uint8_t* frame, int bits, int channel)
{
    if (bits == 8)
        return (static_cast<int32_t>(frame[channel]) - 128) * 256;
    int16_t v;
    std::memcpy(&v, frame + 2 * channel, 2);
    return v;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(platctl_dsound_use_output(PLATCTL_DSOUND_MANUAL), PLATCTL_DSOUND_MANUAL);
        ASSERT_EQ(DirectSoundCreate8(nullptr, device_.Out(), nullptr), DS_OK);
        ASSERT_EQ(device_->SetCooperativeLevel(Window(), DSSCL_PRIORITY), DS_OK);
    }

    void TearDown() override
    {
        device_.Reset();
        // Every device and buffer a test made is gone once its references are.
        EXPECT_EQ(platctl_dsound_live_objects(), 0u);
    }

    static HWND Window()
    {
        static int window;
        return &window;
    }

    // A secondary buffer as IDirectSoundBuffer8, filled with `bytes` (the rest stays silent).
    Com<IDirectSoundBuffer8> Make(const WAVEFORMATEX& format, DWORD size, const std::vector<uint8_t>& bytes = {},
                                  DWORD flags = kEngineFlags)
    {
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = flags;
        desc.dwBufferBytes = size;
        WAVEFORMATEX f = format;
        desc.lpwfxFormat = &f;
        Com<IDirectSoundBuffer> plain;
        Com<IDirectSoundBuffer8> buffer;
        EXPECT_EQ(device_->CreateSoundBuffer(&desc, plain.Out(), nullptr), DS_OK);
        if (!plain)
            return buffer;
        EXPECT_EQ(plain->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(buffer.Out())), S_OK);
        if (!bytes.empty())
            Write(buffer.get(), 0, bytes);
        return buffer;
    }

    static void Write(IDirectSoundBuffer* buffer, DWORD offset, const std::vector<uint8_t>& bytes)
    {
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0;
        DWORD n2 = 0;
        ASSERT_EQ(buffer->Lock(offset, static_cast<DWORD>(bytes.size()), &p1, &n1, &p2, &n2, 0), DS_OK);
        ASSERT_EQ(n1 + n2, bytes.size());
        std::memcpy(p1, bytes.data(), n1);
        if (n2)
            std::memcpy(p2, bytes.data() + n1, n2);
        ASSERT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
    }

    // Renders `frames` frames on the manual output and returns them (interleaved left, right).
    static std::vector<int16_t> Render(uint32_t frames)
    {
        platctl_dsound_read(nullptr, platctl_dsound_available());
        EXPECT_EQ(platctl_dsound_render_frames(frames), frames);
        std::vector<int16_t> out(2 * static_cast<size_t>(frames));
        EXPECT_EQ(platctl_dsound_read(out.data(), frames), frames);
        return out;
    }

    static DWORD PlayCursor(IDirectSoundBuffer* buffer)
    {
        DWORD play = 0xDEAD;
        EXPECT_EQ(buffer->GetCurrentPosition(&play, nullptr), DS_OK);
        return play;
    }

    static DWORD Status(IDirectSoundBuffer* buffer)
    {
        DWORD status = 0xDEAD;
        EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
        return status;
    }

    Com<IDirectSound8> device_;
};

} // namespace soundtest
