// ID3DBackBuffer.h - pixel access to the device's back buffer (capture and write-back).
#pragma once

#include "VELInterface.h"

namespace VEL {

// Reads the rendered frame into, and writes it from, an array of GetWidth() x GetHeight()
// A8R8G8B8 pixels (rows top to bottom, no padding). Create fixes the size; after a change of
// back-buffer size, Destroy and Create again.
class ID3DBackBuffer : public IVELInterface {
public:
    virtual uint32_t GetWidth() = 0;
    virtual uint32_t GetHeight() = 0;
    // Needs a device with a 32-bit (X8R8G8B8) or 16-bit (R5G6B5) back buffer; false if already
    // created.
    virtual bool Create() = 0;
    virtual void Destroy() = 0;
    // Copies the back buffer out; alpha reads as 0xFF. False while the device is lost.
    virtual bool Read(uint32_t* pixels) = 0;
    // Copies the pixels into the back buffer (16-bit buffers keep each channel's high bits).
    virtual void Write(const uint32_t* pixels) = 0;
};

// IVELD3D::CreateInterface id of a new back-buffer object.
inline constexpr GUID IID_ID3DBackBuffer = {0x546D8D2B, 0x37CB, 0x4493, {0x90, 0xD4, 0xD5, 0xEB, 0xE1, 0x4E, 0x3B, 0x26}};

} // namespace VEL
