// buffer_primary.cpp - the primary buffer: the device's mix as a buffer object.
//
// It carries the primary format and the master volume and pan; its samples cannot be reached.
// LIMITATIONS: the mix is always 44100 Hz 16-bit stereo; SetFormat records any valid PCM format
// (GetFormat reports it) but does not change what the mixer produces.
#include "device.h"
#include "com_object.h"
#include "mixer.h"

#include <new>

namespace plat::dsound {

class PrimaryBuffer final : public IDirectSoundBuffer {
public:
    PrimaryBuffer(Device* device, DWORD flags) : device_(device), flags_(flags)
    {
        device_->AddRef();
        ++g_liveObjects;
        format_.wFormatTag = WAVE_FORMAT_PCM;
        format_.nChannels = 2;
        format_.nSamplesPerSec = kMixRate;
        format_.wBitsPerSample = 16;
        format_.nBlockAlign = 4;
        format_.nAvgBytesPerSec = 4 * kMixRate;
    }
    virtual ~PrimaryBuffer()
    {
        device_->Release();
        --g_liveObjects;
    }
    PrimaryBuffer(const PrimaryBuffer&) = delete;
    PrimaryBuffer& operator=(const PrimaryBuffer&) = delete;

    bool TryAddRef()
    {
        ULONG n = refs_.load();
        while (n != 0)
            if (refs_.compare_exchange_weak(n, n + 1))
                return true;
        return false;
    }

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return plat::com::QueryAs(static_cast<IDirectSoundBuffer*>(this), iid, object, {IID_IDirectSoundBuffer});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) {
            device_->ForgetPrimary(this);
            delete this;
        }
        return left;
    }

    HRESULT GetCaps(LPDSBCAPS caps) override
    {
        if (!caps || caps->dwSize != sizeof(DSBCAPS))
            return DSERR_INVALIDPARAM;
        caps->dwFlags = flags_ | DSBCAPS_PRIMARYBUFFER | DSBCAPS_LOCSOFTWARE;
        caps->dwBufferBytes = kSliceFrames * 4;
        caps->dwUnlockTransferRate = 0;
        caps->dwPlayCpuOverhead = 0;
        return DS_OK;
    }
    HRESULT GetCurrentPosition(DWORD*, DWORD*) override { return DSERR_INVALIDCALL; }
    HRESULT GetFormat(LPWAVEFORMATEX format, DWORD size, DWORD* written) override
    {
        if (!format && !written)
            return DSERR_INVALIDPARAM;
        if (format) {
            if (size < sizeof(WAVEFORMATEX))
                return DSERR_INVALIDPARAM;
            std::lock_guard<std::mutex> hold(lock_);
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
        std::lock_guard<std::mutex> hold(lock_);
        *volume = volume_;
        return DS_OK;
    }
    HRESULT GetPan(LONG* pan) override
    {
        if (!pan)
            return DSERR_INVALIDPARAM;
        if (!(flags_ & DSBCAPS_CTRLPAN))
            return DSERR_CONTROLUNAVAIL;
        std::lock_guard<std::mutex> hold(lock_);
        *pan = pan_;
        return DS_OK;
    }
    // The mix runs at its own rate.
    HRESULT GetFrequency(DWORD*) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetStatus(DWORD* status) override
    {
        if (!status)
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(lock_);
        *status = playing_ ? DSBSTATUS_PLAYING | DSBSTATUS_LOOPING : 0;
        return DS_OK;
    }
    // Writing the mix needs DSSCL_WRITEPRIMARY, which this device does not offer.
    HRESULT Lock(DWORD, DWORD, void**, DWORD*, void**, DWORD*, DWORD) override { return DSERR_PRIOLEVELNEEDED; }
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DSERR_PRIOLEVELNEEDED; }
    // The mixer runs whenever a secondary buffer plays; Play and Stop only record the request.
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override
    {
        if (reserved != 0 || priority != 0 || !(flags & DSBPLAY_LOOPING))
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(lock_);
        playing_ = true;
        return DS_OK;
    }
    HRESULT Stop() override
    {
        std::lock_guard<std::mutex> hold(lock_);
        playing_ = false;
        return DS_OK;
    }
    HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT SetFormat(LPCWAVEFORMATEX format) override
    {
        const HRESULT check = CheckPcmFormat(format);
        if (FAILED(check))
            return check;
        if (device_->Level() < DSSCL_PRIORITY)
            return DSERR_PRIOLEVELNEEDED;
        std::lock_guard<std::mutex> hold(lock_);
        format_ = *format;
        format_.nAvgBytesPerSec = format_.nSamplesPerSec * format_.nBlockAlign;
        format_.cbSize = 0;
        return DS_OK;
    }
    HRESULT SetVolume(LONG volume) override
    {
        if (!(flags_ & DSBCAPS_CTRLVOLUME))
            return DSERR_CONTROLUNAVAIL;
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX)
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(lock_);
        volume_ = volume;
        ApplyMaster();
        return DS_OK;
    }
    HRESULT SetPan(LONG pan) override
    {
        if (!(flags_ & DSBCAPS_CTRLPAN))
            return DSERR_CONTROLUNAVAIL;
        if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT)
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(lock_);
        pan_ = pan;
        ApplyMaster();
        return DS_OK;
    }
    HRESULT SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT Restore() override { return DS_OK; }

private:
    // lock_ held.
    void ApplyMaster()
    {
        float left = 1.0f;
        float right = 1.0f;
        GainsFor(volume_, pan_, left, right);
        Mixer::Instance().SetMasterGain(left, right);
    }

    std::atomic<ULONG> refs_{1};
    Device* const device_; // counted
    const DWORD flags_;
    std::mutex lock_;
    WAVEFORMATEX format_{};   // guarded by lock_
    LONG volume_ = 0;         // guarded by lock_
    LONG pan_ = 0;            // guarded by lock_
    bool playing_ = false;    // guarded by lock_
};

HRESULT CreatePrimaryBuffer(Device* device, DWORD flags, PrimaryBuffer** buffer)
{
    auto* created = new (std::nothrow) PrimaryBuffer(device, flags);
    if (!created)
        return DSERR_OUTOFMEMORY;
    *buffer = created;
    return DS_OK;
}

bool TryAddRefPrimary(PrimaryBuffer* buffer)
{
    return buffer->TryAddRef();
}

IDirectSoundBuffer* AsBuffer(PrimaryBuffer* buffer)
{
    return buffer;
}

} // namespace plat::dsound
