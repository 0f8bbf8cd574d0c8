// VELWin.h - CVELWin, the windows library's root object.
#pragma once

#include "IVELWin.h"
#include "VELObject.h"
#include "win_user.h"

namespace VEL {

// The desktop services. Holds the borrowed desktop context between GetDesktopDC and
// ReleaseDesktopDC; the font description it builds is module-wide (see VELWin.cpp).
class CVELWin : public TVELObject<IVELWin> {
public:
    CVELWin() = default;
    HFONT CreateFontByName(const char* faceName, int32_t width, int32_t height, uint32_t weight, bool italic,
                           bool underline, bool strikeOut) override;
    HDC GetDesktopDC() override;
    void ReleaseDesktopDC() override;
    bool RunProcess(const char* commandLine) override;
    void WaitWithMessages(uint32_t milliseconds) override;
    // Does not give back a borrowed context: the host releases it first.
    ~CVELWin() override = default;

private:
    HWND desktopWindow_ = nullptr; // null while no context is borrowed
    HDC desktopDc_ = nullptr;
};

} // namespace VEL
