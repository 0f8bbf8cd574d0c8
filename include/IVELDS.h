// IVELDS.h - the sound library's root: the audio device and the factory of sound objects.
#pragma once

#include "IDSMediaStream.h"
#include "IDSSoundBuffer.h"
#include "ISoundReader.h"

namespace VEL {

// Root of libVELDS6. Objects it creates hold a reference to it, so it (and its device) lives
// until the last of them is released, whatever order the host releases them in. Not locked:
// use it from one thread.
class IVELDS : public IVELInterface {
public:
    // IID_IDSMediaStream or IID_IDSSoundBuffer: a new object (count 1). IID_VELDSDevice: the
    // platform's IDirectSound8 device, borrowed (no reference added; null before Initialize).
    // Any other id: null.
    virtual IVELInterface* CreateInterface(const GUID* id) = 0;
    // Opens the default audio output for the game window (an SDL_Window* on this platform) with a
    // 44100 Hz 16-bit stereo mix. False for a null window, when already initialised, or when the
    // output cannot be set up (then Uninitialize is needed before another try).
    virtual bool Initialize(void* window) = 0;
    // Drops the device; sounds made earlier keep their buffers but cannot load or open again
    // until Initialize.
    virtual void Uninitialize() = 0;
};

inline constexpr GUID IID_IDSMediaStream = {0x855D37AD, 0xAFC1, 0x4E13, {0x8A, 0x4E, 0xDF, 0xA4, 0x8F, 0x1B, 0x92, 0x99}};
inline constexpr GUID IID_IDSSoundBuffer = {0x69EA6B82, 0x4BF4, 0x4379, {0x9F, 0x1B, 0x8B, 0x2D, 0x92, 0xB2, 0x29, 0xAE}};
inline constexpr GUID IID_VELDSDevice = {0xCF83BE08, 0xDFD1, 0x4979, {0x91, 0x38, 0x94, 0x98, 0x94, 0x02, 0xDA, 0xE2}};

} // namespace VEL
