// Sound buffers: loading, one-shot playback, levels and resampling, checked sample for sample
// against the mixer's rules (linear interpolation, gains in single precision, saturation).
#include "DSFixture.h"

#include <cstring>

namespace dstest {
namespace {

// A host decoder: 8-bit mono at 44.1 kHz whose Read delivers only part of what is asked.
class ShortReader final : public VEL::ISoundReader {
public:
    int32_t AddRef() override { return ++refs; }
    int32_t Release() override { return --refs; } // lives on the test's stack
    int32_t GetRefCount() override { return refs; }
    bool Open(VEL::IDataStream*) override
    {
        ++opens;
        return true;
    }
    bool Read(uint32_t count, void* destination, uint32_t* received) override
    {
        const uint32_t n = count / 2;
        std::memset(destination, 0xC0, n);
        if (received)
            *received = n;
        return true;
    }
    void Rewind() override {}
    void GetFormat(VEL::WaveFormat* f) override { *f = {1, 1, 44100, 44100, 1, 8, 0}; }
    uint32_t GetLength() override { return length; }
    uint32_t GetPosition() override { return 0; }
    void SetPosition(uint32_t) override {}
    void Close() override { ++closes; }

    int32_t refs = 1;
    int opens = 0;
    int closes = 0;
    uint32_t length = 500;
};

class DSSoundBufferTest : public DSTest {};

TEST_F(DSSoundBufferTest, FullLevelPlaysTheSourceUnchangedThenEnds)
{
    const auto source = fixtures::Ramp(22050, 2); // 500 ms
    VEL::IDSSoundBuffer* b = Loaded(source);
    EXPECT_EQ(b->GetLength(), 500u);
    EXPECT_EQ(b->GetStatus(), 0);
    EXPECT_EQ(b->GetVolume(), 100);
    EXPECT_EQ(b->GetPan(), 0);
    EXPECT_EQ(b->GetFrequency(), 100);

    b->Play();
    EXPECT_EQ(b->GetStatus(), 1);
    // The end event fires exactly when the last frame has been mixed.
    auto out = Render(22049);
    EXPECT_EQ(b->GetStatus(), 1);
    const auto rest = Render(1 + 500);
    out.insert(out.end(), rest.begin(), rest.end());
    for (size_t i = 0; i < source.size(); ++i)
        ASSERT_EQ(out[i], source[i]) << "sample " << i;
    for (size_t i = source.size(); i < out.size(); ++i)
        ASSERT_EQ(out[i], 0) << "after the end, sample " << i;
    // The end event is signalled; Stop and Pause leave it, Play clears it and starts over.
    EXPECT_EQ(b->GetStatus(), 3);
    b->Stop();
    b->Pause();
    EXPECT_EQ(b->GetStatus(), 3);
    b->Play();
    EXPECT_EQ(b->GetStatus(), 1);
    const auto again = Render(100);
    EXPECT_TRUE(std::equal(again.begin(), again.end(), source.begin()));
}

TEST_F(DSSoundBufferTest, PauseAndPlayResumeWithoutAGap)
{
    const auto source = fixtures::Ramp(22050, 2);
    VEL::IDSSoundBuffer* b = Loaded(source);
    b->Play();
    auto out = Render(1234);
    b->Pause();
    EXPECT_EQ(b->GetStatus(), 0);
    const auto paused = Render(700);
    EXPECT_TRUE(std::all_of(paused.begin(), paused.end(), [](int16_t s) { return s == 0; }));
    b->Play();
    EXPECT_EQ(b->GetStatus(), 1);
    const auto resumed = Render(3000);
    out.insert(out.end(), resumed.begin(), resumed.end());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), source.begin()));

    // Stop goes back to the start.
    b->Stop();
    EXPECT_EQ(b->GetStatus(), 0);
    b->Play();
    const auto restarted = Render(50);
    EXPECT_TRUE(std::equal(restarted.begin(), restarted.end(), source.begin()));
}

// Each row: what the host sets, the device levels the mapping must produce (pinned values of the
// quadratic law), and what the getters read back.
struct LevelCase {
    int32_t volume, pan;
    int32_t deviceVolume, devicePan;
    int32_t volumeBack, panBack;
};
constexpr LevelCase kLevels[] = {
    {100, 0, 0, 0, 100, 0},          {50, 0, -2499, 0, 50, 0},       {10, 0, -8099, 0, 10, 0},
    {90, 10, -100, 100, 90, 10},     {99, 0, -1, 0, 99, 0},          {100, -50, 0, -2499, 100, -49},
    {100, -10, 0, -100, 100, -10},   {150, 100, 0, 10000, 100, 100}, {-5, 0, -10000, 0, 0, 0},
    {100, -100, 0, -10000, 100, -100}, {7, 0, -8649, 0, 6, 0},       {100, 250, 0, 10000, 100, 100},
};

TEST_F(DSSoundBufferTest, VolumeAndPanScaleEachChannelByTheQuadraticLaw)
{
    const auto source = fixtures::Ramp(22050, 1);
    for (const LevelCase& c : kLevels) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
        VEL::IDSSoundBuffer* b = Loaded(source, 1);
        b->SetVolume(c.volume);
        b->SetPan(c.pan);
        EXPECT_EQ(b->GetVolume(), c.volumeBack);
        EXPECT_EQ(b->GetPan(), c.panBack);
        b->Play();
        const auto out = Render(2000);
        const float left = Gain(-c.deviceVolume + std::max(c.devicePan, 0));
        const float right = Gain(-c.deviceVolume + std::max(-c.devicePan, 0));
        for (size_t f = 0; f < 2000; ++f) {
            ASSERT_EQ(out[2 * f], MixRound(static_cast<float>(source[f]) * left)) << "frame " << f;
            ASSERT_EQ(out[2 * f + 1], MixRound(static_cast<float>(source[f]) * right)) << "frame " << f;
        }
        b->Stop();
    }
}

