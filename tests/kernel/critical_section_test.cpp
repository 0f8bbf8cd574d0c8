// Critical sections: recursion by the owner, exclusion of every other thread.

#include "kernel_test_util.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace kerneltest;

namespace {

class CriticalSectionTest : public KernelTest {
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        InitializeCriticalSection(&section_);
    }
    void TearDown() override
    {
        DeleteCriticalSection(&section_);
        KernelTest::TearDown();
    }
    CRITICAL_SECTION section_;
};

// TryEnter from another thread, run to completion.
bool OtherThreadCanEnter(CRITICAL_SECTION* section)
{
    bool entered = false;
    std::jthread other([&] {
        entered = TryEnterCriticalSection(section) != FALSE;
        if (entered)
            LeaveCriticalSection(section);
    });
    other.join();
    return entered;
}

TEST_F(CriticalSectionTest, OwnerReentersAndMustLeaveAsOften)
{
    EnterCriticalSection(&section_);
    EnterCriticalSection(&section_);
    EXPECT_TRUE(TryEnterCriticalSection(&section_)); // depth 3
    LeaveCriticalSection(&section_);
    LeaveCriticalSection(&section_);
    EXPECT_FALSE(OtherThreadCanEnter(&section_)) << "still held at depth 1";
    LeaveCriticalSection(&section_);
    EXPECT_TRUE(OtherThreadCanEnter(&section_));
}

TEST_F(CriticalSectionTest, LeaveByNonOwnerDoesNotRelease)
{
    EnterCriticalSection(&section_);
    std::jthread intruder([&] { LeaveCriticalSection(&section_); });
    intruder.join();
    EXPECT_FALSE(OtherThreadCanEnter(&section_));
    LeaveCriticalSection(&section_);
    EXPECT_TRUE(OtherThreadCanEnter(&section_));
}

// Threads increment a plain counter inside nested enters: no increment is lost.
TEST_F(CriticalSectionTest, MutualExclusionWithRecursion)
{
    constexpr int kThreads = 4;
    constexpr int kIncrements = 20000;
    int64_t counter = 0; // guarded by section_ alone
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kIncrements; ++i) {
                const bool tryFirst = (i + t) % 3 == 0;
                if (!tryFirst || !TryEnterCriticalSection(&section_))
                    EnterCriticalSection(&section_);
                EnterCriticalSection(&section_);
                if (inside.fetch_add(1) != 0)
                    overlap = true;
                ++counter;
                inside.fetch_sub(1);
                LeaveCriticalSection(&section_);
                LeaveCriticalSection(&section_);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, int64_t{kThreads} * kIncrements);
    EXPECT_FALSE(overlap.load());
}

TEST_F(CriticalSectionTest, NullSectionIsIgnored)
{
    InitializeCriticalSection(nullptr);
    EnterCriticalSection(nullptr);
    EXPECT_FALSE(TryEnterCriticalSection(nullptr));
    LeaveCriticalSection(nullptr);
    DeleteCriticalSection(nullptr);
}

} // namespace
