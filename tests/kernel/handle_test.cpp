// Handles: values, duplication and closing with counting, and every call on a bad handle.

#include "kernel_test_util.h"

#include <set>
#include <thread>
#include <vector>

using namespace kerneltest;

namespace {

class HandleTest : public KernelTest {};

HANDLE Duplicate(HANDLE source, DWORD options = DUPLICATE_SAME_ACCESS)
{
    HANDLE target = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), source, GetCurrentProcess(), &target, 0, FALSE, options))
        return nullptr;
    return target;
}

TEST_F(HandleTest, ValuesAreSmallDistinctAndNeverInvalid)
{
    std::vector<Handle> events;
    std::set<HANDLE> seen;
    for (int i = 0; i < 100; ++i) {
        events.push_back(NewEvent(true, false));
        const HANDLE h = events.back().get();
        EXPECT_NE(h, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_LT(reinterpret_cast<uintptr_t>(h), uintptr_t{1} << 32);
        EXPECT_TRUE(seen.insert(h).second);
    }
}

TEST_F(HandleTest, DuplicateNamesTheSameObjectAndIsCounted)
{
    const uint32_t base = platctl_kernel_open_handles();
    Handle event = NewEvent(true, false);
    Handle copy(Duplicate(event.get()));
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), event.get());
    EXPECT_EQ(platctl_kernel_open_handles(), base + 2);

    SetEvent(copy.get());
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0);
    event.reset(); // the object lives on through the copy
    EXPECT_EQ(platctl_kernel_open_handles(), base + 1);
    EXPECT_TRUE(ResetEvent(copy.get()));
    EXPECT_EQ(WaitForSingleObject(copy.get(), 0), WAIT_TIMEOUT);
    copy.reset();
    EXPECT_EQ(platctl_kernel_open_handles(), base);
}

TEST_F(HandleTest, DuplicateCloseSourceMovesTheHandle)
{
    const uint32_t base = platctl_kernel_open_handles();
    HANDLE source = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    Handle moved(Duplicate(source, DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE));
    ASSERT_TRUE(moved);
    EXPECT_EQ(platctl_kernel_open_handles(), base + 1);
    EXPECT_EQ(WaitForSingleObject(moved.get(), 0), WAIT_OBJECT_0);
    EXPECT_FALSE(CloseHandle(source));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    // A null target with DUPLICATE_CLOSE_SOURCE only closes the source.
    EXPECT_TRUE(DuplicateHandle(GetCurrentProcess(), moved.release(), GetCurrentProcess(), nullptr, 0, FALSE,
                                DUPLICATE_CLOSE_SOURCE));
    EXPECT_EQ(platctl_kernel_open_handles(), base);
}