TEST_F(DSSoundBufferTest, FrequencyStretchesWithLinearInterpolation)
{
    const auto source = fixtures::Ramp(22050, 1);
    struct Case {
        int32_t percent;
        uint32_t rate;
        int32_t back;
    };
    for (const Case c : {Case{50, 22050, 50}, Case{200, 88200, 200}, Case{73, 32193, 73}, Case{0, 44100, 100}}) {
        SCOPED_TRACE(c.percent);
        VEL::IDSSoundBuffer* b = Loaded(source, 1);
        b->SetFrequency(c.percent);
        EXPECT_EQ(b->GetFrequency(), c.back);
        b->Play();
        const uint32_t frames = 4000;
        const auto out = Render(frames);
        // The mixer's 32.32 fixed-point walk through the source.
        const uint64_t step = (static_cast<uint64_t>(c.rate) << 32) / 44100;
        uint64_t p = 0;
        for (uint32_t k = 0; k < frames; ++k, p += step) {
            const size_t i = static_cast<size_t>(p >> 32);
            const float f = static_cast<float>(static_cast<uint32_t>(p)) * (1.0f / 4294967296.0f);
            const float a = source[i];
            const float expected = a + (static_cast<float>(source[i + 1]) - a) * f;
            ASSERT_EQ(out[2 * k], MixRound(expected)) << "frame " << k;
            ASSERT_EQ(out[2 * k + 1], MixRound(expected)) << "frame " << k;
        }
        b->Stop();
    }
}

TEST_F(DSSoundBufferTest, ShortReadsLeaveSilenceAndEightBitSilenceIsCentred)
{
    ShortReader reader;
    VEL::IDSSoundBuffer* b = NewBuffer();
    ASSERT_TRUE(b->Load(Stream({1, 2, 3}), &reader));
    EXPECT_EQ(reader.opens, 1);
    EXPECT_EQ(reader.closes, 1);
    EXPECT_EQ(reader.refs, 1); // the reader is not kept
    b->Play();
    const auto out = Render(22050);
    // 22050 bytes asked, 11025 delivered (0xC0 = +64 steps), the rest 0x80 = silence.
    for (size_t f = 0; f < 22050; ++f)
        ASSERT_EQ(out[2 * f], f < 11025 ? 16384 : 0) << "frame " << f;

    // A reader with a length of 0 fails the load and leaves the object empty.
    ShortReader empty;
    empty.length = 0;
    VEL::IDSSoundBuffer* e = NewBuffer();
    EXPECT_FALSE(e->Load(Stream({1}), &empty));
    EXPECT_EQ(empty.closes, 1);
    EXPECT_EQ(e->GetStatus(), 4);

    // Loading through an unbound root never opens the reader.
    Ref<VEL::IVELDS> unbound(ds.CreateRoot<VEL::IVELDS>());
    Ref<VEL::IDSSoundBuffer> u(static_cast<VEL::IDSSoundBuffer*>(unbound->CreateInterface(&VEL::IID_IDSSoundBuffer)));
    ShortReader unused;
    EXPECT_FALSE(u->Load(Stream({1}), &unused));
    EXPECT_EQ(unused.opens, 0);
    EXPECT_EQ(unused.refs, 1);
}

TEST_F(DSSoundBufferTest, ManyVoicesMixWithSaturation)
{
    // Two voices sum exactly; eight loud ones clip at the 16-bit limits instead of wrapping.
    const std::vector<int16_t> up(2 * 4410, 12000);
    const std::vector<int16_t> down(2 * 4410, -12000);
    VEL::IDSSoundBuffer* a = Loaded(up);
    VEL::IDSSoundBuffer* c = Loaded(down);
    a->Play();
    Loaded(std::vector<int16_t>(2 * 4410, 3000))->Play();
    auto out = Render(100);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 15000; }));
    a->Stop();
    for (int i = 0; i < 7; ++i)
        Loaded(up)->Play();
    out = Render(100);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 32767; }));
    Render(4410); // everything playing ends
    for (int i = 0; i < 8; ++i)
        Loaded(down)->Play();
    c->Play();
    out = Render(100);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == -32768; }));
}

TEST_F(DSSoundBufferTest, ReloadAndUnload)
{
    VEL::IDSSoundBuffer* b = Loaded(fixtures::Ramp(22050, 2));
    b->Play();
    Render(23000);
    EXPECT_EQ(b->GetStatus(), 3);
    // A new load replaces the sound; it has not played to its end yet.
    fixtures::WavLayout layout;
    layout.channels = 1;
    layout.data = fixtures::Pcm16Bytes(fixtures::Ramp(44100, 1));
    ASSERT_TRUE(b->Load(Wav(layout), nullptr));
    EXPECT_EQ(b->GetLength(), 1000u);
    EXPECT_EQ(b->GetStatus(), 0);
    b->Unload();
    EXPECT_EQ(b->GetStatus(), 4);
    EXPECT_EQ(b->GetLength(), 1000u);
    EXPECT_EQ(b->GetVolume(), 0);
    b->Play();
    const auto out = Render(100);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 0; }));
}

} // namespace
} // namespace dstest
