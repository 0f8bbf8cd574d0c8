// device.h - the sound device object and its buffers (internal).
//
// Ownership: every buffer holds a reference to the device that made it, so a device lives until
// its last buffer is released. The device keeps an uncounted pointer to its primary buffer (at
// most one), which the primary clears as it dies. Reference counts are atomic.
#pragma once

#include "dsound.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace plat::dsound {

// Devices and buffers alive in the process (platctl_dsound_live_objects).
extern std::atomic<uint32_t> g_liveObjects;

// A PCM format a buffer can hold, or the result code that refuses it.
HRESULT CheckPcmFormat(const WAVEFORMATEX* format);

class PrimaryBuffer;

class Device final : public IDirectSound8 {
public:
    Device();
    virtual ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, IUnknown* outer) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD level) override;

    // 0 until SetCooperativeLevel succeeds.
    DWORD Level() const { return level_.load(); }
    // Called by a dying primary buffer.
    void ForgetPrimary(PrimaryBuffer* primary);

private:
    std::atomic<ULONG> refs_{1};
    std::atomic<DWORD> level_{0};
    std::mutex primaryLock_;
    PrimaryBuffer* primary_ = nullptr; // guarded by primaryLock_; not counted
};

// buffer_primary.cpp / buffer_secondary.cpp. Each returns DS_OK with one reference in *buffer, or
// an error with *buffer untouched.
HRESULT CreatePrimaryBuffer(Device* device, DWORD flags, PrimaryBuffer** buffer);
// Takes a reference; false (and nothing taken) once the count has reached 0.
bool TryAddRefPrimary(PrimaryBuffer* buffer);
IDirectSoundBuffer* AsBuffer(PrimaryBuffer* buffer);
HRESULT CreateSecondaryBuffer(Device* device, const DSBUFFERDESC& desc, IDirectSoundBuffer** buffer);

} // namespace plat::dsound
