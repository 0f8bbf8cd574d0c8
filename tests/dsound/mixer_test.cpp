// mixer_test.cpp - what comes out of the mix: formats at unity, levels, rates, saturation, looping.
#include "sound_fixture.h"

#include <cmath>

using namespace soundtest;

namespace {

struct FormatCase {
    WORD channels;
    WORD bits;
};

// The mix of one source frame at unity volume and centre pan: the sample itself on the 16-bit
// scale, a mono sample on both sides.
void ExpectUnity(const std::vector<uint8_t>& source, const FormatCase& c, const std::vector<int16_t>& mix,
                 size_t frames)
{
    const size_t align = c.channels * c.bits / 8;
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t* frame = source.data() + i * align;
        const int32_t left = SourceValue(frame, c.bits, 0);
        const int32_t right = SourceValue(frame, c.bits, c.channels == 2 ? 1 : 0);
        ASSERT_EQ(mix[2 * i], left) << "frame " << i;
        ASSERT_EQ(mix[2 * i + 1], right) << "frame " << i;
    }
}

} // namespace

class MixerTest : public SoundTest {};

TEST_F(MixerTest, FullVolumeCentrePanAtTheMixRateComesOutUnchangedThenEnds)
{
    const FormatCase cases[] = {{1, 8}, {2, 8}, {1, 16}, {2, 16}};
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.bits << " bits");
        const DWORD frames = 1000;
        const DWORD size = frames * c.channels * c.bits / 8;
        const std::vector<uint8_t> source = Noise(size, 7 + c.channels * c.bits);
        Com<IDirectSoundBuffer8> buffer = Make(Pcm(c.channels, c.bits, 44100), size, source);
        ASSERT_TRUE(buffer);
        ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
        EXPECT_EQ(Status(buffer.get()), DSBSTATUS_PLAYING);
        // Split across renders so that slices and calls break the sound in odd places.
        std::vector<int16_t> mix = Render(333);
        const std::vector<int16_t> rest = Render(frames - 333 + 50);
        mix.insert(mix.end(), rest.begin(), rest.end());
        ExpectUnity(source, c, mix, frames);
        for (size_t i = 2 * frames; i < mix.size(); ++i)
            ASSERT_EQ(mix[i], 0) << "after the end, sample " << i;
        // A sound played once stops at its end with the cursor back at the start.
        EXPECT_EQ(Status(buffer.get()), 0u);
        EXPECT_EQ(PlayCursor(buffer.get()), 0u);
    }
}

