// IVELDI.h - the input library's root: the DirectInput object and the devices it opens.
#pragma once

#include "IDIInput.h"

// The platform's DirectInput 8 object (declared in the platform's dinput.h).
struct IDirectInput8A;

namespace VEL {

// Root of libVELDI6. Devices it opens hold a reference to it, so it lives until the last of them
// is released whatever order the host releases them in. Not thread-safe: CreateJoystick calls
// must not overlap.
class IVELDI : public IVELInterface {
public:
    // The DirectInput object made by Initialize, or null; no reference is added.
    virtual IDirectInput8A* GetDirectInput() = 0;
    // Creates the DirectInput object (again on each call, replacing the previous one). The
    // instance handle is passed on to the platform, which does not use it. False on failure, with
    // whatever the root held before kept.
    virtual bool Initialize(void* instance) = 0;
    // Drops the DirectInput object. Devices already opened keep working.
    virtual void Uninitialize() = 0;
    // The system keyboard, or null before Initialize.
    virtual IDIInput* CreateKeyboard() = 0;
    // The (index + 1)-th attached game controller in the platform's enumeration order, its axes
    // ranged -1000 ... +1000; null before Initialize, for an index above 15, or when fewer
    // controllers are attached.
    virtual IDIInput* CreateJoystick(uint32_t index) = 0;
};

} // namespace VEL
