// Media streams: the choice of player by name and reader, and PCM streaming through the
// three-second buffer (seamless loops, positions, the end of a sound, pause, stop, seek).
#include "DSFixture.h"

#include "win_com.h"

#include <cstring>

namespace dstest {
namespace {

class DSMediaStreamTest : public DSTest {
protected:
    // Opens a 16-bit PCM WAVE of `samples`.
    VEL::IDSMediaStream* OpenPcm(const std::vector<int16_t>& samples, uint16_t channels, bool loop, uint32_t loopStart)
    {
        fixtures::WavLayout layout;
        layout.channels = channels;
        layout.data = fixtures::Pcm16Bytes(samples);
        VEL::IDSMediaStream* m = NewMedia();
        EXPECT_TRUE(m->Open(Wav(layout), "WAV", loop, loopStart, nullptr));
        streamedMs = 0; // RenderStreamed counts half boundaries from here
        return m;
    }

    static bool Silent(const std::vector<int16_t>& v, size_t from = 0)
    {
        return std::all_of(v.begin() + static_cast<ptrdiff_t>(from), v.end(), [](int16_t s) { return s == 0; });
    }
};

TEST_F(DSMediaStreamTest, BeforeOpenEverythingAnswersAsClosed)
{
    VEL::IDSMediaStream* m = NewMedia();
    m->Play();
    m->SetPosition(10);
    m->SetVolume(50);
    m->Stop();
    m->Close();
    EXPECT_EQ(m->GetStatus(), 4);
    EXPECT_EQ(m->GetLength(), 0u);
    EXPECT_EQ(m->GetPosition(), 0u);
    EXPECT_EQ(m->GetVolume(), 0);
    EXPECT_EQ(m->GetPan(), 0);
    EXPECT_EQ(m->GetFrequency(), 0);
    EXPECT_FALSE(m->IsLoop());
    EXPECT_EQ(m->GetLoopStart(), 0u);
}

TEST_F(DSMediaStreamTest, TheNameAndTheReaderChooseThePlayer)
{
    fixtures::WavLayout layout;
    layout.data = fixtures::Pcm16Bytes(fixtures::Ramp(4410, 2));
    const auto wav = fixtures::MakeWav(layout);

    // The media graph takes "mid", "midi" and "mp3" in any case, even for WAVE bytes; it needs
    // the component system on this thread, and this platform has no graph yet, so they fail.
    for (const char* name : {"MP3", "mid", "MiDi"}) {
        SCOPED_TRACE(name);
        VEL::IDSMediaStream* m = NewMedia();
        EXPECT_FALSE(m->Open(Stream(wav), name, false, 0, nullptr));
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_FALSE(m->Open(Stream(wav), name, false, 0, nullptr));
        CoUninitialize();
        EXPECT_EQ(m->GetStatus(), 4);
        EXPECT_EQ(m->GetLength(), 0u);
    }
    // Every other name is read as WAVE; so is any name once the host gives a reader.
    for (const char* name : {"wav", "WAVE", "ogg", "", "mp3x"}) {
        SCOPED_TRACE(name);
        VEL::IDSMediaStream* m = NewMedia();
        EXPECT_TRUE(m->Open(Stream(wav), name, false, 0, nullptr));
        EXPECT_EQ(m->GetLength(), 100u);
        EXPECT_FALSE(m->Open(Stream(wav), name, false, 0, nullptr)); // already open
        EXPECT_EQ(m->GetStatus(), 0);
        m->Close();
        EXPECT_EQ(m->GetStatus(), 4);
        EXPECT_FALSE(m->Open(Stream({'n', 'o', 'p', 'e'}), name, false, 0, nullptr));
    }
    {
        // A host reader on "mp3": PCM streaming through that reader.
        struct Reader final : VEL::ISoundReader {
            int32_t AddRef() override { return ++refs; }
            int32_t Release() override { return --refs; }
            int32_t GetRefCount() override { return refs; }
            bool Open(VEL::IDataStream*) override { return true; }
            bool Read(uint32_t count, void* d, uint32_t* r) override
            {
                std::memset(d, 0, count);
                *r = count;
                return true;
            }
            void Rewind() override {}
            void GetFormat(VEL::WaveFormat* f) override { *f = {1, 2, 44100, 176400, 4, 16, 0}; }
            uint32_t GetLength() override { return 60000; }
            uint32_t GetPosition() override { return 0; }
            void SetPosition(uint32_t) override {}
            void Close() override {}
            int32_t refs = 1;
        } host;
        VEL::IDSMediaStream* m = NewMedia();
        EXPECT_TRUE(m->Open(Stream({1}), "mp3", true, 0, &host));
        EXPECT_EQ(m->GetLength(), 60000u);
        m->Close();
        // A later Open with another player replaces the PCM one, which lets go of the reader.
        EXPECT_FALSE(m->Open(Stream(wav), "midi", false, 0, nullptr));
        EXPECT_EQ(host.refs, 1);
    }
}

TEST_F(DSMediaStreamTest, ALoopContinuesSeamlesslyFromItsStart)
{
    // Recognisable frames looping from a start point: the buffer wraps, halves are refilled and
    // the loop seam falls anywhere inside them; a short loop region repeats many times within
    // one refill.
    struct Case {
        uint32_t frames, loopStartMs, loopFrame, renderMs;
    };
    for (const Case c : {Case{88200, 500, 22050, 8000}, Case{26460, 100, 4410, 4000}, Case{4410, 99, 4365, 3500}}) {
        SCOPED_TRACE(testing::Message() << c.frames << " frames looping from " << c.loopStartMs << " ms");
        const auto source = fixtures::Ramp(c.frames, 2);
        VEL::IDSMediaStream* m = OpenPcm(source, 2, true, c.loopStartMs);
        EXPECT_TRUE(m->IsLoop());
        EXPECT_EQ(m->GetLoopStart(), c.loopStartMs);
        m->Play();
        const auto out = RenderStreamed(c.renderMs);
        ASSERT_EQ(out.size(), 2u * 441 * (c.renderMs / 10));
        size_t frame = 0;
        for (size_t k = 0; k < out.size() / 2; ++k) {
            ASSERT_EQ(out[2 * k], source[2 * frame]) << "output frame " << k;
            ASSERT_EQ(out[2 * k + 1], source[2 * frame + 1]) << "output frame " << k;
            if (++frame == c.frames)
                frame = c.loopFrame;
        }
        EXPECT_EQ(m->GetStatus(), 1);
        m->Close();
    }
}

TEST_F(DSMediaStreamTest, PositionsWrapIntoTheLoopRegion)
{
    // 4 s looping from 1000 ms: after 5000 ms of play the position is 5000 - (4000 - 1000).
    VEL::IDSMediaStream* m = OpenPcm(fixtures::Tone(176400, 1, 44100, 330, 5000), 1, true, 1000);
    EXPECT_EQ(m->GetLength(), 4000u);
    m->Play();
    RenderStreamed(2500);
    EXPECT_EQ(m->GetPosition(), 2500u);
    RenderStreamed(2500);
    EXPECT_EQ(SettledPosition(m, 2000), 2000u);
    RenderStreamed(4000);
    EXPECT_EQ(SettledPosition(m, 3000), 3000u); // 9000 - 2 * 3000
    EXPECT_EQ(m->GetStatus(), 1);
}

TEST_F(DSMediaStreamTest, ASoundWithoutLoopEndsAndWaitsForStopOrSeek)
{
    const auto source = fixtures::Ramp(44100, 2); // 1 s
    VEL::IDSMediaStream* m = OpenPcm(source, 2, false, 0);
    m->Play();
    auto out = RenderStreamed(1500);
    EXPECT_TRUE(std::equal(source.begin(), source.end(), out.begin()));
    EXPECT_TRUE(Silent(out, source.size()));
    EXPECT_EQ(m->GetStatus(), 3);
    EXPECT_EQ(m->GetPosition(), 1000u);

    m->Play(); // refused at the end
    m->SetPosition(1000); // at the length: ignored
    EXPECT_EQ(m->GetStatus(), 3);
    EXPECT_TRUE(Silent(RenderStreamed(200)));

    // A seek below the length plays again from there (it was never stopped).
    m->SetPosition(500);
    EXPECT_EQ(m->GetStatus(), 1);
    out = RenderStreamed(300);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), source.begin() + 2 * 22050));

    // Stop is done when it returns: a Play right after it starts from the beginning.
    m->Stop();
    EXPECT_EQ(m->GetStatus(), 0);
    EXPECT_EQ(m->GetPosition(), 0u);
    m->Play();
    out = RenderStreamed(200);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), source.begin()));
    m->Stop();
    m->Stop(); // stopped already: nothing
    EXPECT_EQ(m->GetStatus(), 0);
}

