// VELDI.h - CVELDI, the input library's root object.
#pragma once

#include "IVELDI.h"
#include "VELObject.h"
#include "dinput.h"

namespace VEL {

// Owns the DirectInput object and opens devices on it. Not locked: the controller enumeration
// works through the fields below, so CreateJoystick calls must not overlap.
class CVELDI : public TVELObject<IVELDI> {
public:
    CVELDI() = default;
    IDirectInput8A* GetDirectInput() override;
    bool Initialize(void* instance) override;
    void Uninitialize() override;
    IDIInput* CreateKeyboard() override;
    IDIInput* CreateJoystick(uint32_t index) override;
    ~CVELDI() override;

private:
    // EnumDevices callback (context: the root): counts controllers down to the wanted one.
    static BOOL OnController(LPCDIDEVICEINSTANCEA device, void* context);
    // EnumObjects callback (context: the device): gives each axis the range -1000 ... +1000.
    static BOOL OnAxis(LPCDIDEVICEOBJECTINSTANCEA object, void* context);

    IDirectInput8A* directInput_ = nullptr;       // counted reference; null when not initialised
    IDirectInputDevice8A* deviceSlot_ = nullptr;  // not owning: where a device being created lands
    uint32_t countdown_ = 0;                      // controllers the enumeration still passes over
};

} // namespace VEL
