// The desktop window, its device context, memory device contexts, window lookup and the
// foreground window.
//
// The desktop window and the panel (class "Shell_TrayWnd", the taskbar's stand-in) are fixed
// handles of this process; the panel exists so that code looking for the taskbar finds a window
// to address, and messages posted to it go through the message hooks like any other.
// Memory contexts are heap records tracked in a set, so a stale or foreign handle is refused.
#include "user_internal.h"
#include "control_user.h"

#include <SDL.h>

#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

namespace plat::user {
namespace {

struct StandInWindow {
    const char* className;
};
StandInWindow g_desktop{"#32769"};
StandInWindow g_panel{"Shell_TrayWnd"};

struct MemoryDc {
    int tag = 0x3D0C;
};

struct DcRegistry {
    std::mutex mutex;
    std::unordered_set<MemoryDc*> live; // guarded by mutex
};

DcRegistry& Dcs()
{
    static DcRegistry* registry = new DcRegistry;
    return *registry;
}

struct Foreground {
    std::mutex mutex;
    bool overridden = false; // guarded by mutex
    HWND window = nullptr;   // guarded by mutex
};

Foreground& ForegroundState()
{
    static Foreground* state = new Foreground;
    return *state;
}

bool SameText(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0;
}

// SDL windows are numbered from 1 in creation order; the search stops after a run of free ids.
HWND FindSdlWindow(const char* title)
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return nullptr;
    int misses = 0;
    for (Uint32 id = 1; misses < 64; ++id) {
        SDL_Window* window = SDL_GetWindowFromID(id);
        if (!window) {
            ++misses;
            continue;
        }
        misses = 0;
        const char* name = SDL_GetWindowTitle(window);
        if (!title || (name && SameText(name, title)))
            return window;
    }
    return nullptr;
}

} // namespace

HWND DesktopWindow() { return &g_desktop; }
HWND PanelWindow() { return &g_panel; }

} // namespace plat::user

using namespace plat::user;

PLAT_API HWND GetDesktopWindow() { return DesktopWindow(); }

PLAT_API HDC GetDCEx(HWND window, HRGN /*clip*/, DWORD /*flags*/)
{
    if (window && window != DesktopWindow())
        return nullptr;
    return GetDC(nullptr);
}

PLAT_API HDC CreateCompatibleDC(HDC dc)
{
    if (dc && dc != GetDC(nullptr))
        return nullptr;
    DcRegistry& registry = Dcs();
    try {
        auto* memory = new MemoryDc;
        std::lock_guard lock(registry.mutex);
        registry.live.insert(memory);
        return reinterpret_cast<HDC>(memory);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

PLAT_API BOOL DeleteDC(HDC dc)
{
    auto* memory = reinterpret_cast<MemoryDc*>(dc);
    DcRegistry& registry = Dcs();
    {
        std::lock_guard lock(registry.mutex);
        if (registry.live.erase(memory) == 0)
            return FALSE;
    }
    delete memory;
    return TRUE;
}

namespace plat::user {
// For the font enumeration: a context it accepts (null, the screen, or a live memory context).
bool IsUsableDc(HDC dc)
{
    if (!dc || dc == GetDC(nullptr))
        return true;
    DcRegistry& registry = Dcs();
    std::lock_guard lock(registry.mutex);
    return registry.live.count(reinterpret_cast<MemoryDc*>(dc)) != 0;
}
} // namespace plat::user

PLAT_API HWND FindWindowA(LPCSTR className, LPCSTR windowName)
{
    if (className) {
        if (SameText(className, g_panel.className))
            return windowName ? nullptr : PanelWindow();
        if (SameText(className, g_desktop.className))
            return windowName ? nullptr : DesktopWindow();
        if (!SameText(className, "SDL_app"))
            return nullptr;
    }
    if (!className && !windowName)
        return nullptr;
    return FindSdlWindow(windowName);
}

PLAT_API HWND GetForegroundWindow()
{
    Foreground& state = ForegroundState();
    {
        std::lock_guard lock(state.mutex);
        if (state.overridden)
            return state.window;
    }
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return nullptr;
    return SDL_GetKeyboardFocus();
}

PLATCTL_API void platctl_user_set_foreground_window(int on, void* window)
{
    Foreground& state = ForegroundState();
    std::lock_guard lock(state.mutex);
    state.overridden = on != 0;
    state.window = on ? static_cast<HWND>(window) : nullptr;
}
