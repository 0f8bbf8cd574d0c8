// The graphics loader: decoder choice, forwarding and the references it holds.
#include "BmpWriter.h"
#include "StdFixture.h"

#include <vector>

using namespace VEL;

namespace {

// A host-made decoder that accepts any stream whose first byte is 'X' and fills with a colour.
class HostDecoder : public IGraphicsPlugin {
public:
    int32_t AddRef() override { return ++refs; }
    int32_t Release() override { return --refs; } // lives on the test's stack
    int32_t GetRefCount() override { return refs; }
    int32_t GetWidth() override { return open ? 2 : 0; }
    int32_t GetHeight() override { return open ? 3 : 0; }
    int32_t GetBitCount() override { return open ? 99 : 0; }
    bool Open(IDataStream* stream) override
    {
        uint8_t first = 0;
        if (!stream || stream->Read(&first, 1, 1) != 1 || first != 'X')
            return false;
        open = true;
        return true;
    }
    void Decode(void* destination, int32_t pitch, uint32_t format) override
    {
        ++decodes;
        lastPitch = pitch;
        lastFormat = format;
        *static_cast<uint32_t*>(destination) = 0x12345678;
    }
    void Close() override
    {
        open = false;
        ++closes;
    }
    int32_t refs = 1;
    bool open = false;
    int decodes = 0, closes = 0;
    int32_t lastPitch = 0;
    uint32_t lastFormat = 0;
};

class LoaderTest : public StdTest {
protected:
    void SetUp() override
    {
        StdTest::SetUp();
        loader = Create<IStdGraphicsLoader>(IID_IStdGraphicsLoader);
        stream = Create<IStdFileStream>(IID_IStdFileStream);
        ASSERT_NE(loader, nullptr);
        ASSERT_NE(stream, nullptr);
    }
    void TearDown() override
    {
        if (loader) {
            EXPECT_EQ(loader->Release(), 0);
        }
        if (stream) {
            EXPECT_EQ(stream->Release(), 0);
        }
        StdTest::TearDown();
    }
    IStdGraphicsLoader* loader = nullptr;
    IStdFileStream* stream = nullptr;
};

} // namespace

TEST_F(LoaderTest, ClosedLoaderReportsZeroAndIgnoresDecode)
{
    uint32_t pixel = 0xDEADBEEF;
    EXPECT_EQ(loader->GetWidth(), 0);
    EXPECT_EQ(loader->GetHeight(), 0);
    EXPECT_EQ(loader->GetBitCount(), 0);
    loader->Decode(&pixel, 4, 0);
    loader->Close();
    EXPECT_EQ(pixel, 0xDEADBEEFu);
}

TEST_F(LoaderTest, BuiltInDecoderOpensBmpAndDecodes)
{
    fixtures::BmpSpec spec;
    spec.width = 3;
    spec.height = 2;
    spec.pixel = [](int32_t x, int32_t y) { return 0x00102030u + static_cast<uint32_t>(x + 16 * y); };
    const std::vector<uint8_t> file = fixtures::MakeBmp(spec);
    ASSERT_TRUE(stream->OpenMemory(file.data(), static_cast<uint32_t>(file.size())));
    ASSERT_TRUE(loader->Open(stream, nullptr));
    EXPECT_EQ(stream->GetRefCount(), 3) << "the loader and its decoder each hold the stream";
    EXPECT_EQ(loader->GetWidth(), 3);
    EXPECT_EQ(loader->GetHeight(), 2);
    EXPECT_EQ(loader->GetBitCount(), 24);
    EXPECT_FALSE(loader->Open(stream, nullptr)) << "already open";

    std::vector<uint32_t> pixels(6, 0);
    loader->Decode(pixels.data(), 3 * 4, PIXEL_FORMAT_A8R8G8B8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(pixels[y * 3 + x], 0xFF102030u + x + 16 * y) << x << "," << y;

    loader->Close();
    EXPECT_EQ(loader->GetWidth(), 0);
    EXPECT_EQ(stream->GetPosition(), 0u) << "the decoder rewinds the stream";
    EXPECT_EQ(stream->GetRefCount(), 2) << "the loader keeps the stream until the next Open";
}

TEST_F(LoaderTest, RejectedStreamKeepsReferencesUntilTheNextOpen)
{
    const uint8_t notBmp[20] = {'P', 'K'};
    ASSERT_TRUE(stream->OpenMemory(notBmp, sizeof notBmp));
    EXPECT_FALSE(loader->Open(stream, nullptr));
    EXPECT_EQ(loader->GetWidth(), 0);
    EXPECT_EQ(stream->GetRefCount(), 3);

    EXPECT_FALSE(loader->Open(nullptr, nullptr));
    EXPECT_EQ(stream->GetRefCount(), 1) << "the next Open released the first stream";
}

TEST_F(LoaderTest, PluginIsReferencedWhileOpenAndForwardedTo)
{
    HostDecoder plugin;
    const uint8_t bytes[4] = {'X', 1, 2, 3};
    ASSERT_TRUE(stream->OpenMemory(bytes, 4));
    ASSERT_TRUE(loader->Open(stream, &plugin));
    EXPECT_EQ(plugin.refs, 2);
    EXPECT_EQ(loader->GetWidth(), 2);
    EXPECT_EQ(loader->GetHeight(), 3);
    EXPECT_EQ(loader->GetBitCount(), 99);
    uint32_t out = 0;
    loader->Decode(&out, -8, 7); // forwarded unchecked; the decoder decides
    EXPECT_EQ(out, 0x12345678u);
    EXPECT_EQ(plugin.lastPitch, -8);
    EXPECT_EQ(plugin.lastFormat, 7u);
    loader->Close();
    EXPECT_EQ(plugin.closes, 1);
    EXPECT_EQ(plugin.refs, 1);

    // A plug-in that rejects the stream stays referenced until the loader lets it go.
    stream->Seek(1, 0);
    EXPECT_FALSE(loader->Open(stream, &plugin));
    EXPECT_EQ(plugin.refs, 2);
    EXPECT_EQ(loader->Release(), 0);
    loader = nullptr;
    EXPECT_EQ(plugin.refs, 1);
}
