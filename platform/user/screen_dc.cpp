// The screen device context: GetDC(NULL) and the display queries answered from SDL's desktop mode.
//
// LIMITATIONS: only the screen context exists; window contexts and drawing come with the font
// and device-context work.
#include "win_user.h"
#include "control_user.h"

#include <atomic>

#include <SDL.h>

namespace plat::user {
namespace {

// One static object stands for the screen context; its address is the handle.
struct ScreenDc {
    int tag;
};
ScreenDc g_screen{0x5C12};
std::atomic<uint32_t> g_refreshOverride{0}; // set by the control API; 0: none

HDC screen_handle()
{
    return reinterpret_cast<HDC>(&g_screen);
}

// Desktop mode of display 0. The video subsystem is started only for the query if the host has
// not started it (SDL counts the inits, so a host's own init is untouched).
bool desktop_mode(SDL_DisplayMode* mode)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    bool ok = SDL_GetDesktopDisplayMode(0, mode) == 0;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return ok;
}

} // namespace
} // namespace plat::user

using namespace plat::user;

PLAT_API HDC GetDC(HWND window)
{
    return window && window != GetDesktopWindow() ? nullptr : screen_handle();
}

PLAT_API INT ReleaseDC(HWND /*window*/, HDC dc)
{
    return dc == screen_handle() ? 1 : 0;
}

PLAT_API INT GetDeviceCaps(HDC dc, INT index)
{
    if (dc != screen_handle())
        return 0;
    if (index == VREFRESH && g_refreshOverride.load() != 0)
        return static_cast<INT>(g_refreshOverride.load());
    SDL_DisplayMode mode{};
    if (!desktop_mode(&mode))
        return 0;
    switch (index) {
    case VREFRESH:
        return mode.refresh_rate;
    case HORZRES:
        return mode.w;
    case VERTRES:
        return mode.h;
    case BITSPIXEL:
        return static_cast<INT>(SDL_BITSPERPIXEL(mode.format)) == 24 ? 32
                                                                     : static_cast<INT>(SDL_BITSPERPIXEL(mode.format));
    default:
        return 0;
    }
}

PLATCTL_API void platctl_user_set_desktop_refresh(uint32_t hz)
{
    g_refreshOverride.store(hz);
}
