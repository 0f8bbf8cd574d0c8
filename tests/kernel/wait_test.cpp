// Waits on several objects: wait-any order, wait-all atomicity, time-outs, bad arguments, and the
// message-queue wake of MsgWaitForMultipleObjects.

#include "kernel_test_util.h"
#include "thread_input.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace kerneltest;

namespace {

class WaitTest : public KernelTest {};

std::vector<Handle> NewEvents(size_t count, bool manualReset)
{
    std::vector<Handle> events;
    for (size_t i = 0; i < count; ++i)
        events.push_back(NewEvent(manualReset, false));
    return events;
}

std::vector<HANDLE> Raw(const std::vector<Handle>& handles)
{
    std::vector<HANDLE> raw;
    for (const Handle& h : handles)
        raw.push_back(h.get());
    return raw;
}

bool Signalled(const Handle& manualEvent) { return WaitForSingleObject(manualEvent.get(), 0) == WAIT_OBJECT_0; }

TEST_F(WaitTest, WaitAnyReturnsLowestSignalledIndex)
{
    struct Case {
        unsigned signalled; // bit i: event i is signalled
        DWORD expected;
    };
    const Case cases[] = {
        {0b0001, WAIT_OBJECT_0 + 0}, {0b0010, WAIT_OBJECT_0 + 1}, {0b1000, WAIT_OBJECT_0 + 3},
        {0b1010, WAIT_OBJECT_0 + 1}, {0b1100, WAIT_OBJECT_0 + 2}, {0b1111, WAIT_OBJECT_0 + 0},
        {0b0000, WAIT_TIMEOUT},
    };
    for (bool manual : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "manual=" << manual << " signalled=" << c.signalled);
            auto events = NewEvents(4, manual);
            for (unsigned i = 0; i < 4; ++i)
                if (c.signalled & (1u << i))
                    SetEvent(events[i].get());
            auto raw = Raw(events);
            EXPECT_EQ(WaitForMultipleObjects(4, raw.data(), FALSE, 0), c.expected);
            // Only the returned auto-reset event is consumed; the others keep their signal.
            for (unsigned i = 0; i < 4; ++i) {
                const bool wasSet = (c.signalled & (1u << i)) != 0;
                const bool consumed = !manual && c.expected == WAIT_OBJECT_0 + i;
                EXPECT_EQ(WaitForSingleObject(events[i].get(), 0), wasSet && !consumed ? WAIT_OBJECT_0 : WAIT_TIMEOUT)
                    << "event " << i;
            }
        }
    }
}

