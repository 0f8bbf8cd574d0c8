// notify_test.cpp - position notifications signal kernel events as the play cursor reaches them.
#include "sound_fixture.h"

#include "win_kernel.h"

#include <thread>

using namespace soundtest;

namespace {

// A manual-reset kernel event, closed when it leaves scope.
class Event {
public:
    Event() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() { CloseHandle(handle_); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return handle_; }
    bool Signalled() const { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }
    void Reset() { ResetEvent(handle_); }

private:
    HANDLE handle_;
};

Com<IDirectSoundNotify> NotifyOf(IDirectSoundBuffer* buffer)
{
    Com<IDirectSoundNotify> notify;
    EXPECT_EQ(buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(notify.Out())), S_OK);
    return notify;
}

} // namespace

class NotifyTest : public SoundTest {};

TEST_F(NotifyTest, EventsFireWhenThePlayCursorReachesTheirOffsets)
{
    // 16-bit stereo, 1000 frames; offsets at frames 250 and 500 and at the last byte.
    const DWORD size = 4000;
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(2, 16, 44100), size);
    Event quarter;
    Event half;
    Event last;
    ASSERT_TRUE(quarter.get() && half.get() && last.get());
    const DSBPOSITIONNOTIFY positions[] = {{1000, quarter.get()}, {2000, half.get()}, {size - 1, last.get()}};
    ASSERT_EQ(NotifyOf(buffer.get())->SetNotificationPositions(3, positions), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

    Render(249);
    EXPECT_FALSE(quarter.Signalled());
    Render(1);
    EXPECT_TRUE(quarter.Signalled());
    EXPECT_FALSE(half.Signalled());
    Render(249);
    EXPECT_FALSE(half.Signalled());
    Render(1);
    EXPECT_TRUE(half.Signalled());
    // The last byte lies in the last frame: reached when the cursor wraps to the start.
    Render(499);
    EXPECT_FALSE(last.Signalled());
    Render(1);
    EXPECT_TRUE(last.Signalled());

    // Around the loop again, the same offsets fire again.
    quarter.Reset();
    half.Reset();
    last.Reset();
    Render(260);
    EXPECT_TRUE(quarter.Signalled());
    EXPECT_FALSE(half.Signalled());
    EXPECT_FALSE(last.Signalled());
}

TEST_F(NotifyTest, AOneShotSoundSignalsItsEndAndStop)
{
    // The engine's scheme: one position at the last byte of a buffer played once. The size is
    // not a multiple of the frame (odd lengths in milliseconds give such sizes).
    const DWORD size = 4002;
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(2, 16, 44100), size, Noise(size, 1));
    Event end;
    Event stop;
    const DSBPOSITIONNOTIFY positions[] = {{size - 1, end.get()}, {DSBPN_OFFSETSTOP, stop.get()}};
    ASSERT_EQ(NotifyOf(buffer.get())->SetNotificationPositions(2, positions), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    Render(999);
    EXPECT_FALSE(end.Signalled());
    EXPECT_FALSE(stop.Signalled());
    EXPECT_EQ(Status(buffer.get()), DSBSTATUS_PLAYING);
    Render(1);
    EXPECT_TRUE(end.Signalled());
    EXPECT_TRUE(stop.Signalled());
    EXPECT_EQ(Status(buffer.get()), 0u);

    // Played again from the start, it ends again.
    end.Reset();
    stop.Reset();
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    Render(1000);
    EXPECT_TRUE(end.Signalled());

    // Stop signals the stop position, not the others.
    end.Reset();
    stop.Reset();
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    Render(10);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    EXPECT_TRUE(stop.Signalled());
    EXPECT_FALSE(end.Signalled());
    // Stopping a stopped buffer signals nothing.
    stop.Reset();
    ASSERT_EQ(buffer->Stop(), DS_OK);
    EXPECT_FALSE(stop.Signalled());
}

TEST_F(NotifyTest, FastSmallBuffersSignalEveryOffsetTheyPass)
{
    // A 16-byte buffer at the highest rate passes its whole length many times in one render.
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 8, 200000), 16);
    Event a;
    Event b;
    const DSBPOSITIONNOTIFY positions[] = {{0, a.get()}, {15, b.get()}};
    ASSERT_EQ(NotifyOf(buffer.get())->SetNotificationPositions(2, positions), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    Render(100);
    EXPECT_TRUE(a.Signalled());
    EXPECT_TRUE(b.Signalled());
    EXPECT_EQ(Status(buffer.get()), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
}

TEST_F(NotifyTest, PositionsAreCheckedAndReplacedOnlyWhileStopped)
{
    const DWORD size = 400;
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 16, 44100), size);
    Com<IDirectSoundNotify> notify = NotifyOf(buffer.get());
    Event e;
    const DSBPOSITIONNOTIFY beyond[] = {{size, e.get()}};
    const DSBPOSITIONNOTIFY noEvent[] = {{10, nullptr}};
    const DSBPOSITIONNOTIFY good[] = {{100, e.get()}};
    EXPECT_EQ(notify->SetNotificationPositions(1, beyond), DSERR_INVALIDPARAM);
    EXPECT_EQ(notify->SetNotificationPositions(1, noEvent), DSERR_INVALIDPARAM);
    EXPECT_EQ(notify->SetNotificationPositions(1, nullptr), DSERR_INVALIDPARAM);
    ASSERT_EQ(notify->SetNotificationPositions(1, good), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(notify->SetNotificationPositions(0, nullptr), DSERR_INVALIDCALL);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    // An empty list clears the positions.
    ASSERT_EQ(notify->SetNotificationPositions(0, nullptr), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    Render(300);
    EXPECT_FALSE(e.Signalled());
}

TEST_F(NotifyTest, ANotificationWakesAThreadWaitingOnItsEvent)
{
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 16, 44100), 200);
    Event e;
    const DSBPOSITIONNOTIFY positions[] = {{100, e.get()}};
    ASSERT_EQ(NotifyOf(buffer.get())->SetNotificationPositions(1, positions), DS_OK);
    DWORD waited = WAIT_FAILED;
    std::thread waiter([&] { waited = WaitForSingleObject(e.get(), 10000); });
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    Render(60);
    waiter.join();
    EXPECT_EQ(waited, WAIT_OBJECT_0);
}
