// Frame pacing on the manual clock: the exact sequences of the fixed-point schedule.
#include "StdFixture.h"
#include "platform_control.h"

#include <vector>

using namespace VEL;

namespace {

class PacerTest : public StdTest {
protected:
    void SetUp() override
    {
        StdTest::SetUp();
        platctl_clock_use_manual(1000);
        pacer = Create<IStdFPSWait>(IID_IStdFPSWait);
        ASSERT_NE(pacer, nullptr);
    }
    void TearDown() override
    {
        if (pacer) {
            EXPECT_EQ(pacer->Release(), 0);
        }
        platctl_clock_use_real();
        StdTest::TearDown();
    }
    // Frame lengths of successive on-time frames: Wait with no time elapsed returns the frame's
    // length, then the clock moves to the frame's due time.
    std::vector<uint32_t> OnTimeFrames(int n)
    {
        std::vector<uint32_t> lengths;
        for (int i = 0; i < n; ++i) {
            const uint32_t ms = pacer->Wait();
            lengths.push_back(ms);
            platctl_clock_advance(ms);
        }
        return lengths;
    }
    IStdFPSWait* pacer = nullptr;
};

} // namespace

TEST_F(PacerTest, NotStartedWaitsZero)
{
    EXPECT_EQ(pacer->Wait(), 0u);
    EXPECT_FALSE(pacer->IsFrameLate());
    pacer->Start(0);
    EXPECT_EQ(pacer->Wait(), 0u);
    pacer->Stop();
}

TEST_F(PacerTest, SixtyFramesKeepTheExactAverage)
{
    pacer->Start(60);
    const std::vector<uint32_t> expected = {16, 17, 16, 17, 17, 16, 17, 17, 16};
    EXPECT_EQ(OnTimeFrames(9), expected);
    // Over a whole second the lengths add up to 1000 ms (the fraction is carried).
    pacer->Stop();
    pacer->Start(60);
    uint32_t total = 0;
    for (uint32_t ms : OnTimeFrames(60))
        total += ms;
    EXPECT_GE(total, 999u);
    EXPECT_LE(total, 1000u);
}

TEST_F(PacerTest, ThousandFramesAreOneMillisecondEach)
{
    pacer->Start(1000);
    EXPECT_EQ(OnTimeFrames(5), std::vector<uint32_t>(5, 1));
}

TEST_F(PacerTest, PartlyElapsedFrameReturnsTheRest)
{
    pacer->Start(50); // 20 ms frames
    platctl_clock_advance(7);
    EXPECT_EQ(pacer->Wait(), 13u);
    platctl_clock_advance(13 + 19);
    EXPECT_EQ(pacer->Wait(), 1u);
}

TEST_F(PacerTest, LatenessTable)
{
    // Rate 60 starts with frames of 16 ms; over is the time past the frame's end.
    struct Case {
        uint32_t rate, over;
        bool late;
        bool backlogKept;
    } cases[] = {
        {60, 24, false, true},   // below 3 frames
        {60, 100, true, true},   // 3 frames or more, below 4 * rate
        {60, 300, false, false}, // 240 ms or more: dropped, schedule restarts at now
        {30, 98, false, true},   {30, 99, true, true}, {30, 119, true, true}, {30, 120, false, false},
    };
    for (const Case& c : cases) {
        platctl_clock_set(5000);
        pacer->Start(c.rate);
        const uint32_t first = 65536000u / c.rate >> 16; // length of the first frame
        platctl_clock_advance(first + c.over);
        EXPECT_EQ(pacer->Wait(), 0u);
        EXPECT_EQ(pacer->IsFrameLate(), c.late) << c.rate << " " << c.over;
        // Where the backlog is kept, the due time moved by one frame only, so the next Wait
        // is still late; where it was dropped, the next frame starts now and is on time.
        const uint32_t next = pacer->Wait();
        if (c.backlogKept) {
            EXPECT_EQ(next, 0u) << c.rate << " " << c.over;
        } else {
            EXPECT_GT(next, 0u) << c.rate << " " << c.over;
        }
        pacer->Stop();
    }
}

TEST_F(PacerTest, CatchesUpAfterALateFrame)
{
    pacer->Start(60);
    platctl_clock_advance(16 + 100);
    EXPECT_EQ(pacer->Wait(), 0u);
    EXPECT_TRUE(pacer->IsFrameLate());
    int zeros = 0;
    while (pacer->Wait() == 0)
        ++zeros;
    EXPECT_GE(zeros, 5);
    EXPECT_LE(zeros, 7);
    EXPECT_FALSE(pacer->IsFrameLate());
}

TEST_F(PacerTest, SurvivesTheClockWrap)
{
    platctl_clock_set(0xFFFFFFF0u);
    pacer->Start(50);
    EXPECT_EQ(OnTimeFrames(3), std::vector<uint32_t>(3, 20));
    platctl_clock_advance(5);
    EXPECT_EQ(pacer->Wait(), 15u);
}

TEST_F(PacerTest, StartWhileStartedAndStopKeepTheirFields)
{
    pacer->Start(60);
    platctl_clock_advance(16 + 100);
    pacer->Wait();
    ASSERT_TRUE(pacer->IsFrameLate());
    pacer->Start(1000); // ignored while started
    pacer->Stop();
    EXPECT_TRUE(pacer->IsFrameLate()) << "Stop keeps the late flag";
    EXPECT_EQ(pacer->Wait(), 0u);
    pacer->Start(1000);
    EXPECT_EQ(pacer->Wait(), 1u);
}
