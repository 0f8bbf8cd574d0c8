// timeGetTime: the real monotonic millisecond clock and the manual clock of the control API.

#include "kernel_test_util.h"

#include <atomic>
#include <ctime>
#include <thread>

using namespace kerneltest;

namespace {

class ClockTest : public KernelTest {
protected:
    void TearDown() override
    {
        platctl_clock_use_real();
        KernelTest::TearDown();
    }
};

DWORD MonotonicMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<DWORD>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

TEST_F(ClockTest, RealClockIsMonotonicMilliseconds)
{
    const DWORD before = MonotonicMs();
    const DWORD t = timeGetTime();
    const DWORD after = MonotonicMs();
    EXPECT_LE(static_cast<DWORD>(t - before), static_cast<DWORD>(after - before));

    const DWORD start = timeGetTime();
    Sleep(20);
    const DWORD elapsed = timeGetTime() - start; // unsigned difference, right across a wrap
    EXPECT_GE(elapsed, 20u);
    EXPECT_LT(elapsed, 10000u);
}

TEST_F(ClockTest, ManualClockSetsAdvancesAndWraps)
{
    struct Case {
        uint32_t start;
        uint32_t advance;
        uint32_t expected;
    };
    const Case cases[] = {
        {0, 16, 16},
        {1000, 0, 1000},
        {0xFFFFFFF0u, 0x10, 0},
        {0xFFFFFFF0u, 0x20, 0x10},
        {0x80000000u, 0x80000001u, 1},
        {5, 0xFFFFFFFFu, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "start=" << c.start << " advance=" << c.advance);
        platctl_clock_use_manual(c.start);
        EXPECT_EQ(timeGetTime(), c.start);
        Sleep(2);
        EXPECT_EQ(timeGetTime(), c.start) << "the manual clock does not run by itself";
        platctl_clock_advance(c.advance);
        EXPECT_EQ(timeGetTime(), c.expected);
        EXPECT_EQ(timeGetTime() - c.start, c.advance); // elapsed time survives the wrap
    }
    platctl_clock_set(42);
    EXPECT_EQ(timeGetTime(), 42u);
    platctl_clock_use_real();
    const DWORD real = MonotonicMs();
    EXPECT_LT(static_cast<DWORD>(timeGetTime() - real), 1000u);
}

// The clock is shared by threads: one advances, another reads; no step is lost or seen backwards.
TEST_F(ClockTest, ManualClockAcrossThreads)
{
    constexpr uint32_t kSteps = 20000;
    const uint32_t start = 0xFFFFF000u; // crosses the wrap on the way
    platctl_clock_use_manual(start);
    std::atomic<bool> done{false};
    std::jthread reader([&] {
        uint32_t last = 0;
        while (!done) {
            const uint32_t now = timeGetTime() - start;
            ASSERT_GE(now, last);
            last = now;
        }
    });
    std::jthread advancer([] {
        for (uint32_t i = 0; i < kSteps / 2; ++i)
            platctl_clock_advance(1);
    });
    for (uint32_t i = 0; i < kSteps / 2; ++i)
        platctl_clock_advance(1);
    advancer.join();
    done = true;
    reader.join();
    EXPECT_EQ(timeGetTime(), start + kSteps);
}

} // namespace