TEST_F(HandleTest, DuplicateHandleRefusals)
{
    Handle event = NewEvent(true, false);
    const uint32_t base = platctl_kernel_open_handles();
    const HANDLE self = GetCurrentProcess();
    struct Case {
        const char* name;
        HANDLE sourceProcess, source, targetProcess;
        bool nullTarget;
        DWORD error;
    };
    const Case cases[] = {
        {"foreign source process", event.get(), event.get(), self, false, ERROR_INVALID_HANDLE},
        {"foreign target process", self, event.get(), nullptr, false, ERROR_INVALID_HANDLE},
        {"unknown source", self, reinterpret_cast<HANDLE>(uintptr_t{0x7FFF0000}), self, false, ERROR_INVALID_HANDLE},
        {"null source", self, nullptr, self, false, ERROR_INVALID_HANDLE},
        {"pseudo process as source", self, self, self, false, ERROR_INVALID_HANDLE},
        {"null target", self, event.get(), self, true, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE target = reinterpret_cast<HANDLE>(uintptr_t{0x1234});
        SetLastError(0);
        EXPECT_FALSE(DuplicateHandle(c.sourceProcess, c.source, c.targetProcess, c.nullTarget ? nullptr : &target, 0,
                                     FALSE, DUPLICATE_SAME_ACCESS));
        EXPECT_EQ(GetLastError(), c.error);
        if (!c.nullTarget) {
            EXPECT_EQ(target, nullptr);
        }
        EXPECT_EQ(platctl_kernel_open_handles(), base);
    }
}

// Every call that takes a handle fails cleanly on handles that name nothing (or the wrong kind).
TEST_F(HandleTest, BadHandlesFailWithInvalidHandle)
{
    Handle event = NewEvent(true, false);
    HANDLE closed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(closed);
    const HANDLE bad[] = {nullptr, INVALID_HANDLE_VALUE, closed, reinterpret_cast<HANDLE>(uintptr_t{3}),
                          reinterpret_cast<HANDLE>(uintptr_t{0x7FFFFFF0}), reinterpret_cast<HANDLE>(~uintptr_t{7})};
    for (HANDLE h : bad) {
        SCOPED_TRACE(testing::Message() << "handle " << h);
        auto expectInvalid = [](bool failed, const char* call) {
            EXPECT_TRUE(failed) << call;
            EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << call;
            SetLastError(0);
        };
        DWORD n = 7, code = 7, high = 7;
        LONG distanceHigh = 0;
        char byte = 0;
        expectInvalid(!CloseHandle(h), "CloseHandle");
        expectInvalid(!SetEvent(h), "SetEvent");
        expectInvalid(!ResetEvent(h), "ResetEvent");
        expectInvalid(WaitForSingleObject(h, 0) == WAIT_FAILED, "WaitForSingleObject");
        expectInvalid(!GetExitCodeThread(h, &code), "GetExitCodeThread");
        expectInvalid(!ReadFile(h, &byte, 1, &n, nullptr), "ReadFile");
        EXPECT_EQ(n, 0u);
        expectInvalid(!WriteFile(h, &byte, 1, &n, nullptr), "WriteFile");
        expectInvalid(SetFilePointer(h, 0, &distanceHigh, FILE_BEGIN) == INVALID_SET_FILE_POINTER, "SetFilePointer");
        expectInvalid(GetFileSize(h, &high) == INVALID_FILE_SIZE, "GetFileSize");
    }
    // An event is not a file or a thread.
    DWORD n = 0, code = 0;
    char byte = 0;
    EXPECT_FALSE(ReadFile(event.get(), &byte, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetFileSize(event.get(), nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(GetExitCodeThread(event.get(), &code));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// A closed handle stays invalid for a while even as new handles are made: a late SetEvent or
// CloseHandle through it fails instead of reaching someone else's object.
TEST_F(HandleTest, ClosedHandleStaysInvalid)
{
    HANDLE h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(CloseHandle(h));
    std::vector<Handle> later;
    for (int i = 0; i < 32; ++i) {
        later.push_back(NewEvent(false, false));
        ASSERT_NE(later.back().get(), h) << "closed handle value reused at once";
    }
    SetLastError(0);
    EXPECT_FALSE(SetEvent(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    for (const Handle& other : later)
        EXPECT_EQ(WaitForSingleObject(other.get(), 0), WAIT_TIMEOUT);
}

// Threads creating, duplicating, using and closing handles at once keep the table consistent.
TEST_F(HandleTest, ConcurrentCreateDuplicateClose)
{
    const uint32_t base = platctl_kernel_open_handles();
    constexpr int kThreads = 4;
    constexpr int kRounds = 3000;
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < kRounds; ++i) {
                HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
                ASSERT_NE(e, nullptr);
                HANDLE d = Duplicate(e, (i % 2) ? DUPLICATE_CLOSE_SOURCE : DUPLICATE_SAME_ACCESS);
                ASSERT_NE(d, nullptr);
                ASSERT_TRUE(SetEvent(d));
                ASSERT_EQ(WaitForSingleObject(d, 0), WAIT_OBJECT_0);
                if (i % 2 == 0) {
                    ASSERT_TRUE(CloseHandle(e));
                }
                ASSERT_TRUE(CloseHandle(d));
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(platctl_kernel_open_handles(), base);
}

} // namespace
