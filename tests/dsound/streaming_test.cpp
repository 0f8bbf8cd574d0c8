// streaming_test.cpp - a sound longer than its buffer, streamed the way the engine streams: a
// three-second looping buffer, a notification at each half, and a thread that refills the half
// that has just been played. The mix must be the whole sound, without a gap or a repeat.
#include "sound_fixture.h"

#include "win_kernel.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace soundtest;

class StreamingTest : public SoundTest {};

TEST_F(StreamingTest, HalfBufferRefillsPlayALongSoundSeamlessly)
{
    const DWORD align = 4;
    const DWORD size = 3 * 44100 * align;
    const DWORD half = size / 2;
    const size_t soundFrames = 10 * 44100 + 777;
    const std::vector<uint8_t> sound = Noise(soundFrames * align, 2024);

    Com<IDirectSoundBuffer8> buffer = Make(Pcm(2, 16, 44100), size);
    HANDLE events[3] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr),
                        CreateEventA(nullptr, TRUE, FALSE, nullptr)}; // quit, first half played, second half played
    const DSBPOSITIONNOTIFY positions[] = {{half, events[1]}, {size - 1, events[2]}};
    Com<IDirectSoundNotify> notify;
    ASSERT_EQ(buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(notify.Out())), S_OK);
    ASSERT_EQ(notify->SetNotificationPositions(2, positions), DS_OK);

    size_t fed = 0; // bytes of the sound written so far; only the refill thread writes after start
    auto refill = [&](DWORD offset, DWORD bytes) {
        void* p = nullptr;
        DWORD n = 0;
        if (buffer->Lock(offset, bytes, &p, &n, nullptr, nullptr, 0) != DS_OK)
            return;
        const size_t take = std::min<size_t>(n, sound.size() - fed);
        std::memcpy(p, sound.data() + fed, take);
        std::memset(static_cast<uint8_t*>(p) + take, 0, n - take);
        fed += take;
        buffer->Unlock(p, n, nullptr, 0);
    };
    refill(0, size);
    std::atomic<int> refills{0};
    std::thread streamer([&] {
        for (;;) {
            const DWORD which = WaitForMultipleObjects(3, events, FALSE, INFINITE);
            if (which == WAIT_OBJECT_0)
                return;
            if (which == WAIT_OBJECT_0 + 1) {
                ResetEvent(events[1]);
                refill(0, half);
            } else if (which == WAIT_OBJECT_0 + 2) {
                ResetEvent(events[2]);
                refill(half, half);
            } else {
                return;
            }
            ++refills;
        }
    });

    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    // Render a tenth of a second at a time; whenever the cursor has reached a half, let the
    // streamer finish that refill before rendering on (a sound card gives it 1.5 s).
    std::vector<int16_t> mix;
    const uint32_t chunk = 4410;
    uint64_t rendered = 0;
    while (rendered < soundFrames + chunk) {
        const std::vector<int16_t> part = Render(chunk);
        mix.insert(mix.end(), part.begin(), part.end());
        rendered += chunk;
        const uint64_t bytes = rendered * align;
        const int expected = static_cast<int>(bytes / size * 2 + (bytes % size >= half ? 1 : 0));
        for (int i = 0; i < 2000 && refills.load() < expected; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(refills.load(), expected) << "after " << rendered << " frames";
    }
    SetEvent(events[0]);
    streamer.join();
    for (HANDLE e : events)
        CloseHandle(e);

    for (size_t k = 0; k < soundFrames; ++k) {
        ASSERT_EQ(mix[2 * k], SourceValue(&sound[align * k], 16, 0)) << "frame " << k;
        ASSERT_EQ(mix[2 * k + 1], SourceValue(&sound[align * k], 16, 1)) << "frame " << k;
    }
    for (size_t i = 2 * soundFrames; i < mix.size(); ++i)
        ASSERT_EQ(mix[i], 0) << "after the end, sample " << i;
}
