// device_test.cpp - the device and buffer objects: creation, interfaces, Lock, and the result
// codes of wrong calls.
#include "sound_fixture.h"

using namespace soundtest;

class DeviceTest : public SoundTest {
protected:
    static DSBUFFERDESC Desc(DWORD flags, DWORD bytes, WAVEFORMATEX* format)
    {
        DSBUFFERDESC d{};
        d.dwSize = sizeof(d);
        d.dwFlags = flags;
        d.dwBufferBytes = bytes;
        d.lpwfxFormat = format;
        return d;
    }
};

TEST_F(DeviceTest, CreatesTheDeviceAsTheEngineDoes)
{
    // The primary buffer with the engine's flags and its 36-byte description, then its format.
    DSBUFFERDESC desc{};
    desc.dwSize = DSBUFFERDESC_SIZE32;
    desc.dwFlags = 0x181E9;
    Com<IDirectSoundBuffer> primary;
    ASSERT_EQ(device_->CreateSoundBuffer(&desc, primary.Out(), nullptr), DS_OK);
    WAVEFORMATEX f = Pcm(2, 16, 44100);
    f.cbSize = 18;
    EXPECT_EQ(primary->SetFormat(&f), DS_OK);
    WAVEFORMATEX back{};
    DWORD written = 0;
    ASSERT_EQ(primary->GetFormat(&back, sizeof(back), &written), DS_OK);
    EXPECT_EQ(written, 18u);
    EXPECT_EQ(back.nSamplesPerSec, 44100u);
    EXPECT_EQ(back.nBlockAlign, 4);
    // A second request hands out the same primary buffer.
    Com<IDirectSoundBuffer> again;
    ASSERT_EQ(device_->CreateSoundBuffer(&desc, again.Out(), nullptr), DS_OK);
    EXPECT_EQ(again.get(), primary.get());
    // The primary has no IDirectSoundBuffer8 or notifications.
    void* object = &object;
    EXPECT_EQ(primary->QueryInterface(IID_IDirectSoundBuffer8, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    // Device interfaces.
    Com<IDirectSound8> sound8;
    ASSERT_EQ(device_->QueryInterface(IID_IDirectSound8, reinterpret_cast<void**>(sound8.Out())), S_OK);
    EXPECT_EQ(sound8.get(), device_.get());
    Com<IUnknown> unknown;
    ASSERT_EQ(device_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.Out())), S_OK);
    EXPECT_EQ(device_->QueryInterface(IID_IDirectSoundBuffer, &object), E_NOINTERFACE);
}

TEST_F(DeviceTest, SecondaryBufferInterfacesShareOneObject)
{
    WAVEFORMATEX f = Pcm(1, 16, 22050);
    DSBUFFERDESC desc = Desc(kEngineFlags, 1000, &f);
    Com<IDirectSoundBuffer> buffer;
    ASSERT_EQ(device_->CreateSoundBuffer(&desc, buffer.Out(), nullptr), DS_OK);
    Com<IDirectSoundBuffer8> buffer8;
    ASSERT_EQ(buffer->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(buffer8.Out())), S_OK);
    Com<IDirectSoundNotify> notify;
    ASSERT_EQ(buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(notify.Out())), S_OK);
    Com<IDirectSoundBuffer> back;
    ASSERT_EQ(notify->QueryInterface(IID_IDirectSoundBuffer, reinterpret_cast<void**>(back.Out())), S_OK);
    EXPECT_EQ(back.get(), buffer.get());
    // Counting is shared: three extra references, the object survives the first release.
    buffer.Reset();
    DSBCAPS caps{};
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(buffer8->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 1000u);
    EXPECT_EQ(caps.dwFlags & kEngineFlags, kEngineFlags);

    // Without DSBCAPS_CTRLPOSITIONNOTIFY there is no notify interface.
    DSBUFFERDESC plain = Desc(DSBCAPS_CTRLVOLUME, 1000, &f);
    Com<IDirectSoundBuffer> quiet;
    ASSERT_EQ(device_->CreateSoundBuffer(&plain, quiet.Out(), nullptr), DS_OK);
    void* object = &object;
    EXPECT_EQ(quiet->QueryInterface(IID_IDirectSoundNotify, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
}

TEST_F(DeviceTest, LockHandsOutTheWrappedSecondPart)
{
    const DWORD size = 64;
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 8, 44100), size);
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0;
    DWORD n2 = 0;
    ASSERT_EQ(buffer->Lock(50, 20, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 14u);
    EXPECT_EQ(n2, 6u);
    ASSERT_NE(p2, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 50);
    for (DWORD i = 0; i < n1; ++i)
        static_cast<uint8_t*>(p1)[i] = static_cast<uint8_t>(200 + i);
    for (DWORD i = 0; i < n2; ++i)
        static_cast<uint8_t*>(p2)[i] = static_cast<uint8_t>(10 + i);
    ASSERT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);

    // No wrap: the second part is empty.
    ASSERT_EQ(buffer->Lock(0, 10, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 10u);
    EXPECT_EQ(n2, 0u);
    EXPECT_EQ(p2, nullptr);
    ASSERT_EQ(buffer->Unlock(p1, n1, nullptr, 0), DS_OK);
    // Without a place for the second part the lock stops at the end.
    ASSERT_EQ(buffer->Lock(60, 10, &p1, &n1, nullptr, nullptr, 0), DS_OK);
    EXPECT_EQ(n1, 4u);
    ASSERT_EQ(buffer->Unlock(p1, n1, nullptr, 0), DS_OK);
    // From the write cursor, which is the play cursor.
    ASSERT_EQ(buffer->SetCurrentPosition(40), DS_OK);
    ASSERT_EQ(buffer->Lock(0, 30, &p1, &n1, &p2, &n2, DSBLOCK_FROMWRITECURSOR), DS_OK);
    EXPECT_EQ(n1, 24u);
    EXPECT_EQ(n2, 6u);
    ASSERT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);

    // What was written plays: the 14 bytes at the end, then (looping) the 6 at the start.
    ASSERT_EQ(buffer->SetCurrentPosition(50), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    const std::vector<int16_t> mix = Render(20);
    for (int k = 0; k < 20; ++k) {
        const int byte = k < 14 ? 200 + k : 10 + (k - 14);
        ASSERT_EQ(mix[2 * k], (byte - 128) * 256) << k;
    }
}

