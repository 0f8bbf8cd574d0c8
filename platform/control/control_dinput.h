/* control_dinput.h - control of the input facility (libplat_dinput.so).
 *
 * Virtual game controllers are SDL virtual joysticks: they appear to the input devices exactly as
 * a controller plugged in at that moment would, and disappear as if unplugged. Key events are
 * pushed onto SDL's event queue as a keyboard would deliver them, so they take the real path into
 * the keyboard state (and reach the host's own event loop too).
 * All functions may be called from any thread. */
#pragma once

#include "control_kernel.h"

#include <stdint.h>

/* Hat directions, combined for the diagonals (up | right is north-east). */
enum {
    PLATCTL_HAT_CENTERED = 0x0,
    PLATCTL_HAT_UP = 0x1,
    PLATCTL_HAT_RIGHT = 0x2,
    PLATCTL_HAT_DOWN = 0x4,
    PLATCTL_HAT_LEFT = 0x8
};

/* Attaches a virtual controller with the given numbers of axes (0..16), buttons (0..128) and hats
 * (0..4), all at rest (axes 0, buttons up, hats centred). `name` may be null. Returns the
 * controller's id (>= 0), or -1 when the counts are out of range or SDL cannot attach it. */
PLATCTL_API int32_t platctl_dinput_attach_controller(int axes, int buttons, int hats, const char* name);
/* Unplugs a virtual controller attached here. Returns 0, or -1 for an unknown id. */
PLATCTL_API int platctl_dinput_detach_controller(int32_t controller);
/* Unplugs every virtual controller attached here. */
PLATCTL_API void platctl_dinput_detach_all_controllers(void);

/* Move a virtual controller's axis (-32768 full deflection one way, 0 centre, 32767 the other),
 * press or release a button, point a hat (PLATCTL_HAT_* combination). The device sees the change
 * at its next Poll or state read. Return 0, or -1 for an unknown id or index. */
PLATCTL_API int platctl_dinput_set_axis(int32_t controller, int axis, int16_t value);
PLATCTL_API int platctl_dinput_set_button(int32_t controller, int button, int pressed);
PLATCTL_API int platctl_dinput_set_hat(int32_t controller, int hat, uint8_t directions);

/* Pushes a key-down (pressed != 0) or key-up event for the key at USB HID keyboard usage
 * `usage` (the SDL scancode: 4 is A, 41 Escape, 224 left Control...). Returns 0, or -1 when the
 * usage is out of range (0..511) or the event could not be queued. */
PLATCTL_API int platctl_dinput_key(uint32_t usage, int pressed);

/* DirectInput objects and devices alive in this process: lets tests prove that nothing leaked. */
PLATCTL_API uint32_t platctl_dinput_live_objects(void);
