// ID3DTexture.h - a texture of the graphics module, filled by the host and drawn by the renderers.
#pragma once

#include "D3DTypes.h"
#include "VELInterface.h"

namespace VEL {

// One 2D texture in video memory, allocated at power-of-two sizes. It is lost with the device
// and made again, cleared to zero, after every ResetDevice: refill it then. Lock and Unlock may
// run on another thread than drawing; renderers wait (up to 10 s) while it is locked.
class ID3DTexture : public IVELInterface {
public:
    // The size asked for at Create.
    virtual uint32_t GetWidth() = 0;
    virtual uint32_t GetHeight() = 0;
    // depth 0: 32-bit pixels (A8R8G8B8, or X8R8G8B8 for a render target); 1: 16-bit (A4R4G4B4,
    // or R5G6B5). A render target can be set with IVELD3D::SetRenderTarget. Zero sizes or a
    // depth of 2 or more are ignored with a true result. Needs a device; contents start zero.
    virtual bool Create(uint32_t width, uint32_t height, int32_t depth, bool renderTarget) = 0;
    virtual void Destroy() = 0;
    // Locks the whole allocated area; fails while already locked or not created. keepStaging
    // keeps the system-memory copy after Unlock, so a later Lock sees the pixels written last.
    virtual bool Lock(D3DLockedRect* out, bool keepStaging) = 0;
    // Uploads what was written and releases the lock; nothing when not locked.
    virtual void Unlock() = 0;
    // The allocated (power-of-two) size.
    virtual uint32_t GetTextureWidth() = 0;
    virtual uint32_t GetTextureHeight() = 0;
};

// IVELD3D::CreateInterface id of a new, empty ID3DTexture.
inline constexpr GUID IID_ID3DTexture = {0xACC34C37, 0x4DBB, 0x4FFC, {0x9C, 0x1E, 0x39, 0x69, 0x89, 0x71, 0x21, 0xC9}};

} // namespace VEL
