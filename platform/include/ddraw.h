// ddraw.h - the DirectDraw subset the engine uses: only the video-memory figures.
// Implemented by libplat_d3d9.so, which owns the video-memory accounting of the software device.
#pragma once

#include "win_com.h"
#include "win_kernel.h" // PLAT_API

inline constexpr HRESULT DD_OK = S_OK;
inline constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
inline constexpr HRESULT DDERR_INVALIDOBJECT = static_cast<HRESULT>(0x88760082u);

// The driver capabilities record, 380 bytes. Only the header and the memory figures are named;
// the caller sets dwSize to the size of the record it passes.
struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCKeyCaps;
    DWORD dwFXCaps;
    DWORD dwFXAlphaCaps;
    DWORD dwPalCaps;
    DWORD dwSVCaps;
    DWORD dwAlphaBltConstBitDepths;
    DWORD dwAlphaBltPixelBitDepths;
    DWORD dwAlphaBltSurfaceBitDepths;
    DWORD dwAlphaOverlayConstBitDepths;
    DWORD dwAlphaOverlayPixelBitDepths;
    DWORD dwAlphaOverlaySurfaceBitDepths;
    DWORD dwZBufferBitDepths;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DWORD dwReserved[(380 - 17 * 4) / 4];
};
static_assert(sizeof(DDCAPS) == 380, "DDCAPS is 380 bytes");
using LPDDCAPS = DDCAPS*;

struct IDirectDraw : IUnknown {
    // Fills the records that are not null; each must carry dwSize 380. Total and free video
    // memory are the software device's figures (free goes down as default-pool resources live).
    virtual HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) = 0;
};

// guid must be null (the primary display); outer must be null.
PLAT_API HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** object, IUnknown* outer);