TEST_F(DSMediaStreamTest, PauseResumesWithoutAGap)
{
    const auto source = fixtures::Ramp(4 * 44100, 2);
    VEL::IDSMediaStream* m = OpenPcm(source, 2, false, 0);
    m->Play();
    auto out = RenderStreamed(1400);
    m->Pause();
    EXPECT_EQ(m->GetStatus(), 2);
    EXPECT_EQ(m->GetPosition(), 1400u);
    EXPECT_TRUE(Silent(RenderStreamed(300)));
    m->Play();
    const auto more = RenderStreamed(1800);
    out.insert(out.end(), more.begin(), more.end());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), source.begin()));
    EXPECT_EQ(SettledPosition(m, 3200), 3200u);
}

TEST_F(DSMediaStreamTest, EightBitSoundIsPaddedWithCentredSilence)
{
    fixtures::WavLayout layout;
    layout.channels = 1;
    layout.bits = 8;
    layout.data = std::vector<uint8_t>(13230, 0xC0); // 300 ms at +64 steps
    VEL::IDSMediaStream* m = NewMedia();
    ASSERT_TRUE(m->Open(Wav(layout), "wav", false, 0, nullptr));
    m->Play();
    const auto out = RenderStreamed(600);
    for (size_t f = 0; f < out.size() / 2; ++f)
        ASSERT_EQ(out[2 * f], f < 13230 ? 16384 : 0) << "frame " << f;
    EXPECT_EQ(m->GetStatus(), 3);
}