TEST_F(WaitTest, WaitAllNeedsEveryObjectAndAcquiresThemTogether)
{
    auto autoEvents = NewEvents(2, false);
    auto manualEvents = NewEvents(1, true);
    HANDLE set[] = {autoEvents[0].get(), manualEvents[0].get(), autoEvents[1].get()};

    // Incomplete: nothing is consumed, however long the wait.
    SetEvent(autoEvents[0].get());
    SetEvent(manualEvents[0].get());
    EXPECT_EQ(WaitForMultipleObjects(3, set, TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForMultipleObjects(3, set, TRUE, 30), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(autoEvents[0].get(), 0), WAIT_OBJECT_0) << "auto event consumed by an incomplete wait-all";
    EXPECT_EQ(WaitForSingleObject(autoEvents[1].get(), 0), WAIT_TIMEOUT);

    // Complete: both auto events consumed, the manual one stays signalled.
    SetEvent(autoEvents[0].get());
    SetEvent(autoEvents[1].get());
    EXPECT_EQ(WaitForMultipleObjects(3, set, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEvents[0].get(), 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(autoEvents[1].get(), 0), WAIT_TIMEOUT);
    EXPECT_TRUE(Signalled(manualEvents[0]));
}

// While a wait-all lacks one object, a single wait on an auto event of its set takes that event.
TEST_F(WaitTest, IncompleteWaitAllDoesNotHoldItsObjects)
{
    Handle autoEvent = NewEvent(false, false);
    Handle manualEvent = NewEvent(true, false);
    Handle done = NewEvent(true, false);
    std::jthread waitAll([&] {
        HANDLE set[] = {autoEvent.get(), manualEvent.get()};
        EXPECT_EQ(WaitForMultipleObjects(2, set, TRUE, kLongWait), WAIT_OBJECT_0);
        SetEvent(done.get());
    });
    SetEvent(autoEvent.get());
    EXPECT_EQ(WaitForSingleObject(autoEvent.get(), kLongWait), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(done.get(), 0), WAIT_TIMEOUT);
    SetEvent(manualEvent.get());
    EXPECT_EQ(WaitForSingleObject(done.get(), 30), WAIT_TIMEOUT); // still lacks the auto event
    SetEvent(autoEvent.get());
    EXPECT_EQ(WaitForSingleObject(done.get(), kLongWait), WAIT_OBJECT_0);
    waitAll.join();
    EXPECT_EQ(WaitForSingleObject(autoEvent.get(), 0), WAIT_TIMEOUT);
}

// Two threads wait-all on overlapping sets of auto-reset events {A, B} and {B, C}: one B is
// acquired by exactly one of them, and every signal is consumed exactly once.
TEST_F(WaitTest, OverlappingWaitAllsNeverShareAnEvent)
{
    Handle a = NewEvent(false, false), b = NewEvent(false, false), c = NewEvent(false, false);
    Handle quit = NewEvent(true, false);
    Handle ack = NewEvent(false, false);
    std::atomic<int> wins[2] = {0, 0};
    constexpr int kRounds = 300;

    auto waiter = [&](int index, HANDLE first, HANDLE second) {
        HANDLE set[] = {first, second};
        for (;;) {
            HANDLE stop[] = {quit.get()};
            if (WaitForMultipleObjects(1, stop, FALSE, 0) == WAIT_OBJECT_0)
                return;
            const DWORD r = WaitForMultipleObjects(2, set, TRUE, 50);
            if (r == WAIT_OBJECT_0) {
                ++wins[index];
                SetEvent(ack.get());
            } else if (r != WAIT_TIMEOUT) {
                ADD_FAILURE() << "wait-all failed: " << r;
                return;
            }
        }
    };
    std::jthread w0(waiter, 0, a.get(), b.get());
    std::jthread w1(waiter, 1, b.get(), c.get());
    struct StopWaiters { // on every way out, before the waiters are joined
        HANDLE quit;
        ~StopWaiters() { SetEvent(quit); }
    } stop{quit.get()};

    for (int round = 0; round < kRounds; ++round) {
        const int before = wins[0] + wins[1];
        SetEvent(a.get());
        SetEvent(c.get());
        SetEvent(b.get()); // one B for two complete sets: exactly one waiter may win
        ASSERT_EQ(WaitForSingleObject(ack.get(), kLongWait), WAIT_OBJECT_0);
        SetEvent(b.get()); // the loser's B
        ASSERT_EQ(WaitForSingleObject(ack.get(), kLongWait), WAIT_OBJECT_0);
        ASSERT_EQ(wins[0] + wins[1], before + 2) << "round " << round;
        // Both sets were acquired whole, once each: nothing is left signalled.
        HANDLE all[] = {a.get(), b.get(), c.get()};
        ASSERT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_TIMEOUT) << "round " << round;
        ASSERT_EQ(WaitForSingleObject(ack.get(), 0), WAIT_TIMEOUT) << "round " << round;
    }
    SetEvent(quit.get());
    w0.join();
    w1.join();
    EXPECT_EQ(wins[0].load(), kRounds);
    EXPECT_EQ(wins[1].load(), kRounds);
}

// Tokens passed around as auto-reset events: each token's event is signalled only by the one
// thread that acquired it, so a wait that hands a token to two threads at once, or loses or
// invents a signal, shows up as a double owner or a wrong count at the end. Threads mix wait-any
// and wait-all over random subsets with polls, short time-outs and infinite waits.
TEST_F(WaitTest, TokensAreNeverSharedUnderMixedWaits)
{
    constexpr int kTokens = 5;
    constexpr int kThreads = 4;
    constexpr int kRounds = 1500;
    std::vector<Handle> tokens;
    for (int i = 0; i < kTokens; ++i)
        tokens.push_back(NewEvent(false, true)); // every token starts free
    std::atomic<int> owner[kTokens];
    for (auto& o : owner)
        o = -1;
    std::atomic<bool> doubleOwner{false};
    std::atomic<int> acquisitions{0};
    Handle start = NewEvent(true, false);

    auto worker = [&](int self) {
        ASSERT_EQ(WaitForSingleObject(start.get(), kLongWait), WAIT_OBJECT_0);
        uint32_t random = 2463534242u + static_cast<uint32_t>(self) * 7919u;
        auto next = [&random] {
            random ^= random << 13;
            random ^= random >> 17;
            random ^= random << 5;
            return random;
        };
        for (int round = 0; round < kRounds; ++round) {
            HANDLE set[kTokens];
            int index[kTokens];
            const unsigned mask = 1 + next() % ((1u << kTokens) - 1);
            DWORD count = 0;
            for (int t = 0; t < kTokens; ++t)
                if (mask & (1u << t)) {
                    set[count] = tokens[t].get();
                    index[count++] = t;
                }
            const bool all = next() % 2 == 0;
            const DWORD timeouts[] = {0, 2, 50}; // no infinite wait: a lost token must fail, not hang
            const DWORD r = WaitForMultipleObjects(count, set, all ? TRUE : FALSE, timeouts[next() % 3]);
            if (r == WAIT_TIMEOUT)
                continue;
            ASSERT_LT(r, WAIT_OBJECT_0 + count);
            const DWORD first = all ? 0 : r - WAIT_OBJECT_0;
            const DWORD last = all ? count : first + 1;
            for (DWORD i = first; i < last; ++i) {
                int expected = -1;
                if (!owner[index[i]].compare_exchange_strong(expected, self))
                    doubleOwner = true;
            }
            ++acquisitions;
            Sleep(0); // hold the tokens a moment so that other threads contend for them
            for (DWORD i = first; i < last; ++i) {
                owner[index[i]] = -1;
                SetEvent(set[i]);
            }
        }
    };
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(worker, t);
    SetEvent(start.get());
    for (auto& t : threads)
        t.join();
    EXPECT_FALSE(doubleOwner.load());
    EXPECT_GT(acquisitions.load(), kThreads * kRounds / 10);
    // Every token is back.
    for (int i = 0; i < kTokens; ++i)
        EXPECT_EQ(WaitForSingleObject(tokens[i].get(), 0), WAIT_OBJECT_0) << "token " << i << " lost";
}

TEST_F(WaitTest, TimeOutsAndPolls)
{
    Handle event = NewEvent(true, false);
    HANDLE set[] = {event.get(), event.get()};
    struct Case {
        DWORD count;
        BOOL waitAll;
        DWORD milliseconds;
    };
    const Case cases[] = {{1, FALSE, 0}, {1, FALSE, 40}, {2, FALSE, 0}, {2, FALSE, 40}, {1, TRUE, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count=" << c.count << " all=" << c.waitAll << " ms=" << c.milliseconds);
        const uint64_t start = NowMs();
        EXPECT_EQ(WaitForMultipleObjects(c.count, set, c.waitAll, c.milliseconds), WAIT_TIMEOUT);
        // Never early; an upper bound only against hangs.
        const uint64_t elapsed = NowMs() - start;
        EXPECT_GE(elapsed + 1, c.milliseconds);
        EXPECT_LT(elapsed, uint64_t{10000});
    }
}

TEST_F(WaitTest, InfiniteWaitEndsWhenSignalled)
{
    Handle event = NewEvent(false, false);
    std::atomic<bool> set{false};
    std::jthread setter([&] {
        Sleep(20);
        set = true;
        SetEvent(event.get());
    });
    EXPECT_EQ(WaitForSingleObject(event.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(set.load());
    setter.join();
}

TEST_F(WaitTest, SixtyFourObjects)
{
    auto events = NewEvents(MAXIMUM_WAIT_OBJECTS, true);
    auto raw = Raw(events);
    SetEvent(events[63].get());
    EXPECT_EQ(WaitForMultipleObjects(64, raw.data(), FALSE, 0), WAIT_OBJECT_0 + 63);
    EXPECT_EQ(WaitForMultipleObjects(64, raw.data(), TRUE, 0), WAIT_TIMEOUT);
    for (auto& e : events)
        SetEvent(e.get());
    EXPECT_EQ(WaitForMultipleObjects(64, raw.data(), TRUE, 0), WAIT_OBJECT_0);
}

TEST_F(WaitTest, BadArgumentsFail)
{
    Handle event = NewEvent(true, true);
    Handle closed = NewEvent(true, true);
    const HANDLE closedValue = closed.get();
    closed.reset();
    std::vector<HANDLE> many(65, event.get());
    HANDLE withBad[] = {event.get(), closedValue};
    HANDLE withNull[] = {event.get(), nullptr};
    HANDLE withInvalid[] = {INVALID_HANDLE_VALUE};
    HANDLE twice[] = {event.get(), event.get()};
    struct Case {
        const char* name;
        DWORD count;
        const HANDLE* handles;
        BOOL waitAll;
        DWORD error;
    };
    const Case cases[] = {
        {"count 0", 0, withBad, FALSE, ERROR_INVALID_PARAMETER},
        {"count 65", 65, many.data(), FALSE, ERROR_INVALID_PARAMETER},
        {"null array", 2, nullptr, FALSE, ERROR_INVALID_PARAMETER},
        {"closed handle", 2, withBad, FALSE, ERROR_INVALID_HANDLE},
        {"closed handle, all", 2, withBad, TRUE, ERROR_INVALID_HANDLE},
        {"null handle", 2, withNull, FALSE, ERROR_INVALID_HANDLE},
        {"invalid handle value", 1, withInvalid, FALSE, ERROR_INVALID_HANDLE},
        {"same object twice, all", 2, twice, TRUE, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        for (DWORD ms : {DWORD{0}, INFINITE}) {
            SCOPED_TRACE(testing::Message() << c.name << " ms=" << ms);
            SetLastError(0);
            EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles, c.waitAll, ms), WAIT_FAILED);
            EXPECT_EQ(GetLastError(), c.error);
            SetLastError(0);
            EXPECT_EQ(MsgWaitForMultipleObjects(c.count, c.handles, c.waitAll, ms, 0), WAIT_FAILED);
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(closedValue, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    // The same object twice is fine in a wait-any.
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
}

// Closing the waited handle does not pull the object from under the wait; another handle to the
// same object still ends it.
TEST_F(WaitTest, WaitKeepsObjectAliveWhenHandleClosed)
{
    Handle event = NewEvent(false, false);
    HANDLE other = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event.get(), GetCurrentProcess(), &other, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    Handle duplicate(other);
    Handle started = NewEvent(true, false);
    std::atomic<DWORD> result{WAIT_FAILED};
    HANDLE waited = event.get();
    std::jthread waiter([&] {
        SetEvent(started.get());
        result = WaitForSingleObject(waited, kLongWait);
    });
    ASSERT_EQ(WaitForSingleObject(started.get(), kLongWait), WAIT_OBJECT_0);
    Sleep(20); // let the waiter block (if it has not, it fails with an invalid handle instead)
    event.reset();
    SetEvent(duplicate.get());
    waiter.join();
    const DWORD r = result.load();
    EXPECT_TRUE(r == WAIT_OBJECT_0 || r == WAIT_FAILED) << r;
}

// --- MsgWaitForMultipleObjects --------------------------------------------------------------------

TEST_F(WaitTest, MsgWaitWithoutMaskIgnoresInput)
{
    Handle event = NewEvent(false, false);
    HANDLE set[] = {event.get()};
    plat_kernel_post_thread_input(GetCurrentThreadId());
    EXPECT_EQ(MsgWaitForMultipleObjects(1, set, FALSE, 0, 0), WAIT_TIMEOUT);
    SetEvent(event.get());
    EXPECT_EQ(MsgWaitForMultipleObjects(1, set, FALSE, 0, 0), WAIT_OBJECT_0);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    plat_kernel_clear_thread_input(GetCurrentThreadId());
}

TEST_F(WaitTest, MsgWaitReportsInputOnceAfterObjects)
{
    auto events = NewEvents(2, true);
    auto raw = Raw(events);
    const DWORD self = GetCurrentThreadId();

    plat_kernel_post_thread_input(self);
    SetEvent(events[1].get());
    EXPECT_EQ(MsgWaitForMultipleObjects(2, raw.data(), FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 1); // objects first
    ResetEvent(events[1].get());
    EXPECT_EQ(MsgWaitForMultipleObjects(2, raw.data(), FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(MsgWaitForMultipleObjects(2, raw.data(), FALSE, 0, QS_ALLINPUT), WAIT_TIMEOUT) << "input reported twice";

    // Input also ends a wait-all that lacks objects; input seen by the queue does not.
    plat_kernel_post_thread_input(self);
    EXPECT_EQ(MsgWaitForMultipleObjects(2, raw.data(), TRUE, 0, QS_KEY), WAIT_OBJECT_0 + 2);
    plat_kernel_post_thread_input(self);
    plat_kernel_clear_thread_input(self);
    EXPECT_EQ(MsgWaitForMultipleObjects(2, raw.data(), FALSE, 0, QS_ALLINPUT), WAIT_TIMEOUT);

    // Another thread's input is not ours.
    plat_kernel_post_thread_input(self + 100000);
    EXPECT_EQ(MsgWaitForMultipleObjects(2, raw.data(), FALSE, 0, QS_ALLINPUT), WAIT_TIMEOUT);
    plat_kernel_clear_thread_input(self + 100000);
}

TEST_F(WaitTest, MsgWaitWakesOnInputPostedFromAnotherThread)
{
    for (DWORD count : {DWORD{0}, DWORD{1}}) {
        Handle event = NewEvent(false, false);
        HANDLE set[] = {event.get()};
        const DWORD self = GetCurrentThreadId();
        std::jthread poster([self] {
            Sleep(10);
            plat_kernel_post_thread_input(self);
        });
        EXPECT_EQ(MsgWaitForMultipleObjects(count, set, FALSE, kLongWait, QS_POSTMESSAGE), WAIT_OBJECT_0 + count);
        poster.join();
    }
}

} // namespace
