// Events: manual- and auto-reset signalling, on one thread and across threads.

#include "kernel_test_util.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace kerneltest;

namespace {

class EventTest : public KernelTest {};

TEST_F(EventTest, InitialStateAndResetKinds)
{
    struct Case {
        bool manual;
        bool initial;
        DWORD firstPoll, secondPoll; // two polls in a row
    };
    const Case cases[] = {
        {true, true, WAIT_OBJECT_0, WAIT_OBJECT_0}, // manual stays signalled
        {true, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {false, true, WAIT_OBJECT_0, WAIT_TIMEOUT}, // auto is consumed by the first wait
        {false, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "manual=" << c.manual << " initial=" << c.initial);
        Handle event = NewEvent(c.manual, c.initial);
        ASSERT_TRUE(event);
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), c.firstPoll);
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), c.secondPoll);
    }
}

TEST_F(EventTest, SetAndResetAreIdempotent)
{
    for (bool manual : {true, false}) {
        Handle event = NewEvent(manual, false);
        EXPECT_TRUE(SetEvent(event.get()));
        EXPECT_TRUE(SetEvent(event.get())); // a second set does not queue a second release
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), manual ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
        EXPECT_TRUE(ResetEvent(event.get()));
        EXPECT_TRUE(ResetEvent(event.get()));
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT);
    }
}

TEST_F(EventTest, NameIsIgnoredAndEventsAreDistinct)
{
    Handle a(CreateEventA(nullptr, TRUE, FALSE, "shared"));
    Handle b(CreateEventA(nullptr, TRUE, FALSE, "shared"));
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_NE(a.get(), b.get());
    SetEvent(a.get());
    EXPECT_EQ(WaitForSingleObject(b.get(), 0), WAIT_TIMEOUT);
}

// A manual-reset event releases every waiter at once.
TEST_F(EventTest, ManualResetReleasesAllWaiters)
{
    Handle gate = NewEvent(true, false);
    constexpr int kWaiters = 6;
    std::atomic<int> released{0};
    std::vector<std::jthread> threads;
    for (int i = 0; i < kWaiters; ++i)
        threads.emplace_back([&] {
            if (WaitForSingleObject(gate.get(), kLongWait) == WAIT_OBJECT_0)
                ++released;
        });
    SetEvent(gate.get());
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(released.load(), kWaiters);
    EXPECT_EQ(WaitForSingleObject(gate.get(), 0), WAIT_OBJECT_0);
}

// Each SetEvent of an auto-reset event releases exactly one of several waiters.
TEST_F(EventTest, AutoResetReleasesOneWaiterPerSet)
{
    Handle work = NewEvent(false, false);
    Handle ack = NewEvent(false, false);
    constexpr int kWaiters = 4;
    std::atomic<int> released{0};
    std::vector<std::jthread> threads;
    for (int i = 0; i < kWaiters; ++i)
        threads.emplace_back([&] {
            ASSERT_EQ(WaitForSingleObject(work.get(), kLongWait), WAIT_OBJECT_0);
            ++released;
            SetEvent(ack.get());
        });
    for (int i = 1; i <= kWaiters; ++i) {
        ASSERT_TRUE(SetEvent(work.get()));
        ASSERT_EQ(WaitForSingleObject(ack.get(), kLongWait), WAIT_OBJECT_0);
        EXPECT_EQ(released.load(), i);
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(released.load(), kWaiters);
    EXPECT_EQ(WaitForSingleObject(work.get(), 0), WAIT_TIMEOUT); // every signal was consumed
}

// Ping-pong between two threads through two auto-reset events: no signal is lost or doubled.
TEST_F(EventTest, PingPongLosesNoSignal)
{
    Handle ping = NewEvent(false, false);
    Handle pong = NewEvent(false, false);
    constexpr int kRounds = 2000;
    int shared = 0; // handed over by the events alone
    std::jthread partner([&] {
        for (int i = 0; i < kRounds; ++i) {
            ASSERT_EQ(WaitForSingleObject(ping.get(), kLongWait), WAIT_OBJECT_0);
            ++shared;
            SetEvent(pong.get());
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        ++shared;
        SetEvent(ping.get());
        ASSERT_EQ(WaitForSingleObject(pong.get(), kLongWait), WAIT_OBJECT_0);
    }
    partner.join();
    EXPECT_EQ(shared, 2 * kRounds);
}

} // namespace
