// Files: opening, reading, writing, seeking and sizes, and the errors of each.

#include "kernel_test_util.h"
#include "TempFile.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace kerneltest;

namespace {

class FileTest : public KernelTest {
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        char pattern[] = "/tmp/velkernel-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        const std::string command = "rm -rf '" + dir_ + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        KernelTest::TearDown();
    }
    std::string dir_;
};

std::vector<uint8_t> Pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    return bytes;
}

Handle OpenRead(const std::string& path)
{
    return Handle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
}

Handle OpenWrite(const std::string& path, DWORD disposition, DWORD access = GENERIC_WRITE)
{
    return Handle(CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::vector<uint8_t> ReadAll(HANDLE file)
{
    std::vector<uint8_t> all;
    uint8_t chunk[97];
    DWORD n = 0;
    while (ReadFile(file, chunk, sizeof chunk, &n, nullptr) && n > 0)
        all.insert(all.end(), chunk, chunk + n);
    return all;
}

TEST_F(FileTest, ReadsWholeFileInChunksThenEndOfFile)
{
    const auto bytes = Pattern(1000);
    veltest::TempFile temp(bytes);
    Handle file = OpenRead(temp.Path());
    ASSERT_TRUE(file);
    DWORD high = 9;
    EXPECT_EQ(GetFileSize(file.get(), &high), 1000u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(ReadAll(file.get()), bytes);

    uint8_t byte;
    DWORD n = 5;
    EXPECT_TRUE(ReadFile(file.get(), &byte, 1, &n, nullptr)); // at the end: success, nothing read
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(ReadFile(file.get(), nullptr, 0, &n, nullptr));
    EXPECT_EQ(WaitForSingleObject(file.get(), 0), WAIT_OBJECT_0); // synchronous files are always ready
}

TEST_F(FileTest, SeekTable)
{
    const auto bytes = Pattern(300);
    veltest::TempFile temp(bytes);
    Handle file = OpenRead(temp.Path());
    ASSERT_TRUE(file);
    struct Step {
        LONG distance;
        DWORD method;
        DWORD expected;     // new position, or INVALID_SET_FILE_POINTER
        DWORD error;        // last error after the call
    };
    const Step steps[] = {
        {10, FILE_BEGIN, 10, ERROR_SUCCESS},
        {5, FILE_CURRENT, 15, ERROR_SUCCESS},
        {-3, FILE_CURRENT, 12, ERROR_SUCCESS},
        {-1, FILE_END, 299, ERROR_SUCCESS},
        {0, FILE_END, 300, ERROR_SUCCESS},
        {50, FILE_END, 350, ERROR_SUCCESS}, // past the end is allowed
        {-351, FILE_CURRENT, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK},
        {-1, FILE_BEGIN, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK},
        {0, 3, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER},
        {100, FILE_BEGIN, 100, ERROR_SUCCESS},
    };
    DWORD position = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << "distance=" << s.distance << " method=" << s.method);
        SetLastError(12345);
        EXPECT_EQ(SetFilePointer(file.get(), s.distance, nullptr, s.method), s.expected);
        EXPECT_EQ(GetLastError(), s.error);
        if (s.expected != INVALID_SET_FILE_POINTER)
            position = s.expected;
        // The position is what the last successful seek left (a refused seek moves nothing).
        EXPECT_EQ(SetFilePointer(file.get(), 0, nullptr, FILE_CURRENT), position);
        uint8_t byte = 0;
        DWORD n = 0;
        ASSERT_TRUE(ReadFile(file.get(), &byte, 1, &n, nullptr));
        if (position < bytes.size()) {
            EXPECT_EQ(n, 1u);
            EXPECT_EQ(byte, bytes[position]);
        } else {
            EXPECT_EQ(n, 0u);
        }
        SetFilePointer(file.get(), static_cast<LONG>(position), nullptr, FILE_BEGIN);
    }
}

TEST_F(FileTest, SixtyFourBitPositionsAndSizes)
{
    const std::string path = dir_ + "/sparse.bin";
    const uint64_t size = (uint64_t{1} << 32) + 1000; // sparse: takes no space
    {
        Handle file = OpenWrite(path, CREATE_NEW);
        ASSERT_TRUE(file);
    }
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
    Handle file = OpenRead(path);
    ASSERT_TRUE(file);

    DWORD high = 0;
    EXPECT_EQ(GetFileSize(file.get(), &high), 1000u);
    EXPECT_EQ(high, 1u);
    EXPECT_EQ(GetFileSize(file.get(), nullptr), 1000u); // low part only, as documented

    // With a high part the low part is unsigned: 0:0x80000000 is 2 GiB, not a negative distance.
    LONG distanceHigh = 0;
    EXPECT_EQ(SetFilePointer(file.get(), static_cast<LONG>(0x80000000u), &distanceHigh, FILE_BEGIN), 0x80000000u);
    EXPECT_EQ(distanceHigh, 0);
    distanceHigh = 1;
    EXPECT_EQ(SetFilePointer(file.get(), 10, &distanceHigh, FILE_BEGIN), 10u);
    EXPECT_EQ(distanceHigh, 1);
    distanceHigh = -1; // -1:0xFFFFFFF0 = -16, relative
    EXPECT_EQ(SetFilePointer(file.get(), static_cast<LONG>(0xFFFFFFF0u), &distanceHigh, FILE_CURRENT), 0xFFFFFFFAu);
    EXPECT_EQ(distanceHigh, 0);
    // Without a high part, a result beyond 32 bits is refused and the position kept.
    SetLastError(0);
    EXPECT_EQ(SetFilePointer(file.get(), 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    distanceHigh = 0;
    EXPECT_EQ(SetFilePointer(file.get(), 0, &distanceHigh, FILE_CURRENT), 0xFFFFFFFAu);
    EXPECT_EQ(distanceHigh, 0);
}

TEST_F(FileTest, OpenFailures)
{
    veltest::TempFile temp(Pattern(4));
    ASSERT_EQ(mkdir((dir_ + "/folder").c_str(), 0755), 0);
    const std::string fileAsFolder = temp.Path() + "/child";
    struct Case {
        const char* name;
        std::string path;
        DWORD access, disposition;
        DWORD error;
    };
    const Case cases[] = {
        {"missing file", dir_ + "/missing.bin", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"missing folder", dir_ + "/nowhere/missing.bin", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"create in missing folder", dir_ + "/nowhere/new.bin", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {"file used as folder", fileAsFolder, GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"empty path", "", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"folder", dir_ + "/folder", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"folder for writing", dir_ + "/folder", GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"existing with CREATE_NEW", temp.Path(), GENERIC_WRITE, CREATE_NEW, ERROR_FILE_EXISTS},
        {"missing with TRUNCATE_EXISTING", dir_ + "/missing.bin", GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_FILE_NOT_FOUND},
        {"bad disposition", temp.Path(), GENERIC_READ, 0, ERROR_INVALID_PARAMETER},
        {"bad disposition 6", temp.Path(), GENERIC_READ, 6, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        HANDLE h = CreateFileA(c.path.c_str(), c.access, 0, nullptr, c.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    SetLastError(0);
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    struct stat info;
    EXPECT_NE(stat((dir_ + "/missing.bin").c_str(), &info), 0) << "a failed open created a file";
}

TEST_F(FileTest, CreateDispositions)
{
    const std::string path = dir_ + "/out.bin";
    const auto first = Pattern(500);
    const std::vector<uint8_t> second = {1, 2, 3};
    DWORD n = 0;

    Handle file = OpenWrite(path, CREATE_ALWAYS);
    ASSERT_TRUE(file);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "new file";
    EXPECT_TRUE(WriteFile(file.get(), first.data(), static_cast<DWORD>(first.size()), &n, nullptr));
    EXPECT_EQ(n, first.size());
    EXPECT_EQ(GetFileSize(file.get(), nullptr), first.size());
    file.reset();

    file = OpenRead(path);
    EXPECT_EQ(ReadAll(file.get()), first);
    file.reset();

    // OPEN_ALWAYS keeps the content and says it existed; writing at the start overwrites in place.
    file = OpenWrite(path, OPEN_ALWAYS, GENERIC_READ | GENERIC_WRITE);
    ASSERT_TRUE(file);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(WriteFile(file.get(), second.data(), 3, &n, nullptr));
    EXPECT_EQ(SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN), 0u);
    auto expected = first;
    std::copy(second.begin(), second.end(), expected.begin());
    EXPECT_EQ(ReadAll(file.get()), expected);
    file.reset();

    // CREATE_ALWAYS truncates and says it existed.
    file = OpenWrite(path, CREATE_ALWAYS);
    ASSERT_TRUE(file);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(file.get(), nullptr), 0u);
    file.reset();

    // OPEN_ALWAYS on a missing file creates it.
    file = OpenWrite(dir_ + "/fresh.bin", OPEN_ALWAYS);
    ASSERT_TRUE(file);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
}

TEST_F(FileTest, AccessIsEnforcedAndArgumentsChecked)
{
    veltest::TempFile temp(Pattern(16));
    uint8_t buffer[16] = {};
    DWORD n = 99;

    Handle reader = OpenRead(temp.Path());
    ASSERT_TRUE(reader);
    SetLastError(0);
    EXPECT_FALSE(WriteFile(reader.get(), buffer, 4, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(ReadFile(reader.get(), nullptr, 4, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ReadFile(reader.get(), buffer, 4, &n, reinterpret_cast<OVERLAPPED*>(buffer)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(ReadFile(reader.get(), buffer, 4, nullptr, nullptr)); // the count is optional

    Handle writer = OpenWrite(temp.Path(), OPEN_EXISTING);
    ASSERT_TRUE(writer);
    n = 99;
    EXPECT_FALSE(ReadFile(writer.get(), buffer, 4, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(n, 0u);
}

// A duplicate names the same open file, so it shares the position.
TEST_F(FileTest, DuplicateSharesThePosition)
{
    const auto bytes = Pattern(64);
    veltest::TempFile temp(bytes);
    Handle file = OpenRead(temp.Path());
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), file.get(), GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    Handle duplicate(copy);
    uint8_t chunk[10];
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(file.get(), chunk, 10, &n, nullptr));
    EXPECT_EQ(SetFilePointer(duplicate.get(), 0, nullptr, FILE_CURRENT), 10u);
    file.reset();
    ASSERT_TRUE(ReadFile(duplicate.get(), chunk, 10, &n, nullptr));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(chunk[0], bytes[10]);
}

} // namespace
