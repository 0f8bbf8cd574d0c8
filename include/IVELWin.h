// IVELWin.h - the windows library's root: fonts, the desktop's device context, starting a
// program and a timed wait that keeps the thread's window messages flowing.
#pragma once

#include "VELInterface.h"

// The platform's font and device-context handles (declared in the platform's win_user.h).
struct HFONT__;
struct HDC__;

namespace VEL {

// Root of libVELWin6, from its CreateObject with ID_VELFramework. It has no sub-objects.
class IVELWin : public IVELInterface {
public:
    // Creates a font of the installed family `faceName` (matched by family name; the family's
    // regular face is the starting point), `height` pixels high (positive: cell height, negative:
    // character height), `width` the average character width (0: the face's own proportions),
    // weight index 0 ... 6 for weights 300, 400, ..., 900 (any other index: 300), and the three
    // styles (non-zero: on). The caller owns the handle and deletes it with the platform's
    // DeleteObject. Null for height 0, a null name or a name of 32 characters or more.
    // When no installed family matches, the font keeps the face of the last successful call (the
    // platform's substitute before any) with this call's size and styles.
    // Not thread-safe: the description being built is module-wide.
    virtual HFONT__* CreateFontByName(const char* faceName, int32_t width, int32_t height, uint32_t weight,
                                      bool italic, bool underline, bool strikeOut) = 0;
    // Borrows the desktop's device context (the screen's: its size, depth and refresh rate come
    // from the platform's GetDeviceCaps). Repeated calls return the same context.
    virtual HDC__* GetDesktopDC() = 0;
    // Gives the borrowed context back; nothing happens when none is borrowed. Call it before
    // releasing the root: the root does not give it back itself.
    virtual void ReleaseDesktopDC() = 0;
    // Starts the program named by the command line (first word; found on the PATH unless it
    // contains a '/'; arguments split by the usual quoting rules) with this process's environment
    // and current directory, and waits without limit for it to end. False when it cannot be
    // started (missing program, empty line, unbalanced quote). The exit code is not read.
    virtual bool RunProcess(const char* commandLine) = 0;
    // Takes and dispatches this thread's window messages until `milliseconds` have passed since
    // the call (by timeGetTime); always takes at least one message and blocks while none comes,
    // so it may last longer. A quit message is consumed like any other.
    virtual void WaitWithMessages(uint32_t milliseconds) = 0;
};

} // namespace VEL
