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

// GetDC(NULL) and GetDC(GetDesktopWindow()) give the screen device context; a window's own context
// is not supported (null).
PLAT_API HDC GetDC(HWND window);
PLAT_API INT ReleaseDC(HWND window, HDC dc);
// VREFRESH: the desktop refresh rate in Hz (0 if unknown); HORZRES, VERTRES, BITSPIXEL: the
// desktop size and depth. Any other index, or a context not from GetDC, gives 0.
PLAT_API INT GetDeviceCaps(HDC dc, INT index);

// --- window messages --------------------------------------------------------------------------
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using HINSTANCE = void*;
using HMODULE = void*;
#define CALLBACK

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

inline constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
inline constexpr DWORD ERROR_INVALID_HOOK_HANDLE = 1404;
inline constexpr DWORD ERROR_INVALID_HOOK_FILTER = 1426;
inline constexpr DWORD ERROR_NOT_ENOUGH_QUOTA = 1816;

using TIMERPROC = void (*)(HWND window, UINT message, UINT_PTR id, DWORD time);

// Each thread has its own queue of posted messages (at most 10000; a post beyond fails with
// ERROR_NOT_ENOUGH_QUOTA). Posting wakes the thread's MsgWaitForMultipleObjects.
//
// SDL events: the first thread that retrieves messages while SDL's video subsystem is running
// becomes the event thread. Every SDL event added to SDL's queue from then on is also posted to
// that thread as a window message (keys WM_KEYDOWN/WM_KEYUP/WM_CHAR, mouse WM_MOUSEMOVE, the
// button and wheel messages, window WM_MOVE/WM_SIZE/WM_SETFOCUS/WM_KILLFOCUS/WM_PAINT/WM_CLOSE,
// anything else WM_NULL; hwnd is the event's SDL window or null). The SDL event itself stays in
// SDL's queue for the host's own event loop: retrieving messages never removes SDL events.
// While the event thread waits in GetMessageA it pumps SDL every 10 ms, so the host's windows
// keep answering the desktop.
//
// GetMessageA waits for a message of the calling thread that passes the filter (window: null for
// any, (HWND)-1 for thread messages only, otherwise that window; range: 0, 0 for all), runs the
// WH_GETMESSAGE hooks on it and removes it. Returns 0 for WM_QUIT, -1 for a null record.
PLAT_API BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
// As GetMessageA without waiting: FALSE when nothing matches. PM_NOREMOVE leaves the message
// queued (the hooks still see it, and what they change is returned but not kept).
PLAT_API BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// No window procedures exist here: WM_TIMER with a timer procedure in lParam calls it (window,
// WM_TIMER, wParam, timeGetTime()); every other message is dropped. Returns 0.
PLAT_API LRESULT DispatchMessageA(const MSG* msg);
// Posts to a thread's queue (hwnd null).
PLAT_API BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// Posts to the queue of the thread that owns the window: the event thread for SDL windows and the
// desktop's stand-in windows, or the calling thread while there is no event thread.
PLAT_API BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
PLAT_API void PostQuitMessage(INT exitCode);

// --- desktop window, memory device contexts ---------------------------------------------------
inline constexpr DWORD DCX_WINDOW = 0x1;
inline constexpr DWORD DCX_CACHE = 0x2;
inline constexpr DWORD DCX_LOCKWINDOWUPDATE = 0x400;
struct HRGN__;
using HRGN = HRGN__*;

// The desktop window: a fixed handle standing for the whole screen.
PLAT_API HWND GetDesktopWindow();
// The screen device context (GetDC(NULL)) for the desktop window or null; null for other windows.
// Clip regions and flags are ignored.
PLAT_API HDC GetDCEx(HWND window, HRGN clip, DWORD flags);
// A memory device context; the only compatible context is the screen's (null or GetDC(NULL)).
// It serves font enumeration; nothing is drawn into it and GetDeviceCaps on it gives 0.
PLAT_API HDC CreateCompatibleDC(HDC dc);
PLAT_API BOOL DeleteDC(HDC dc);

// --- fonts ------------------------------------------------------------------------------------
inline constexpr int LF_FACESIZE = 32;
inline constexpr int LF_FULLFACESIZE = 64;
inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE DEFAULT_QUALITY = 0;
inline constexpr BYTE PROOF_QUALITY = 2;
inline constexpr BYTE ANTIALIASED_QUALITY = 4;
inline constexpr DWORD TRUETYPE_FONTTYPE = 0x4;
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_BOLD = 700;

// 60 bytes, as the system expects.
struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTA) == 60);

struct ENUMLOGFONTEXA {
    LOGFONTA elfLogFont;
    BYTE elfFullName[LF_FULLFACESIZE];
    BYTE elfStyle[LF_FACESIZE];
    BYTE elfScript[LF_FACESIZE];
};

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

struct HFONT__;
using HFONT = HFONT__*;
using HGDIOBJ = void*;

// Called once per face: the LOGFONTA is the first member of an ENUMLOGFONTEXA (full name and
// style filled in). Returning 0 ends the enumeration.
using FONTENUMPROCA = INT (*)(const LOGFONTA* font, const TEXTMETRICA* metrics, DWORD fontType, LPARAM context);

