// IDIInput.h - one opened input device: the system keyboard or a game controller.
#pragma once

#include "VELInterface.h"

namespace VEL {

// Made by IVELDI::CreateKeyboard or IVELDI::CreateJoystick, already acquired; it keeps its root
// alive until released. The state comes in DirectInput's published layouts, uninterpreted:
//   keyboard:   256 bytes indexed by DirectInput key code (0x01 Escape, 0x1E A, 0xC8 Up, ...),
//               0x80 set while the key is down;
//   controller: the 272-byte extended joystick state: X, Y, Z, X rotation, Y rotation, Z rotation
//               and two sliders as 32-bit values from -1000 (full deflection one way) through 0
//               (centre) to +1000; four POV hats (hundredths of a degree clockwise from north,
//               0xFFFFFFFF when centred); 128 button bytes (0x80 while pressed); the remaining
//               members read 0.
// Results are the platform's codes, passed through unchanged: 0 (or another non-negative value)
// for success, negative for failure, e.g. a size other than the layout's, a controller that was
// unplugged (once), then "not acquired" for good.
class IDIInput : public IVELInterface {
public:
    // Brings a controller's state up to date; call once per frame before GetState.
    virtual int32_t Poll() = 0;
    // Copies the state into `buffer`; `size` must be the layout's size (256 or 272 bytes).
    virtual int32_t GetState(uint32_t size, void* buffer) = 0;
};

// State sizes of the two kinds of device.
inline constexpr uint32_t DIInputKeyboardStateSize = 256;
inline constexpr uint32_t DIInputJoystickStateSize = 272;

// A controller's state as GetState writes it (the extended joystick layout).
struct DIInputJoystickState {
    int32_t axes[8];       // X, Y, Z, X rotation, Y rotation, Z rotation, slider 1, slider 2
    uint32_t pov[4];       // hundredths of a degree clockwise from north; 0xFFFFFFFF centred
    uint8_t buttons[128];  // 0x80 while pressed
    int32_t unused[24];    // velocity, acceleration and force members: 0
};
static_assert(sizeof(DIInputJoystickState) == DIInputJoystickStateSize, "the extended joystick layout");
// What Poll and GetState report for an object without a device (the system's "not ready").
inline constexpr int32_t DIInputNoDevice = static_cast<int32_t>(0x80070015u);

} // namespace VEL
