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

/* --- desktop, messages, hooks, fonts --------------------------------------------------------- */

/* on != 0: GetForegroundWindow returns `window` (null allowed) instead of SDL's focus window;
 * on == 0 goes back to SDL's. */
PLATCTL_API void platctl_user_set_foreground_window(int on, void* window);

/* Posts a message for `window` (any value, null for a thread message) to the queue of thread
 * `thread_id` (GetCurrentThreadId numbering), as the system would deliver it. 0 when the queue
 * is full. */
PLATCTL_API int platctl_user_post_message(uint32_t thread_id, void* window, uint32_t message, uintptr_t wparam,
                                          intptr_t lparam);
/* Messages waiting in thread `thread_id`'s queue. */
PLATCTL_API uint32_t platctl_user_queued_messages(uint32_t thread_id);

/* The desktop this process belongs to: processes on the same desktop share their data sections
 * (plat_user_shared_section) and see one another's desktop-wide hooks. Names of up to 32 letters,
 * digits, '-' or '_'; the default is "default". Call before the first shared section or hook;
 * returns 0 for a bad name or when another desktop is already in use. */
PLATCTL_API int platctl_user_use_desktop(const char* name);
/* Removes the current desktop's shared objects from the system (its hook table and the data
 * sections this process opened), for tests cleaning up after themselves. Mappings already made
 * in running processes stay valid. */
PLATCTL_API void platctl_user_remove_desktop(void);

/* What a font handle resolved to: the face file and its style name, each zero-terminated and cut
 * to its buffer (null buffers skipped), and whether bold or italic is synthesised. 0 for a handle
 * that is not a live font. */
PLATCTL_API int platctl_user_font_face(void* font, char* file, uint32_t file_size, char* style, uint32_t style_size,
                                       int* synthetic_bold, int* synthetic_italic);