// Fonts come from fontconfig. With a face name (matched by family name, case-insensitively, as
// fontconfig matches), every face of that family is reported, the family's regular face first;
// with an empty name, the regular face of each installed family. The face name must be
// zero-terminated within its 32 bytes (otherwise nothing is reported and 0 is returned).
// Reported records carry the family name, the face's weight (100 ... 900), italic flag, charset
// ANSI_CHARSET, a nominal height of 16 and TRUETYPE_FONTTYPE; the full name and style follow in the
// ENUMLOGFONTEXA. Returns the last value the
// callback returned, 1 when nothing was reported, 0 for bad arguments. The context must be the
// screen or a memory context (or null).
PLAT_API INT EnumFontFamiliesExA(HDC dc, LOGFONTA* font, FONTENUMPROCA callback, LPARAM context, DWORD flags);
// Resolves the description to an installed face (fontconfig: family, weight, slant; an unknown
// or empty family gets fontconfig's substitute) and opens it with FreeType. Height > 0 is the cell
// height in pixels, < 0 the character (em) height, 0 the default of 16; width 0 keeps the face's
// proportions, otherwise it is the average character width. A weight of 600 or more on a face
// lighter than that is emboldened, italic on an upright face is slanted. Null for a face name not
// zero-terminated within 32 bytes, a null record, or a face that cannot be opened.
PLAT_API HFONT CreateFontIndirectA(const LOGFONTA* font);
// Deletes a font made by CreateFontIndirectA. FALSE for anything else.
PLAT_API BOOL DeleteObject(HGDIOBJ object);
// For a font: copies up to `size` bytes of its LOGFONTA; returns the bytes copied (the full size
// when `buffer` is null), 0 for anything that is not a font.
PLAT_API INT GetObjectA(HGDIOBJ object, INT size, void* buffer);

// Text into pixels (a call of this platform, for hosts that put text into a texture). The text is
// UTF-8 (bytes that are not valid UTF-8 read as Latin-1 characters), drawn on one line, no control
// characters interpreted.
struct SIZE {
    LONG cx;
    LONG cy;
};
// The size of the text's box: advance width (with any slant or emboldening) and the line height.
PLAT_API BOOL plat_user_text_extent(HFONT font, const char* text, SIZE* size);
// Draws the text with its box's top-left corner at (x, y) into a 32-bit 0xAARRGGBB image of
// width x height pixels, `pitch` bytes per row: each pixel is blended towards `color` by the
// glyph coverage times the colour's alpha, the destination alpha raised to at least the drawn
// coverage. Underline and strike-out are drawn as lines. Clipped to the image; FALSE for a bad
// font, null text or pixels, or a pitch smaller than a row.
PLAT_API BOOL plat_user_draw_text(HFONT font, const char* text, void* pixels, INT width, INT height, INT pitch,
                                  INT x, INT y, DWORD color);

// --- windows lookup, foreground ---------------------------------------------------------------
// Finds a window by class name and/or title. The desktop has one stand-in window of class
// "Shell_TrayWnd" (the panel); SDL windows are found by title (class null or "SDL_app").
PLAT_API HWND FindWindowA(LPCSTR className, LPCSTR windowName);
// The window with keyboard focus (SDL's), or the window set through the control API.
PLAT_API HWND GetForegroundWindow();

// --- message hooks ----------------------------------------------------------------------------
inline constexpr INT WH_GETMESSAGE = 3;
inline constexpr INT HC_ACTION = 0;
struct HHOOK__;
using HHOOK = HHOOK__*;
using HOOKPROC = LRESULT (*)(INT code, WPARAM wParam, LPARAM lParam);

// Hooks of type WH_GETMESSAGE only (others fail with ERROR_INVALID_HOOK_FILTER). Thread 0 makes a
// desktop-wide hook; hook handles are unique on the desktop, and a desktop-wide hook ends when it
// is unhooked (from any process) or when the process that set it ends.
// The procedure runs in this process's threads when they retrieve a message (GetMessageA,
// PeekMessageA) with HC_ACTION, the removal flag and the MSG*; it may change the message.
// Most recently set hooks run first; CallNextHookEx passes on down the chain.
//
// LIMITATIONS: no code is injected into other processes; a desktop-wide hook sees the messages of
// the process that set it. As a stand-in for holding the desktop panel back while the game is in
// front, a desktop-wide hook keeps the SDL window that has keyboard focus when it is set above
// other windows (SDL "always on top") until it is unhooked.
PLAT_API HHOOK SetWindowsHookExA(INT type, HOOKPROC procedure, HINSTANCE module, DWORD threadId);
PLAT_API BOOL UnhookWindowsHookEx(HHOOK hook);
// Calls the next procedure of the chain being run on this thread; 0 at its end or outside a chain.
PLAT_API LRESULT CallNextHookEx(HHOOK hook, INT code, WPARAM wParam, LPARAM lParam);

// --- data shared across processes (this platform's calls) -------------------------------------
// A data section of `size` bytes (at most 64 KiB) shared by every process of the desktop that
// asks for the same name: zero-filled when first created, the same address on every call in one
// process. Null for a bad name (empty, over 64 characters, or containing '/') or size.
PLAT_API void* plat_user_shared_section(const char* name, uint32_t size);
// True while `hook` names a desktop-wide hook that has not been unhooked and whose process is
// still running: a handle left in a shared section by a process that died reads as gone.
PLAT_API BOOL plat_user_hook_alive(HHOOK hook);
