// user_internal.h - internal to libplat_user.so: what the message queue, the hooks and the
// desktop's windows share.
#pragma once

#include "win_user.h"

namespace plat::user {

// The desktop's stand-in windows: fixed handles of this process.
HWND DesktopWindow();
HWND PanelWindow();

// Runs the WH_GETMESSAGE chain that applies to the calling thread on `msg` (hooks.cpp).
// Called by GetMessageA/PeekMessageA with no lock held.
void RunGetMessageHooks(MSG* msg, UINT removeFlag);

} // namespace plat::user
