/* platform_control.h - the platform control API for hosts and tests.
 *
 * Engine libraries never call these. They switch the platform's facilities to deterministic
 * stand-ins (a manual clock, a manual audio output, a lost graphics device, virtual controllers,
 * recorded message boxes) so that tests drive the real code paths without hardware.
 * Each facility declares its functions in its own header, exported by that facility's library
 * (control_kernel.h: libplat_kernel.so, control_d3d9.h: libplat_d3d9.so, ...).
 */
#pragma once

#include "control_kernel.h"
#if __has_include("control_d3d9.h")
#include "control_d3d9.h"
#endif
#if __has_include("control_dsound.h")
#include "control_dsound.h"
#endif
#if __has_include("control_dinput.h")
#include "control_dinput.h"
#endif
#if __has_include("control_user.h")
#include "control_user.h"
#endif
