// device.cpp - DirectSoundCreate8 and the device object.
#include "device.h"
#include "com_object.h"

#include "mixer.h"
#include "output.h"

#include "control_dsound.h"

#include <new>

namespace plat::dsound {

std::atomic<uint32_t> g_liveObjects{0};

HRESULT CheckPcmFormat(const WAVEFORMATEX* format)
{
    if (!format)
        return DSERR_INVALIDPARAM;
    if (format->wFormatTag != WAVE_FORMAT_PCM)
        return DSERR_BADFORMAT;
    if ((format->nChannels != 1 && format->nChannels != 2) ||
        (format->wBitsPerSample != 8 && format->wBitsPerSample != 16))
        return DSERR_BADFORMAT;
    if (format->nSamplesPerSec < DSBFREQUENCY_MIN || format->nSamplesPerSec > DSBFREQUENCY_MAX)
        return DSERR_INVALIDPARAM;
    if (format->nBlockAlign != format->nChannels * format->wBitsPerSample / 8)
        return DSERR_INVALIDPARAM;
    return DS_OK;
}

Device::Device()
{
    ++g_liveObjects;
    AttachDevice();
}

Device::~Device()
{
    DetachDevice();
    --g_liveObjects;
}

HRESULT Device::QueryInterface(REFIID iid, void** object)
{
    return plat::com::QueryAs(static_cast<IDirectSound8*>(this), iid, object, {IID_IDirectSound, IID_IDirectSound8});
}

ULONG Device::AddRef()
{
    return ++refs_;
}

ULONG Device::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT Device::CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, IUnknown* outer)
{
    if (!desc || !buffer)
        return DSERR_INVALIDPARAM;
    if (outer)
        return DSERR_NOAGGREGATION;
    if (desc->dwSize != sizeof(DSBUFFERDESC) && desc->dwSize != DSBUFFERDESC_SIZE32)
        return DSERR_INVALIDPARAM;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat)
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> hold(primaryLock_);
        if (!primary_ || !TryAddRefPrimary(primary_)) {
            PrimaryBuffer* created = nullptr;
            const HRESULT hr = CreatePrimaryBuffer(this, desc->dwFlags, &created);
            if (FAILED(hr))
                return hr;
            primary_ = created;
        }
        *buffer = AsBuffer(primary_);
        return DS_OK;
    }
    return CreateSecondaryBuffer(this, *desc, buffer);
}

HRESULT Device::SetCooperativeLevel(HWND window, DWORD level)
{
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY)
        return DSERR_INVALIDPARAM;
    if (!window)
        return DSERR_INVALIDPARAM;
    // Writing the mix directly is not offered: the mixer owns the output.
    if (level == DSSCL_WRITEPRIMARY)
        return DSERR_UNSUPPORTED;
    level_.store(level);
    return DS_OK;
}

void Device::ForgetPrimary(PrimaryBuffer* primary)
{
    std::lock_guard<std::mutex> hold(primaryLock_);
    if (primary_ == primary)
        primary_ = nullptr;
}

} // namespace plat::dsound

PLAT_API HRESULT DirectSoundCreate8(const GUID* device, LPDIRECTSOUND8* sound, IUnknown* outer)
{
    if (!sound)
        return DSERR_INVALIDPARAM;
    *sound = nullptr;
    if (outer)
        return DSERR_NOAGGREGATION;
    if (device && !(*device == GUID_NULL) && !(*device == DSDEVID_DefaultPlayback))
        return DSERR_NODRIVER;
    auto* created = new (std::nothrow) plat::dsound::Device;
    if (!created)
        return DSERR_OUTOFMEMORY;
    *sound = created;
    return DS_OK;
}

PLATCTL_API uint32_t platctl_dsound_live_objects(void)
{
    return plat::dsound::g_liveObjects.load();
}
