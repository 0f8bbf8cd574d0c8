// win_user.h - window handles, rectangles, the message box and the screen device context.
// Implemented by libplat_user.so.
//
// A window handle is the host's SDL_Window* (opaque here). The screen device context
// (GetDC(NULL)) answers the display queries the engine makes: the refresh rate and the size
// and depth of the desktop, all read from SDL's desktop mode.
#pragma once

#include "win_kernel.h"

#ifndef VEL_HWND_DEFINED
#define VEL_HWND_DEFINED
using HWND = void*;
#endif

#ifndef VEL_RECT_DEFINED
#define VEL_RECT_DEFINED
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
struct POINT {
    LONG x;
    LONG y;
};
#endif

struct HDC__;
using HDC = HDC__*;

// --- message box ------------------------------------------------------------------------------
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr INT IDOK = 1;
inline constexpr INT IDCANCEL = 2;
inline constexpr INT IDYES = 6;
inline constexpr INT IDNO = 7;

// Shows a modal message box (an SDL message box) and returns the button pressed: IDOK for MB_OK.
// While the control API records message boxes, nothing is shown and IDOK is returned at once.
// Null text or caption count as empty strings. Returns 0 if no box could be shown.
PLAT_API INT MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// --- screen device context --------------------------------------------------------------------
inline constexpr INT HORZRES = 8;
inline constexpr INT VERTRES = 10;
inline constexpr INT BITSPIXEL = 12;
inline constexpr INT VREFRESH = 116;

// GetDC(NULL) gives the screen device context; a window's own context is not supported (null).
PLAT_API HDC GetDC(HWND window);
PLAT_API INT ReleaseDC(HWND window, HDC dc);
// VREFRESH: the desktop refresh rate in Hz (0 if unknown); HORZRES, VERTRES, BITSPIXEL: the
// desktop size and depth. Any other index, or a context not from GetDC, gives 0.
PLAT_API INT GetDeviceCaps(HDC dc, INT index);
