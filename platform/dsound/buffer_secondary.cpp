// buffer_secondary.cpp - a secondary buffer: PCM bytes the caller fills, played by the mixer.
//
// The bytes are handed out by Lock and read by the mixer on the output's thread, as with a sound
// card's buffer: the caller writes only where the play cursor is not. Lock and Unlock pass
// through the mixer's lock so that those writes are ordered with the mixer's reads. Everything
// else the mixer reads lives in the Voice, guarded by the mixer's lock.
#include "device.h"
#include "com_object.h"
#include "mixer.h"

#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace plat::dsound {

namespace {

// The most notification positions one buffer takes.
constexpr DWORD kMaxNotifications = 100000;

class SecondaryBuffer final : public IDirectSoundBuffer8, public IDirectSoundNotify {
public:
    SecondaryBuffer(Device* device, DWORD flags, const WAVEFORMATEX& format, std::unique_ptr<uint8_t[]> data,
                    DWORD bytes)
        : device_(device), flags_(flags), format_(format), data_(std::move(data))
    {
        device_->AddRef();
        ++g_liveObjects;
        format_.nAvgBytesPerSec = format_.nSamplesPerSec * format_.nBlockAlign;
        format_.cbSize = 0;
        voice_.data = data_.get();
        voice_.bytes = bytes;
        voice_.align = format_.nBlockAlign;
        voice_.frames = bytes / voice_.align;
        voice_.channels = format_.nChannels;
        voice_.bits = format_.wBitsPerSample;
        voice_.rate = format_.nSamplesPerSec;
        voice_.step = Voice::StepFor(voice_.rate);
        Mixer::Instance().Add(&voice_);
    }
    virtual ~SecondaryBuffer()
    {
        Mixer::Instance().Remove(&voice_);
        device_->Release();
        --g_liveObjects;
    }
    SecondaryBuffer(const SecondaryBuffer&) = delete;
    SecondaryBuffer& operator=(const SecondaryBuffer&) = delete;

    IDirectSoundBuffer* AsBuffer() { return static_cast<IDirectSoundBuffer8*>(this); }

    // --- IUnknown (shared by both interfaces) ---
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        // The notification interface exists only on buffers made with position notification.
        if (iid == IID_IDirectSoundNotify && (flags_ & DSBCAPS_CTRLPOSITIONNOTIFY))
            return plat::com::QueryAs(static_cast<IDirectSoundNotify*>(this), iid, object, {IID_IDirectSoundNotify});
        return plat::com::QueryAs(static_cast<IDirectSoundBuffer8*>(this), iid, object,
                                  {IID_IDirectSoundBuffer, IID_IDirectSoundBuffer8});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    // --- IDirectSoundBuffer ---
    HRESULT GetCaps(LPDSBCAPS caps) override
    {
        if (!caps || caps->dwSize != sizeof(DSBCAPS))
            return DSERR_INVALIDPARAM;
        caps->dwFlags = flags_ | DSBCAPS_LOCSOFTWARE;
        caps->dwBufferBytes = voice_.bytes;
        caps->dwUnlockTransferRate = 0;
        caps->dwPlayCpuOverhead = 0;
        return DS_OK;
    }

    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override
    {
        if (!play && !write)
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        // The mixer has consumed everything before the play cursor, so writing may start there.
        const DWORD cursor = voice_.PlayCursor();
        if (play)
            *play = cursor;
        if (write)
            *write = cursor;
        return DS_OK;
    }

    HRESULT GetFormat(LPWAVEFORMATEX format, DWORD size, DWORD* written) override
    {
        if (!format && !written)
            return DSERR_INVALIDPARAM;
        if (format) {
            if (size < sizeof(WAVEFORMATEX))
                return DSERR_INVALIDPARAM;
            *format = format_;
        }
        if (written)
            *written = sizeof(WAVEFORMATEX);
        return DS_OK;
    }

    HRESULT GetVolume(LONG* volume) override
    {
        if (!volume)
            return DSERR_INVALIDPARAM;
        if (!(flags_ & DSBCAPS_CTRLVOLUME))
            return DSERR_CONTROLUNAVAIL;
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        *volume = volume_;
        return DS_OK;
    }