TEST_F(MixerTest, EightBitSilenceIs0x80)
{
    // A new 8-bit buffer holds 0x80, and 0x80 mixes to nothing.
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 8, 44100), 400);
    void* p1 = nullptr;
    DWORD n1 = 0;
    ASSERT_EQ(buffer->Lock(0, 0, &p1, &n1, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    ASSERT_EQ(n1, 400u);
    const auto* bytes = static_cast<const uint8_t*>(p1);
    for (DWORD i = 0; i < n1; ++i)
        ASSERT_EQ(bytes[i], 0x80) << i;
    ASSERT_EQ(buffer->Unlock(p1, n1, nullptr, 0), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    for (int16_t s : Render(1000))
        ASSERT_EQ(s, 0);
}

TEST_F(MixerTest, VolumeAndPanFollowTheDecibelLaws)
{
    // Gains in double: volume attenuates both sides, pan the side away from it, in 1/100 dB.
    struct LevelCase {
        LONG volume;
        LONG pan;
    };
    const LevelCase cases[] = {{0, 0}, {-600, 0}, {-2000, 0}, {0, 600}, {0, -600}, {-1000, 2500},
                               {-300, -10000}, {0, 10000}, {DSBVOLUME_MIN, 0}, {-9999, 0}};
    const std::vector<uint8_t> source = Noise(2000 * 4, 99);
    for (const LevelCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
        Com<IDirectSoundBuffer8> buffer = Make(Pcm(2, 16, 44100), 2000 * 4, source);
        ASSERT_EQ(buffer->SetVolume(c.volume), DS_OK);
        ASSERT_EQ(buffer->SetPan(c.pan), DS_OK);
        LONG v = 1;
        LONG p = 1;
        ASSERT_EQ(buffer->GetVolume(&v), DS_OK);
        ASSERT_EQ(buffer->GetPan(&p), DS_OK);
        EXPECT_EQ(v, c.volume);
        EXPECT_EQ(p, c.pan);
        ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
        const std::vector<int16_t> mix = Render(2000);
        const auto gain = [](LONG attenuation) {
            return attenuation >= 10000 ? 0.0 : std::pow(10.0, -attenuation / 2000.0);
        };
        const double gl = gain(-c.volume + std::max<LONG>(c.pan, 0));
        const double gr = gain(-c.volume + std::max<LONG>(-c.pan, 0));
        for (size_t i = 0; i < 2000; ++i) {
            const double l = SourceValue(&source[4 * i], 16, 0) * gl;
            const double r = SourceValue(&source[4 * i], 16, 1) * gr;
            // Single-precision gain and rounding: within one step of the exact value.
            ASSERT_NEAR(mix[2 * i], l, 1.0) << i;
            ASSERT_NEAR(mix[2 * i + 1], r, 1.0) << i;
            if (gl == 1.0) {
                ASSERT_EQ(mix[2 * i], SourceValue(&source[4 * i], 16, 0)) << i;
            }
            if (gl == 0.0) {
                ASSERT_EQ(mix[2 * i], 0) << i;
            }
            if (gr == 0.0) {
                ASSERT_EQ(mix[2 * i + 1], 0) << i;
            }
        }
    }
}

TEST_F(MixerTest, FrequencyStretchesAndSqueezesTheSoundWithLinearInterpolation)
{
    // Noise played once at several rates in every format: the output is the source read at
    // rate/44100 frames per output frame, interpolated linearly between neighbouring frames.
    struct RateCase {
        FormatCase format;
        DWORD rate;
    };
    const RateCase cases[] = {{{1, 16}, 22050}, {{1, 16}, 11025}, {{1, 16}, 32000}, {{1, 16}, 48000},
                              {{1, 16}, 88200}, {{1, 16}, 100},   {{2, 16}, 30000}, {{2, 16}, 61000},
                              {{1, 8}, 22050},  {{1, 8}, 50000},  {{2, 8}, 17000},  {{2, 8}, 44101}};
    const DWORD frames = 3000;
    for (const RateCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.format.channels << " channels, " << c.format.bits << " bits, rate "
                                        << c.rate);
        const size_t align = c.format.channels * c.format.bits / 8;
        const std::vector<uint8_t> noise = Noise(frames * align, c.rate);
        Com<IDirectSoundBuffer8> buffer = Make(Pcm(c.format.channels, c.format.bits, 44100),
                                               static_cast<DWORD>(frames * align), noise);
        ASSERT_EQ(buffer->SetFrequency(c.rate), DS_OK);
        DWORD got = 0;
        ASSERT_EQ(buffer->GetFrequency(&got), DS_OK);
        EXPECT_EQ(got, c.rate);
        ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
        // The sound lasts frames * 44100 / rate output frames (capped for the slowest rate).
        const double expectedLength = static_cast<double>(frames) * 44100.0 / c.rate;
        const bool whole = expectedLength + 20.0 < 200000.0;
        const uint32_t render = static_cast<uint32_t>(whole ? expectedLength + 20.0 : 200000.0);
        const std::vector<int16_t> mix = Render(render);
        // The cursor advances by rate / 44100 frames held to 32 fractional bits (truncated), so
        // long plays at odd rates drift by far less than a frame; the reference does the same.
        const uint64_t step = (static_cast<uint64_t>(c.rate) << 32) / 44100;
        size_t played = 0;
        for (size_t k = 0; k < render; ++k) {
            const uint64_t pos = k * step;
            const size_t i = static_cast<size_t>(pos >> 32);
            if (i >= frames)
                break;
            const double f = static_cast<double>(pos & 0xFFFFFFFFu) / 4294967296.0;
            const size_t j = i + 1 < frames ? i + 1 : i; // a sound played once holds its last frame
            for (int side = 0; side < 2; ++side) {
                const int channel = c.format.channels == 2 ? side : 0;
                const double a = SourceValue(&noise[align * i], c.format.bits, channel);
                const double b = SourceValue(&noise[align * j], c.format.bits, channel);
                ASSERT_NEAR(mix[2 * k + side], a + (b - a) * f, 1.0) << "output frame " << k << " side " << side;
            }
            played = k + 1;
        }
        if (whole) {
            EXPECT_NEAR(static_cast<double>(played), expectedLength, 1.0);
            for (size_t k = played; k < render; ++k)
                ASSERT_TRUE(mix[2 * k] == 0 && mix[2 * k + 1] == 0) << "after the end, frame " << k;
            EXPECT_EQ(Status(buffer.get()), 0u);
        }
    }
}

TEST_F(MixerTest, FrequencyZeroRestoresTheBuffersOwnRate)
{
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(2, 16, 22050), 4000);
    ASSERT_EQ(buffer->SetFrequency(30000), DS_OK);
    ASSERT_EQ(buffer->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
    DWORD got = 0;
    ASSERT_EQ(buffer->GetFrequency(&got), DS_OK);
    EXPECT_EQ(got, 22050u);
    // 1000 frames at 22050 Hz take 2000 output frames.
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    Render(1999);
    EXPECT_EQ(Status(buffer.get()), DSBSTATUS_PLAYING);
    Render(1);
    EXPECT_EQ(Status(buffer.get()), 0u);
}

TEST_F(MixerTest, ResamplingBeatsNearestSampleOnASine)
{
    // A 1 kHz sine recorded at 32000 Hz and played at its own rate: the mix must be close to the
    // ideal 1 kHz sine at 44100 Hz. Linear interpolation gets well past 45 dB here; repeating
    // the nearest sample stays near 30 dB.
    const DWORD rate = 32000;
    const DWORD frames = rate; // one second
    std::vector<int16_t> sine(frames);
    const double pi = std::acos(-1.0);
    for (DWORD i = 0; i < frames; ++i)
        sine[i] = static_cast<int16_t>(std::lround(16000.0 * std::sin(2.0 * pi * 1000.0 * i / rate)));
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 16, rate), frames * 2, Bytes16(sine));
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    const std::vector<int16_t> mix = Render(44100);
    double signal = 0;
    double noise = 0;
    for (size_t k = 0; k < 44100; ++k) {
        const double ideal = 16000.0 * std::sin(2.0 * pi * 1000.0 * k / 44100.0);
        signal += ideal * ideal;
        noise += (mix[2 * k] - ideal) * (mix[2 * k] - ideal);
    }
    const double snr = 10.0 * std::log10(signal / noise);
    EXPECT_GT(snr, 45.0);
}

