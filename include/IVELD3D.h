// IVELD3D.h - the graphics library's root (libVELD3D6): device, frame calls, render target.
#pragma once

#include "D3DTypes.h"
#include "ID3DBackBuffer.h"
#include "ID3DLineRender.h"
#include "ID3DRender.h"
#include "ID3DTexture.h"
#include "ID3DTriangleRender.h"

namespace VEL {

// Shader effects come with a later version of the library; CreateEffect returns null until then.
class ID3DEffect;

// Owns one device for the host's window and everything per device. Each frame: BeginScene,
// Clear, renderer flushes, EndScene, Present. When Present returns false the device is lost:
// poll TestCooperativeLevel until it reports "not reset" (0x88760869), then ResetDevice; the
// root rebuilds its textures (cleared to zero: refill them) and renderers around the reset.
// Sub-objects hold a reference to the root, so it lives until the last of them is released.
class IVELD3D : public IVELInterface {
public:
    // A new object for IID_ID3DRender, IID_ID3DLineRender, IID_ID3DTriangleRender,
    // IID_ID3DTexture or IID_ID3DBackBuffer (count 1). ID_D3DDirect3D and ID_D3DDevice give the
    // platform's IDirect3D9 and this root's IDirect3DDevice9 without a reference (null without
    // one). IID_ID3DVideoTexture returns null in this version. Anything else: null.
    virtual IVELInterface* CreateInterface(const GUID* id) = 0;
    // Fills the record for a width x height display in colour format `colourFormat`
    // (0: 32-bit X8R8G8B8, 1: 16-bit R5G6B5); false for a zero size or a format of 2 or more.
    virtual bool GetAdapterInfo(AdapterInfo* out, uint32_t width, uint32_t height, int32_t colourFormat) = 0;
    // Free video memory in bytes (0 when unknown).
    virtual uint32_t GetFreeVideoMemory() = 0;
    // window: the host's SDL_Window*. level: vertex processing 0 hardware, 1 mixed, 2 software;
    // it must be supported (no fallback). Full screen needs a display mode of exactly this size
    // at the current refresh rate. False when a device exists already.
    virtual bool CreateDevice(void* window, int32_t level, uint32_t width, uint32_t height, bool fullScreen,
                              int32_t colourFormat) = 0;
    // Releases the device (waits up to 10 s for textures locked on other threads).
    virtual bool ReleaseDevice() = 0;
    // Resets the device with a new size and mode; up to 10 tries 100 ms apart.
    virtual bool ResetDevice(uint32_t width, uint32_t height, bool fullScreen, int32_t colourFormat) = 0;
    // The current render target texture, or null for the back buffer (no reference added).
    virtual ID3DTexture* GetRenderTarget() = 0;
    // Redirects drawing to a texture created as a render target, or back to the back buffer
    // (null). The viewport follows the target's size.
    virtual bool SetRenderTarget(ID3DTexture* target) = 0;
    // Clears colour (A8R8G8B8) and depth of the current target.
    virtual void Clear(uint32_t colour) = 0;
    virtual bool BeginScene() = 0;
    virtual void EndScene() = 0;
    // False only when the device is lost.
    virtual bool Present() = 0;
    // The device's cooperative level (an HRESULT), 0x8876086C without a device.
    virtual int32_t TestCooperativeLevel() = 0;
    // Not available in this version: returns null.
    virtual ID3DEffect* CreateEffect(const char* source) = 0;
};

// Ids for IVELD3D::CreateInterface.
inline constexpr GUID IID_ID3DVideoTexture = {0x7D0611D1, 0x6A53, 0x4FF3, {0x9A, 0x82, 0xFC, 0xC7, 0x16, 0xCF, 0x50, 0x68}};
inline constexpr GUID ID_D3DDirect3D = {0x8E7AF663, 0xB870, 0x4FCC, {0x97, 0xC3, 0x7E, 0x59, 0x35, 0x50, 0xA9, 0x34}};
inline constexpr GUID ID_D3DDevice = {0x400C805C, 0x6642, 0x4B57, {0xB2, 0xA0, 0x20, 0x8C, 0x7C, 0x1B, 0xD3, 0xF6}};

} // namespace VEL
