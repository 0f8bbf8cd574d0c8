// Memory- and file-backed data streams.
#include "StdFixture.h"
#include "TempFile.h"
#include "platform_control.h"

#include <cstring>
#include <vector>

using namespace VEL;

namespace {

const uint8_t kTen[10] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};

class StreamTest : public StdTest {
protected:
    void SetUp() override
    {
        StdTest::SetUp();
        stream = Create<IStdFileStream>(IID_IStdFileStream);
        ASSERT_NE(stream, nullptr);
    }
    void TearDown() override
    {
        if (stream) {
            EXPECT_EQ(stream->Release(), 0);
        }
        StdTest::TearDown();
    }
    IStdFileStream* stream = nullptr;
};

// The same checks run on a memory stream and a file stream over the same bytes.
enum class Source { Memory, File };

class StreamBothSources : public StreamTest, public ::testing::WithParamInterface<Source> {
protected:
    void OpenTen()
    {
        if (GetParam() == Source::Memory) {
            ASSERT_TRUE(stream->OpenMemory(kTen, 10));
        } else {
            ASSERT_TRUE(stream->OpenFile(file.Path().c_str()));
        }
    }
    veltest::TempFile file{std::vector<uint8_t>(kTen, kTen + 10)};
};

} // namespace

TEST_F(StreamTest, FreshStreamIsEmptyAndReadsNothing)
{
    EXPECT_TRUE(stream->IsEOF());
    EXPECT_EQ(stream->GetSize(), 0u);
    EXPECT_EQ(stream->GetPosition(), 0u);
    uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(stream->Read(out, 1, 4), 0u);
    stream->Seek(2, 0);
    EXPECT_EQ(stream->GetPosition(), 0u);
    EXPECT_EQ(out[0], 9);
    stream->Close();
}

TEST_F(StreamTest, OpenMemoryRefusesBadArgumentsAndSecondOpen)
{
    EXPECT_FALSE(stream->OpenMemory(nullptr, 10));
    EXPECT_FALSE(stream->OpenMemory(kTen, 0));
    ASSERT_TRUE(stream->OpenMemory(kTen, 10));
    const uint8_t other[3] = {1, 2, 3};
    EXPECT_FALSE(stream->OpenMemory(other, 3));
    veltest::TempFile file(std::vector<uint8_t>{1, 2});
    EXPECT_FALSE(stream->OpenFile(file.Path().c_str()));
    EXPECT_EQ(stream->GetSize(), 10u);
    uint8_t first = 0;
    EXPECT_EQ(stream->Read(&first, 1, 1), 1u);
    EXPECT_EQ(first, '0');
}

TEST_P(StreamBothSources, ReadCountsWholeElementsAndDeliversThePartialOne)
{
    OpenTen();
    uint8_t out[12];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(stream->Read(out, 4, 3), 2u);
    EXPECT_EQ(std::memcmp(out, kTen, 10), 0);
    EXPECT_EQ(out[10], 0xEE);
    EXPECT_TRUE(stream->IsEOF());
    EXPECT_EQ(stream->Read(out, 1, 1), 0u);

    stream->Seek(8, 0);
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(stream->Read(out, 4, 1), 0u);
    EXPECT_EQ(out[0], '8');
    EXPECT_EQ(out[1], '9');
    EXPECT_EQ(out[2], 0xEE);
    EXPECT_EQ(stream->GetPosition(), 10u);

    stream->Seek(3, 0);
    EXPECT_EQ(stream->Read(out, 0, 5), 0u);
    EXPECT_EQ(stream->Read(out, 5, 0), 0u);
    EXPECT_EQ(stream->GetPosition(), 3u);
    EXPECT_EQ(stream->Read(out, 3, 2), 2u);
    EXPECT_EQ(std::memcmp(out, kTen + 3, 6), 0);
    EXPECT_EQ(stream->GetPosition(), 9u);
}

TEST_P(StreamBothSources, HugeElementSizesStopAtTheEnd)
{
    OpenTen();
    stream->Seek(4, 0);
    uint8_t out[16];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(stream->Read(out, 0xFFFFFFFFu, 0xFFFFFFFFu), 0u);
    EXPECT_EQ(std::memcmp(out, kTen + 4, 6), 0);
    EXPECT_EQ(out[6], 0xEE);
    EXPECT_TRUE(stream->IsEOF());
}

TEST_P(StreamBothSources, SeekClampsAndWraps)
{
    OpenTen();
    struct Case {
        uint32_t start;
        int32_t offset, origin;
        uint32_t expected;
    } cases[] = {
        {0, 3, 2, 7},   {0, 0, 2, 10},   {0, -1, 0, 10}, {5, -20, 1, 10}, {0, 20, 0, 10},
        {4, 0, 5, 4},   {4, 0, -1, 4},   {4, 3, 1, 7},   {4, -4, 1, 0},   {0, 10, 2, 0},
        {0, 11, 2, 10}, {2, 7, 0, 7},
    };
    for (const Case& c : cases) {
        stream->Seek(static_cast<int32_t>(c.start), 0);
        stream->Seek(c.offset, c.origin);
        EXPECT_EQ(stream->GetPosition(), c.expected) << c.start << " " << c.offset << " " << c.origin;
        // The file pointer follows the position.
        if (c.expected < 10) {
            uint8_t b = 0;
            EXPECT_EQ(stream->Read(&b, 1, 1), 1u);
            EXPECT_EQ(b, kTen[c.expected]);
        }
    }
}

TEST_P(StreamBothSources, CloseResetsAndAllowsReopening)
{
    OpenTen();
    stream->Seek(4, 0);
    stream->Close();
    EXPECT_EQ(stream->GetSize(), 0u);
    EXPECT_EQ(stream->GetPosition(), 0u);
    EXPECT_TRUE(stream->IsEOF());
    stream->Close();
    OpenTen();
    EXPECT_EQ(stream->GetSize(), 10u);
    EXPECT_EQ(stream->GetPosition(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sources, StreamBothSources, ::testing::Values(Source::Memory, Source::File),
                         [](const auto& info) { return info.param == Source::Memory ? "Memory" : "File"; });

TEST_F(StreamTest, OpenFileFailsForMissingFilesAndDirectories)
{
    EXPECT_FALSE(stream->OpenFile("/nonexistent/definitely/missing.bmp"));
    EXPECT_FALSE(stream->OpenFile(""));
    EXPECT_FALSE(stream->OpenFile(nullptr));
    EXPECT_TRUE(stream->IsEOF());
    EXPECT_EQ(stream->GetSize(), 0u);
}

TEST_F(StreamTest, FileHandlesAreClosedByCloseAndByRelease)
{
    const uint32_t before = platctl_kernel_open_handles();
    veltest::TempFile file(std::vector<uint8_t>(100, 7));
    ASSERT_TRUE(stream->OpenFile(file.Path().c_str()));
    EXPECT_EQ(platctl_kernel_open_handles(), before + 1);
    stream->Close();
    EXPECT_EQ(platctl_kernel_open_handles(), before);

    ASSERT_TRUE(stream->OpenFile(file.Path().c_str()));
    EXPECT_EQ(stream->Release(), 0);
    stream = nullptr;
    EXPECT_EQ(platctl_kernel_open_handles(), before);
}
