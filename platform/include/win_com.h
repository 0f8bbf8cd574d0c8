// win_com.h - the COM base the platform's object interfaces derive from.
#pragma once

#include "win_types.h"

// Every platform object interface derives from IUnknown. Counting follows COM: AddRef and Release
// return the new count; the last Release destroys the object.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};

inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