TEST_F(MixerTest, ManyVoicesSaturateInsteadOfWrapping)
{
    const std::vector<int16_t> high(100, 20000);
    const std::vector<int16_t> low(100, -20000);
    std::vector<Com<IDirectSoundBuffer8>> voices;
    for (int i = 0; i < 8; ++i) {
        voices.push_back(Make(Pcm(1, 16, 44100), 200, Bytes16(high)));
        voices.push_back(Make(Pcm(1, 16, 44100), 200, Bytes16(low)));
        ASSERT_EQ(voices[voices.size() - 2]->SetPan(DSBPAN_LEFT), DS_OK);  // only the left side
        ASSERT_EQ(voices.back()->SetPan(DSBPAN_RIGHT), DS_OK);              // only the right side
    }
    for (auto& v : voices)
        ASSERT_EQ(v->Play(0, 0, 0), DS_OK);
    const std::vector<int16_t> mix = Render(100);
    for (size_t k = 0; k < 100; ++k) {
        ASSERT_EQ(mix[2 * k], 32767) << k;
        ASSERT_EQ(mix[2 * k + 1], -32768) << k;
    }
    // Two voices that stay in range add exactly.
    voices.clear();
    voices.push_back(Make(Pcm(1, 16, 44100), 200, Bytes16(std::vector<int16_t>(100, 12345))));
    voices.push_back(Make(Pcm(1, 16, 44100), 200, Bytes16(std::vector<int16_t>(100, -2345))));
    for (auto& v : voices)
        ASSERT_EQ(v->Play(0, 0, 0), DS_OK);
    const std::vector<int16_t> sum = Render(100);
    for (int16_t s : sum)
        ASSERT_EQ(s, 10000);
}

