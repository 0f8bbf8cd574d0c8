// Threads: start routines, waitable handles signalled at exit, exit codes, ids, Sleep.

#include "kernel_test_util.h"

#include <atomic>
#include <set>
#include <vector>

using namespace kerneltest;

namespace {

class ThreadTest : public KernelTest {};

struct Job {
    HANDLE go = nullptr;         // the routine waits for this before returning
    DWORD seenId = 0;            // GetCurrentThreadId inside the thread
    DWORD result = 0;            // what the routine returns
    std::atomic<bool> ran{false};
};

DWORD RunJob(void* parameter)
{
    auto* job = static_cast<Job*>(parameter);
    job->seenId = GetCurrentThreadId();
    job->ran = true;
    if (job->go)
        WaitForSingleObject(job->go, kLongWait);
    return job->result;
}

unsigned RunCrtJob(void* parameter) { return static_cast<unsigned>(RunJob(parameter)); }

// Both creation calls: the handle is signalled at exit and carries the routine's result.
TEST_F(ThreadTest, HandleSignalledAtExitWithExitCode)
{
    for (bool crt : {false, true}) {
        SCOPED_TRACE(crt ? "_beginthreadex" : "CreateThread");
        Handle go = NewEvent(true, false);
        Job job;
        job.go = go.get();
        job.result = crt ? 0xC0FFEEu : 7u;
        DWORD id = 0;
        Handle thread;
        if (crt) {
            unsigned crtId = 0;
            thread.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunCrtJob, &job, 0, &crtId)));
            id = crtId;
        } else {
            thread.reset(CreateThread(nullptr, 0, RunJob, &job, 0, &id));
        }
        ASSERT_TRUE(thread);
        EXPECT_NE(id, 0u);
        EXPECT_NE(id, GetCurrentThreadId());

        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeThread(thread.get(), &code));
        EXPECT_EQ(code, STILL_ACTIVE);
        EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_TIMEOUT);

        SetEvent(go.get());
        ASSERT_EQ(WaitForSingleObject(thread.get(), kLongWait), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
        EXPECT_TRUE(GetExitCodeThread(thread.get(), &code));
        EXPECT_EQ(code, job.result);
        EXPECT_EQ(job.seenId, id);
    }
}

// Closing every handle of a running thread neither stops it nor leaks its object.
TEST_F(ThreadTest, ClosingHandlesOfRunningThread)
{
    struct Signals {
        HANDLE go, finished;
    };
    Handle go = NewEvent(true, false);
    Handle finished = NewEvent(true, false);
    Signals signals{go.get(), finished.get()};
    Handle thread(CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
            const Signals mine = *static_cast<Signals*>(parameter); // the test's copy may go first
            WaitForSingleObject(mine.go, kLongWait);
            SetEvent(mine.finished);
            return 0;
        },
        &signals, 0, nullptr));
    ASSERT_TRUE(thread);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread.get(), GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    thread.reset();
    // The duplicate still names the running thread.
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(copy, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_TRUE(CloseHandle(copy));

    SetEvent(go.get());
    EXPECT_EQ(WaitForSingleObject(finished.get(), kLongWait), WAIT_OBJECT_0) << "the thread did not run on";
}

DWORD ReturnParameter(void* parameter) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter)); }

TEST_F(ThreadTest, ManyThreadsWaitAll)
{
    constexpr DWORD kThreads = MAXIMUM_WAIT_OBJECTS;
    std::vector<Handle> threads;
    std::vector<HANDLE> raw;
    std::set<DWORD> ids;
    for (DWORD i = 0; i < kThreads; ++i) {
        DWORD id = 0;
        threads.emplace_back(CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<void*>(uintptr_t{i + 100}), 0, &id));
        ASSERT_TRUE(threads.back());
        raw.push_back(threads.back().get());
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), kThreads) << "thread ids must be distinct";
    ASSERT_EQ(WaitForMultipleObjects(kThreads, raw.data(), TRUE, kLongWait), WAIT_OBJECT_0);
    for (DWORD i = 0; i < kThreads; ++i) {
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeThread(raw[i], &code));
        EXPECT_EQ(code, i + 100);
    }
}

TEST_F(ThreadTest, BadArgumentsFail)
{
    Job job;
    DWORD id = 123;
    SetLastError(0);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, &job, 0, &id), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(id, 0u);
    SetLastError(0);
    EXPECT_EQ(CreateThread(nullptr, 0, RunJob, &job, CREATE_SUSPENDED, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(_beginthreadex(nullptr, 0, nullptr, nullptr, 0, nullptr), 0u);
    EXPECT_FALSE(job.ran);

    // GetExitCodeThread on something that is not a thread.
    Handle event = NewEvent(true, false);
    DWORD code = 0;
    SetLastError(0);
    EXPECT_FALSE(GetExitCodeThread(event.get(), &code));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(GetExitCodeThread(nullptr, &code));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(ThreadTest, CurrentThreadIdIsStableAndNonZero)
{
    const DWORD id = GetCurrentThreadId();
    EXPECT_NE(id, 0u);
    EXPECT_EQ(GetCurrentThreadId(), id);
}

TEST_F(ThreadTest, LastErrorIsPerThread)
{
    SetLastError(1234);
    Handle thread(CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
            const DWORD initial = GetLastError();
            SetLastError(99);
            return initial;
        },
        nullptr, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread.get(), kLongWait), WAIT_OBJECT_0);
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, 0u) << "a new thread starts with no error";
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST_F(ThreadTest, SleepWaitsAtLeastAndZeroYields)
{
    Sleep(0);
    const uint64_t start = NowMs();
    Sleep(25);
    const uint64_t elapsed = NowMs() - start;
    EXPECT_GE(elapsed, 25u);
    EXPECT_LT(elapsed, 10000u);
}

} // namespace
