// VELDS.h - CVELDS, the sound library's root object, and the device query its objects use.
#pragma once

#include "IVELDS.h"
#include "VELObject.h"
#include "dsound.h"

namespace VEL {

// Owns the module's audio device from Initialize to Uninitialize (or destruction). Not locked.
class CVELDS : public TVELObject<IVELDS> {
public:
    CVELDS() = default;
    IVELInterface* CreateInterface(const GUID* id) override;
    bool Initialize(void* window) override;
    void Uninitialize() override;
    ~CVELDS() override;

private:
    IDirectSound8* device_ = nullptr; // counted reference; null while unbound
};

// The root's device at this moment, borrowed (not referenced, never kept beyond the call that
// needs it); null while the root is unbound.
inline IDirectSound8* QueryDevice(IVELDS* root)
{
    return reinterpret_cast<IDirectSound8*>(root->CreateInterface(&IID_VELDSDevice));
}

// Bytes of silence for a sample width: 8-bit PCM is unsigned around 0x80, 16-bit signed around 0.
inline uint8_t SilenceByte(uint16_t bitsPerSample) { return bitsPerSample == 8 ? 0x80 : 0x00; }

// Description size the module passes: the 32-bit layout's, which the device accepts.
inline constexpr DWORD kBufferDescSize = 36;
// Flags of every secondary buffer the module makes.
inline constexpr DWORD kSecondaryFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                                         DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS |
                                         DSBCAPS_GETCURRENTPOSITION2;
static_assert(kSecondaryFlags == 0x181E8);

} // namespace VEL
