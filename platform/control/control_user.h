/* control_user.h - control of the user facility (libplat_user.so): recorded message boxes. */
#pragma once

#include <stdint.h>

#include "control_kernel.h" /* PLATCTL_API */

/* While recording (on != 0), MessageBoxA shows nothing, stores its caption, text and type and
 * returns IDOK. Turning recording on or off keeps what was recorded. */
PLATCTL_API void platctl_user_record_message_boxes(int on);
/* Number of message boxes recorded since the last clear. */
PLATCTL_API uint32_t platctl_user_message_box_count(void);
/* Copies box `index` (0 = oldest) into the buffers, each zero-terminated and cut to its size;
 * null buffers are skipped. Returns 0 if there is no such box. */
PLATCTL_API int platctl_user_message_box(uint32_t index, char* caption, uint32_t caption_size, char* text,
                                              uint32_t text_size, uint32_t* type);
PLATCTL_API void platctl_user_clear_message_boxes(void);

/* The desktop refresh rate reported by GetDeviceCaps(screen, VREFRESH); 0 goes back to SDL's
 * desktop mode. */
PLATCTL_API void platctl_user_set_desktop_refresh(uint32_t hz);
