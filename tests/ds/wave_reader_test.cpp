// The built-in WAVE reader, through the objects that use it: what opens, how long it is, which
// bytes play, and hostile headers that must fail cleanly.
#include "DSFixture.h"

#include <functional>

namespace dstest {
namespace {

class DSWaveReaderTest : public DSTest {
protected:
    // Loads into a sound buffer and opens a media stream on the same bytes; both must agree.
    bool Opens(const std::vector<uint8_t>& bytes, uint32_t* length = nullptr)
    {
        VEL::IDSSoundBuffer* b = NewBuffer();
        VEL::IDSMediaStream* m = NewMedia();
        const bool loaded = b->Load(Stream(bytes), nullptr);
        const bool opened = m->Open(Stream(bytes), "wav", false, 0, nullptr);
        EXPECT_EQ(loaded, opened);
        if (length)
            *length = b->GetLength();
        if (opened) {
            EXPECT_EQ(m->GetLength(), b->GetLength());
            m->Close();
        }
        return loaded;
    }
};

std::vector<uint8_t> Valid(std::function<void(fixtures::WavLayout&)> change)
{
    fixtures::WavLayout layout;
    layout.data = fixtures::Pcm16Bytes(fixtures::Ramp(4410, 2));
    change(layout);
    return fixtures::MakeWav(layout);
}

TEST_F(DSWaveReaderTest, HostileHeadersFailToOpen)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    auto notRiff = Valid([](auto&) {});
    notRiff[0] = 'X';
    auto notWave = Valid([](auto&) {});
    notWave[10] = 'X';
    const auto whole = Valid([](auto&) {});
    const std::vector<Case> cases = {
        {"not RIFF", notRiff},
        {"no WAVE at 8", notWave},
        {"float samples", Valid([](auto& s) { s.formatTag = 3; })},
        {"extensible", Valid([](auto& s) { s.formatTag = 0xFFFE; })},
        {"zero channels", Valid([](auto& s) { s.channels = 0; })},
        {"zero bits", Valid([](auto& s) { s.bits = 0; })},
        {"4-bit mono: no whole byte per frame", Valid([](auto& s) { s.channels = 1; s.bits = 4; })},
        {"zero rate", Valid([](auto& s) { s.rate = 0; })},
        {"byte rate beyond 32 bits", Valid([](auto& s) { s.rate = 0xFFFFFFFFu; s.channels = 0xFFFF; s.bits = 32; })},
        {"absurd rate", Valid([](auto& s) { s.rate = 0xFFFFFFFFu; })},
        {"24-bit samples", Valid([](auto& s) { s.bits = 24; })},
        {"eight channels", Valid([](auto& s) { s.channels = 8; })},
        {"data chunk of size 0", Valid([](auto& s) { s.data.clear(); })},
        {"data chunk beyond the stream", Valid([](auto& s) { s.overrideDataSize = true; s.dataSize = 0xFFFFFFF0u; s.data.clear(); })},
        {"no data chunk", std::vector<uint8_t>(whole.begin(), whole.begin() + 36)},
        {"cut inside fmt", std::vector<uint8_t>(whole.begin(), whole.begin() + 26)},
        {"header only", std::vector<uint8_t>(whole.begin(), whole.begin() + 12)},
        {"empty", {}},
        {"four bytes", {'R', 'I', 'F', 'F'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(Opens(c.bytes));
    }
}

TEST_F(DSWaveReaderTest, HeaderFieldsAreRecomputedAndTheDataIsPlayedAsIs)
{
    // A 16-bit stereo file claiming block alignment 2 and a wrong byte rate: frames of 4 bytes.
    const auto source = fixtures::Ramp(22050, 2);
    fixtures::WavLayout layout;
    layout.blockAlign = 2;
    layout.byteRate = 12345;
    layout.fmtExtraBytes = 2;
    layout.chunksBeforeData = {{"LIST", {'I', 'N', 'F', 'O', 'x'}}};
    layout.data = fixtures::Pcm16Bytes(source);
    uint32_t length = 0;
    ASSERT_TRUE(Opens(fixtures::MakeWav(layout), &length));
    EXPECT_EQ(length, 500u);
    VEL::IDSSoundBuffer* b = NewBuffer();
    ASSERT_TRUE(b->Load(Wav(layout), nullptr));
    b->Play();
    const auto out = Render(22050);
    EXPECT_TRUE(std::equal(source.begin(), source.end(), out.begin()));
}

TEST_F(DSWaveReaderTest, TheFirstDataIdAnywhereIsTheDataChunk)
{
    // "data" inside an earlier chunk: its next four bytes are taken as the size (8 bytes here)
    // and the bytes after them as samples.
    const std::vector<uint8_t> inner = {'d', 'a', 't', 'a', 8, 0, 0, 0, 0x10, 0x00, 0x20, 0x00, 0x30, 0x00, 0x40, 0x00};
    fixtures::WavLayout layout;
    layout.channels = 1;
    layout.rate = 4000; // 8 bytes = 4 frames = 1 ms
    layout.chunksBeforeData = {{"junk", inner}};
    layout.data = fixtures::Pcm16Bytes(std::vector<int16_t>(4000, 1000));
    uint32_t length = 0;
    ASSERT_TRUE(Opens(fixtures::MakeWav(layout), &length));
    EXPECT_EQ(length, 1u);
}

TEST_F(DSWaveReaderTest, ADataChunkLongerThanTheStreamPlaysWhatIsThere)
{
    const auto source = fixtures::Ramp(22050, 2); // 500 ms present
    fixtures::WavLayout layout;
    layout.data = fixtures::Pcm16Bytes(source);
    layout.overrideDataSize = true;
    layout.dataSize = 10 * 176400; // claims 10 s
    uint32_t length = 0;
    ASSERT_TRUE(Opens(fixtures::MakeWav(layout), &length));
    EXPECT_EQ(length, 500u);

    VEL::IDSMediaStream* m = NewMedia();
    ASSERT_TRUE(m->Open(Wav(layout), "wave", false, 0, nullptr));
    m->Play();
    const auto out = RenderStreamed(700);
    EXPECT_TRUE(std::equal(source.begin(), source.end(), out.begin()));
    EXPECT_TRUE(std::all_of(out.begin() + source.size(), out.end(), [](int16_t s) { return s == 0; }));
    EXPECT_EQ(m->GetStatus(), 3);
    EXPECT_EQ(m->GetPosition(), 500u);
}

} // namespace
} // namespace dstest