TEST_F(DSMediaStreamTest, ALoopStartAtTheLengthPlaysOnceAndReopeningWorks)
{
    const auto source = fixtures::Ramp(44100, 2);
    VEL::IDSMediaStream* m = OpenPcm(source, 2, true, 7000);
    EXPECT_TRUE(m->IsLoop());
    EXPECT_EQ(m->GetLoopStart(), 1000u); // clamped to the length
    m->Play();
    auto out = RenderStreamed(1300);
    EXPECT_TRUE(std::equal(source.begin(), source.end(), out.begin()));
    EXPECT_TRUE(Silent(out, source.size()));
    EXPECT_EQ(m->GetStatus(), 3);
    EXPECT_EQ(m->GetPosition(), 1000u);

    // Closed and opened again: a new streaming thread refills across the buffer's halves.
    m->Close();
    EXPECT_EQ(m->GetStatus(), 4);
    const auto longer = fixtures::Ramp(4 * 44100, 2);
    fixtures::WavLayout layout;
    layout.data = fixtures::Pcm16Bytes(longer);
    ASSERT_TRUE(m->Open(Wav(layout), "wav", false, 0, nullptr));
    m->Play();
    out = RenderStreamed(3500);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), longer.begin()));
}

TEST_F(DSMediaStreamTest, LevelsAndSeeking)
{
    const auto source = fixtures::Ramp(4 * 44100, 1);
    VEL::IDSMediaStream* m = OpenPcm(source, 1, false, 0);
    EXPECT_EQ(m->GetVolume(), 100);
    EXPECT_EQ(m->GetFrequency(), 100);
    m->SetVolume(50);
    m->SetPan(-100);
    m->SetFrequency(50);
    EXPECT_EQ(m->GetVolume(), 50);
    EXPECT_EQ(m->GetPan(), -100);
    EXPECT_EQ(m->GetFrequency(), 50);
    m->SetFrequency(100);
    m->SetPan(0);
    m->SetVolume(100);

    m->SetPosition(2000);
    EXPECT_EQ(m->GetPosition(), 2000u);
    m->Play();
    const auto out = RenderStreamed(1600);
    for (size_t f = 0; f < out.size() / 2; ++f)
        ASSERT_EQ(out[2 * f], source[88200 + f]) << "frame " << f;
    EXPECT_EQ(m->GetPosition(), 3600u);
    m->SetPosition(4000); // at the length: nothing
    EXPECT_EQ(m->GetPosition(), 3600u);
}

} // namespace
} // namespace dstest

namespace dstest {
namespace {

TEST_F(DSMediaStreamTest, EightBitMonoAtAnOddRateStreamsEveryByteOnce)
{
    // 11025 Hz 8-bit mono makes a three-second buffer of an odd size (33075 bytes). The mix reads
    // it at a quarter step, so every output frame is an exact interpolation of two source bytes
    // in the order they were streamed, across the halves and the buffer's wrap-arounds.
    fixtures::WavLayout layout;
    layout.channels = 1;
    layout.bits = 8;
    layout.rate = 11025;
    layout.data.resize(8 * 11025);
    for (size_t i = 0; i < layout.data.size(); ++i)
        layout.data[i] = static_cast<uint8_t>(i * 37 + i / 251);
    VEL::IDSMediaStream* m = NewMedia();
    ASSERT_TRUE(m->Open(Wav(layout), "wav", false, 0, nullptr));
    m->Play();
    const auto out = RenderStreamed(6500);
    auto value = [&](size_t i) { return (static_cast<float>(layout.data[i]) - 128.0f) * 256.0f; };
    for (size_t k = 0; k < out.size() / 2; ++k) {
        const size_t i = k / 4;
        const float f = static_cast<float>(k % 4) * 0.25f;
        const float a = value(i);
        ASSERT_EQ(out[2 * k], MixRound(a + (value(i + 1) - a) * f)) << "output frame " << k;
    }
    // Two passes of 3000 ms, then the cursor at byte 5512 of the third: 499.95 ms, truncated.
    EXPECT_EQ(SettledPosition(m, 6499), 6499u);
}

} // namespace
} // namespace dstest
