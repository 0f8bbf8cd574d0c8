// SystemHacking.h - CSystemHacking, the taskbar hook library's root object.
#pragma once

#include "ISystemHacking.h"
#include "VELObject.h"
#include "win_user.h"

namespace VEL {

// Installs and removes the one desktop-wide hook. It has no state of its own: the installed hook
// and the target window live in the module's section shared by every process of the desktop.
class CSystemHacking : public TVELObject<ISystemHacking> {
public:
    CSystemHacking() = default;
    bool Install(void* window) override;
    int32_t Uninstall() override;
    ~CSystemHacking() override;

    // The hook procedure: blanks message 0x504 to the panel while the target window is in front.
    // Runs on whichever thread retrieves a message.
    static LRESULT CALLBACK GetMessageProc(INT code, WPARAM removeFlag, LPARAM message);
};

} // namespace VEL