    HRESULT GetPan(LONG* pan) override
    {
        if (!pan)
            return DSERR_INVALIDPARAM;
        if (!(flags_ & DSBCAPS_CTRLPAN))
            return DSERR_CONTROLUNAVAIL;
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        *pan = pan_;
        return DS_OK;
    }

    HRESULT GetFrequency(DWORD* frequency) override
    {
        if (!frequency)
            return DSERR_INVALIDPARAM;
        if (!(flags_ & DSBCAPS_CTRLFREQUENCY))
            return DSERR_CONTROLUNAVAIL;
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        *frequency = frequency_ != DSBFREQUENCY_ORIGINAL ? frequency_ : voice_.rate;
        return DS_OK;
    }

    HRESULT GetStatus(DWORD* status) override
    {
        if (!status)
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        *status = voice_.playing ? DSBSTATUS_PLAYING | (voice_.looping ? DSBSTATUS_LOOPING : 0) : 0;
        return DS_OK;
    }

    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                 DWORD flags) override
    {
        if (!part1 || !bytes1)
            return DSERR_INVALIDPARAM;
        const DWORD size = voice_.bytes;
        if (flags & DSBLOCK_ENTIREBUFFER)
            bytes = size;
        {
            // Taking the mixer's lock orders the caller's writes after the mixer's earlier reads
            // (and Unlock orders them before its later ones).
            std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
            if (flags & DSBLOCK_FROMWRITECURSOR)
                offset = voice_.PlayCursor();
        }
        if (offset >= size || bytes == 0 || bytes > size)
            return DSERR_INVALIDPARAM;
        const DWORD first = std::min(bytes, size - offset);
        const DWORD rest = bytes - first;
        const bool wrapWanted = part2 && bytes2;
        *part1 = data_.get() + offset;
        *bytes1 = first;
        if (part2)
            *part2 = wrapWanted && rest > 0 ? data_.get() : nullptr;
        if (bytes2)
            *bytes2 = wrapWanted ? rest : 0;
        return DS_OK;
    }

    HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) override
    {
        const uint8_t* begin = data_.get();
        const uint8_t* end = begin + voice_.bytes;
        const auto* p1 = static_cast<const uint8_t*>(part1);
        if (!p1 || p1 < begin || p1 >= end || bytes1 > static_cast<size_t>(end - p1))
            return DSERR_INVALIDPARAM;
        if (part2 && (part2 != begin || bytes2 > voice_.bytes))
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        return DS_OK;
    }

    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override
    {
        if (reserved != 0)
            return DSERR_INVALIDPARAM;
        if (priority != 0 && !(flags_ & DSBCAPS_LOCDEFER))
            return DSERR_INVALIDPARAM;
        if (device_->Level() == 0)
            return DSERR_PRIOLEVELNEEDED;
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        voice_.looping = (flags & DSBPLAY_LOOPING) != 0;
        voice_.playing = true;
        return DS_OK;
    }

    HRESULT SetCurrentPosition(DWORD position) override
    {
        if (position >= voice_.bytes)
            return DSERR_INVALIDPARAM;
        uint32_t frame = position / voice_.align;
        // The partial frame at the end of an odd-sized buffer is never played: its start is the
        // start of the next pass.
        if (frame >= voice_.frames)
            frame = 0;
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        voice_.position = static_cast<uint64_t>(frame) << 32;
        return DS_OK;
    }

    HRESULT SetFormat(LPCWAVEFORMATEX) override { return DSERR_INVALIDCALL; }

    HRESULT SetVolume(LONG volume) override
    {
        if (!(flags_ & DSBCAPS_CTRLVOLUME))
            return DSERR_CONTROLUNAVAIL;
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX)
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        volume_ = volume;
        GainsFor(volume_, pan_, voice_.gainLeft, voice_.gainRight);
        return DS_OK;
    }

    HRESULT SetPan(LONG pan) override
    {
        if (!(flags_ & DSBCAPS_CTRLPAN))
            return DSERR_CONTROLUNAVAIL;
        if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT)
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        pan_ = pan;
        GainsFor(volume_, pan_, voice_.gainLeft, voice_.gainRight);
        return DS_OK;
    }

    HRESULT SetFrequency(DWORD frequency) override
    {
        if (!(flags_ & DSBCAPS_CTRLFREQUENCY))
            return DSERR_CONTROLUNAVAIL;
        if (frequency != DSBFREQUENCY_ORIGINAL && (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX))
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        frequency_ = frequency;
        voice_.step = Voice::StepFor(frequency != DSBFREQUENCY_ORIGINAL ? frequency : voice_.rate);
        return DS_OK;
    }

    HRESULT Stop() override
    {
        std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
        Mixer::StopVoice(voice_);
        return DS_OK;
    }

    HRESULT Restore() override { return DS_OK; }

    // --- IDirectSoundNotify ---
    HRESULT SetNotificationPositions(DWORD count, LPCDSBPOSITIONNOTIFY positions) override
    {
        if (count > 0 && !positions)
            return DSERR_INVALIDPARAM;
        if (count > kMaxNotifications)
            return DSERR_INVALIDPARAM;
        for (DWORD i = 0; i < count; ++i) {
            const DSBPOSITIONNOTIFY& n = positions[i];
            if (n.dwOffset != DSBPN_OFFSETSTOP && n.dwOffset >= voice_.bytes)
                return DSERR_INVALIDPARAM;
            if (!n.hEventNotify || n.hEventNotify == INVALID_HANDLE_VALUE)
                return DSERR_INVALIDPARAM;
        }
        std::vector<DSBPOSITIONNOTIFY> list;
        try {
            list.assign(positions, positions + count);
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        {
            std::lock_guard<std::mutex> hold(Mixer::Instance().Lock());
            if (voice_.playing)
                return DSERR_INVALIDCALL;
            voice_.notifications.swap(list);
        }
        return DS_OK; // the old list is freed here, outside the mixer's lock
    }

private:
    std::atomic<ULONG> refs_{1};
    Device* const device_; // counted
    const DWORD flags_;
    WAVEFORMATEX format_;
    const std::unique_ptr<uint8_t[]> data_;
    Voice voice_;
    LONG volume_ = DSBVOLUME_MAX;            // guarded by the mixer's lock
    LONG pan_ = DSBPAN_CENTER;               // guarded by the mixer's lock
    DWORD frequency_ = DSBFREQUENCY_ORIGINAL; // guarded by the mixer's lock
};

} // namespace

HRESULT CreateSecondaryBuffer(Device* device, const DSBUFFERDESC& desc, IDirectSoundBuffer** buffer)
{
    const DWORD flags = desc.dwFlags;
    if ((flags & DSBCAPS_LOCHARDWARE) && (flags & DSBCAPS_LOCSOFTWARE))
        return DSERR_INVALIDPARAM;
    // Everything is mixed in software; there are no hardware voices, 3D or effects processing.
    if (flags & (DSBCAPS_LOCHARDWARE | DSBCAPS_CTRL3D | DSBCAPS_CTRLFX))
        return DSERR_CONTROLUNAVAIL;
    const HRESULT format = CheckPcmFormat(desc.lpwfxFormat);
    if (FAILED(format))
        return format;
    const DWORD bytes = desc.dwBufferBytes;
    if (bytes < DSBSIZE_MIN || bytes > DSBSIZE_MAX || bytes < desc.lpwfxFormat->nBlockAlign)
        return DSERR_INVALIDPARAM;
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[bytes]);
    if (!data)
        return DSERR_OUTOFMEMORY;
    // A new buffer holds silence.
    std::fill(data.get(), data.get() + bytes, desc.lpwfxFormat->wBitsPerSample == 8 ? 0x80 : 0x00);
    auto* created = new (std::nothrow) SecondaryBuffer(device, flags, *desc.lpwfxFormat, std::move(data), bytes);
    if (!created)
        return DSERR_OUTOFMEMORY;
    *buffer = created->AsBuffer();
    return DS_OK;
}

} // namespace plat::dsound