TEST_F(MixerTest, LoopingRepeatsSeamlesslyAndStopKeepsThePosition)
{
    const DWORD frames = 700;
    const std::vector<uint8_t> source = Noise(frames * 4, 11);
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(2, 16, 44100), frames * 4, source);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(Status(buffer.get()), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    std::vector<int16_t> mix = Render(1000);
    // Stop keeps the cursor; a pause renders silence; Play resumes on the next frame.
    ASSERT_EQ(buffer->Stop(), DS_OK);
    EXPECT_EQ(PlayCursor(buffer.get()), (1000 % frames) * 4);
    for (int16_t s : Render(300))
        ASSERT_EQ(s, 0);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    const std::vector<int16_t> more = Render(2 * frames + 123);
    mix.insert(mix.end(), more.begin(), more.end());
    for (size_t k = 0; k < mix.size() / 2; ++k) {
        const uint8_t* frame = &source[4 * (k % frames)];
        ASSERT_EQ(mix[2 * k], SourceValue(frame, 16, 0)) << k;
        ASSERT_EQ(mix[2 * k + 1], SourceValue(frame, 16, 1)) << k;
    }
    EXPECT_EQ(Status(buffer.get()), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
}

TEST_F(MixerTest, LoopingResampledWrapsThroughTheFirstFrame)
{
    // At half speed the output frame halfway between the last frame and the first is their mean.
    std::vector<int16_t> samples = {1000, 2000, 3000, 9000};
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 16, 44100), 8, Bytes16(samples));
    ASSERT_EQ(buffer->SetFrequency(22050), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    const std::vector<int16_t> mix = Render(16);
    const int16_t expected[] = {1000, 1500, 2000, 2500, 3000, 6000, 9000, 5000};
    for (size_t k = 0; k < 16; ++k)
        ASSERT_EQ(mix[2 * k], expected[k % 8]) << k;
}

TEST_F(MixerTest, SetCurrentPositionMovesThePlayCursor)
{
    const std::vector<uint8_t> source = Noise(400 * 2, 3);
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 16, 44100), 400 * 2, source);
    // Offsets inside a frame round down to its start.
    ASSERT_EQ(buffer->SetCurrentPosition(301), DS_OK);
    EXPECT_EQ(PlayCursor(buffer.get()), 300u);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    const std::vector<int16_t> mix = Render(60);
    for (size_t k = 0; k < 50; ++k)
        ASSERT_EQ(mix[2 * k], SourceValue(&source[300 + 2 * k], 16, 0)) << k;
    EXPECT_EQ(PlayCursor(buffer.get()), 300u + 2 * 60);
}

TEST_F(MixerTest, PrimaryVolumeScalesTheWholeMix)
{
    DSBUFFERDESC desc{};
    desc.dwSize = DSBUFFERDESC_SIZE32;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN;
    Com<IDirectSoundBuffer> primary;
    ASSERT_EQ(device_->CreateSoundBuffer(&desc, primary.Out(), nullptr), DS_OK);
    ASSERT_EQ(primary->SetVolume(DSBVOLUME_MIN), DS_OK);
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 16, 44100), 200, Bytes16(std::vector<int16_t>(100, 5000)));
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    for (int16_t s : Render(100))
        ASSERT_EQ(s, 0);
    ASSERT_EQ(primary->SetVolume(0), DS_OK);
}

TEST_F(MixerTest, RandomCallsOnOddBuffersStayInsideThem)
{
    // Tiny and odd-sized buffers in every format, driven by random calls at extreme rates: the
    // cursor always stays inside the buffer and the mixer reads only its bytes (the sanitizer
    // builds check the reads).
    uint32_t seed = 12345;
    const auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    const FormatCase formats[] = {{1, 8}, {2, 8}, {1, 16}, {2, 16}};
    for (int round = 0; round < 200; ++round) {
        const FormatCase& f = formats[next(4)];
        const DWORD align = f.channels * f.bits / 8;
        const DWORD size = std::max<DWORD>(DSBSIZE_MIN, align + next(next(2) ? 9 : 3000));
        Com<IDirectSoundBuffer8> buffer = Make(Pcm(f.channels, f.bits, 100 + next(200000 - 100)), size,
                                               Noise(size, round));
        for (int op = 0; op < 20; ++op) {
            switch (next(6)) {
            case 0:
                ASSERT_EQ(buffer->Play(0, 0, next(2) ? DSBPLAY_LOOPING : 0), DS_OK);
                break;
            case 1:
                ASSERT_EQ(buffer->Stop(), DS_OK);
                break;
            case 2:
                ASSERT_EQ(buffer->SetCurrentPosition(next(size)), DS_OK);
                break;
            case 3:
                ASSERT_EQ(buffer->SetFrequency(next(4) == 0 ? 0 : DSBFREQUENCY_MIN + next(DSBFREQUENCY_MAX - 99)), DS_OK);
                break;
            case 4:
                ASSERT_EQ(buffer->SetPan(static_cast<LONG>(next(20001)) - 10000), DS_OK);
                break;
            default:
                Render(1 + next(700));
                break;
            }
            EXPECT_LT(PlayCursor(buffer.get()), size);
            EXPECT_EQ(PlayCursor(buffer.get()) % align, 0u);
        }
    }
}
