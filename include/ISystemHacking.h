// ISystemHacking.h - the taskbar hook library's root: one desktop-wide message hook that keeps
// the desktop panel from coming forward while the game's window is in front.
#pragma once

#include "VELInterface.h"

namespace VEL {

// Opens libTrayHook32: pass it BY VALUE to that library's CreateObject.
inline constexpr GUID ID_TrayHookModule = {0x0497CC11, 0x3188, 0x4B04, {0xB4, 0xB1, 0x4A, 0xC6, 0xAA, 0xAF, 0xED, 0x42}};

// The export of libTrayHook32 (it has no GetDLLVersion): a new root (count 1) for
// ID_TrayHookModule, null for any other id.
using PFN_CreateHookObject = IVELInterface* (*)(GUID id);

// Root of libTrayHook32. The installed state belongs to the desktop, not to the object: one hook
// at a time across every process of the desktop, and any object of any process can remove it.
// Releasing the last reference uninstalls.
class ISystemHacking : public IVELInterface {
public:
    // Installs the hook for `window` (the host's window, an SDL_Window*). False while a hook is
    // installed (by any process still running), or when the platform refuses the hook.
    virtual bool Install(void* window) = 0;
    // Removes the installed hook, whoever installed it: the platform's non-zero result on
    // success; 0 when no hook was installed (or it was already gone).
    virtual int32_t Uninstall() = 0;
};

} // namespace VEL