TEST_F(DeviceTest, WrongCallsGetTheDocumentedErrors)
{
    WAVEFORMATEX good = Pcm(2, 16, 44100);
    Com<IDirectSoundBuffer> buffer;

    // Creation.
    DSBUFFERDESC desc = Desc(kEngineFlags, 4000, &good);
    EXPECT_EQ(device_->CreateSoundBuffer(nullptr, buffer.Out(), nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(device_->CreateSoundBuffer(&desc, nullptr, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(device_->CreateSoundBuffer(&desc, buffer.Out(), device_.get()), DSERR_NOAGGREGATION);
    struct CreateCase {
        const char* what;
        DWORD size;
        DWORD flags;
        DWORD bytes;
        WAVEFORMATEX format;
        bool withFormat;
        HRESULT expected;
    };
    WAVEFORMATEX floatFormat = good;
    floatFormat.wFormatTag = 3;
    WAVEFORMATEX sixChannels = Pcm(6, 16, 44100);
    WAVEFORMATEX twentyFourBits = Pcm(2, 24, 44100);
    WAVEFORMATEX badAlign = good;
    badAlign.nBlockAlign = 2;
    WAVEFORMATEX tooSlow = Pcm(1, 8, 99);
    WAVEFORMATEX tooFast = Pcm(1, 8, 200001);
    const CreateCase cases[] = {
        {"size field", 20, kEngineFlags, 4000, good, true, DSERR_INVALIDPARAM},
        {"no format", sizeof(DSBUFFERDESC), kEngineFlags, 4000, good, false, DSERR_INVALIDPARAM},
        {"float", sizeof(DSBUFFERDESC), kEngineFlags, 4000, floatFormat, true, DSERR_BADFORMAT},
        {"6 channels", sizeof(DSBUFFERDESC), kEngineFlags, 4000, sixChannels, true, DSERR_BADFORMAT},
        {"24 bits", sizeof(DSBUFFERDESC), kEngineFlags, 4000, twentyFourBits, true, DSERR_BADFORMAT},
        {"block align", sizeof(DSBUFFERDESC), kEngineFlags, 4000, badAlign, true, DSERR_INVALIDPARAM},
        {"rate below", sizeof(DSBUFFERDESC), kEngineFlags, 4000, tooSlow, true, DSERR_INVALIDPARAM},
        {"rate above", sizeof(DSBUFFERDESC), kEngineFlags, 4000, tooFast, true, DSERR_INVALIDPARAM},
        {"size 0", sizeof(DSBUFFERDESC), kEngineFlags, 0, good, true, DSERR_INVALIDPARAM},
        {"size below a frame", sizeof(DSBUFFERDESC), kEngineFlags, 3, good, true, DSERR_INVALIDPARAM},
        {"size above max", sizeof(DSBUFFERDESC), kEngineFlags, DSBSIZE_MAX + 1, good, true, DSERR_INVALIDPARAM},
        {"3D", sizeof(DSBUFFERDESC), DSBCAPS_CTRL3D, 4000, good, true, DSERR_CONTROLUNAVAIL},
        {"hardware and software", sizeof(DSBUFFERDESC), DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE, 4000, good, true,
         DSERR_INVALIDPARAM},
        {"primary with size", sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 4000, good, false, DSERR_INVALIDPARAM},
        {"primary with format", sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, good, true, DSERR_INVALIDPARAM},
    };
    for (const CreateCase& c : cases) {
        SCOPED_TRACE(c.what);
        WAVEFORMATEX f = c.format;
        DSBUFFERDESC d = Desc(c.flags, c.bytes, c.withFormat ? &f : nullptr);
        d.dwSize = c.size;
        IDirectSoundBuffer* out = nullptr;
        EXPECT_EQ(device_->CreateSoundBuffer(&d, &out, nullptr), c.expected);
        EXPECT_EQ(out, nullptr);
    }

    // Levels and cursors on a buffer that has the controls.
    Com<IDirectSoundBuffer8> b = Make(good, 4000);
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(DSBVOLUME_MIN - 1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetPan(DSBPAN_RIGHT + 1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetPan(DSBPAN_LEFT - 1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(99), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_MAX + 1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetCurrentPosition(4000), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFormat(&good), DSERR_INVALIDCALL);
    EXPECT_EQ(b->GetVolume(nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->GetStatus(nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->GetCurrentPosition(nullptr, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Play(1, 0, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Play(0, 5, 0), DSERR_INVALIDPARAM);
    DSBCAPS caps{};
    EXPECT_EQ(b->GetCaps(&caps), DSERR_INVALIDPARAM); // dwSize not set
    // Lock and Unlock.
    void* p1 = nullptr;
    DWORD n1 = 0;
    EXPECT_EQ(b->Lock(4000, 10, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 4001, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 0, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 10, nullptr, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    int elsewhere[4];
    EXPECT_EQ(b->Unlock(elsewhere, 4, nullptr, 0), DSERR_INVALIDPARAM);
    ASSERT_EQ(b->Lock(3990, 10, &p1, &n1, nullptr, nullptr, 0), DS_OK);
    EXPECT_EQ(b->Unlock(p1, n1 + 1, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);

    // Controls the buffer was not created with.
    Com<IDirectSoundBuffer8> bare = Make(good, 4000, {}, 0);
    LONG level = 0;
    DWORD frequency = 0;
    EXPECT_EQ(bare->SetVolume(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(bare->GetPan(&level), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(bare->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(bare->GetFrequency(&frequency), DSERR_CONTROLUNAVAIL);

    // The primary buffer's samples and cursor are not reachable; its format needs priority.
    DSBUFFERDESC pd{};
    pd.dwSize = sizeof(pd);
    pd.dwFlags = DSBCAPS_PRIMARYBUFFER;
    Com<IDirectSoundBuffer> primary;
    ASSERT_EQ(device_->CreateSoundBuffer(&pd, primary.Out(), nullptr), DS_OK);
    EXPECT_EQ(primary->Lock(0, 4, &p1, &n1, nullptr, nullptr, 0), DSERR_PRIOLEVELNEEDED);
    EXPECT_EQ(primary->SetCurrentPosition(0), DSERR_INVALIDCALL);
    EXPECT_EQ(primary->SetVolume(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(primary->SetFormat(&floatFormat), DSERR_BADFORMAT);
    ASSERT_EQ(device_->SetCooperativeLevel(Window(), DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(primary->SetFormat(&good), DSERR_PRIOLEVELNEEDED);

    // Cooperative levels.
    EXPECT_EQ(device_->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DSERR_INVALIDPARAM);
    EXPECT_EQ(device_->SetCooperativeLevel(Window(), 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(device_->SetCooperativeLevel(Window(), 5), DSERR_INVALIDPARAM);
}

TEST(DeviceCreateTest, CreationChecksItsArgumentsAndPlayNeedsACooperativeLevel)
{
    ASSERT_EQ(platctl_dsound_use_output(PLATCTL_DSOUND_MANUAL), PLATCTL_DSOUND_MANUAL);
    EXPECT_EQ(DirectSoundCreate8(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
    IDirectSound8* sound = reinterpret_cast<IDirectSound8*>(&sound);
    int outer;
    EXPECT_EQ(DirectSoundCreate8(nullptr, &sound, reinterpret_cast<IUnknown*>(&outer)), DSERR_NOAGGREGATION);
    EXPECT_EQ(sound, nullptr);
    const GUID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(DirectSoundCreate8(&other, &sound, nullptr), DSERR_NODRIVER);
    ASSERT_EQ(DirectSoundCreate8(&DSDEVID_DefaultPlayback, &sound, nullptr), DS_OK);
    soundtest::Com<IDirectSound8> device(sound);
    WAVEFORMATEX f = Pcm(1, 16, 44100);
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwBufferBytes = 100;
    desc.lpwfxFormat = &f;
    soundtest::Com<IDirectSoundBuffer> buffer;
    ASSERT_EQ(device->CreateSoundBuffer(&desc, buffer.Out(), nullptr), DS_OK);
    EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_PRIOLEVELNEEDED);
    static int window;
    ASSERT_EQ(device->SetCooperativeLevel(&window, DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(buffer->Play(0, 0, 0), DS_OK);
    // A buffer keeps its device alive; both go with the last reference.
    device.Reset();
    EXPECT_EQ(platctl_dsound_live_objects(), 2u);
    EXPECT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    buffer.Reset();
    EXPECT_EQ(platctl_dsound_live_objects(), 0u);
}
