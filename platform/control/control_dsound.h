/* control_dsound.h - control of the sound device (libplat_dsound.so).
 *
 * The sound device mixes into one output, chosen here:
 *   PLATCTL_DSOUND_DEVICE  the sound card through SDL2 audio (default); when it cannot be opened
 *                          the null output is used instead, so a game without a card still runs;
 *   PLATCTL_DSOUND_NULL    no sound; a thread keeps real time (play cursors and notifications
 *                          advance as they would with a card);
 *   PLATCTL_DSOUND_MANUAL  time stands still until the caller renders; the mixed 44100 Hz 16-bit
 *                          stereo samples are kept for the caller to read back.
 * The choice may be made at any time; devices that are open move to the new output at once. */
#pragma once

#include "control_kernel.h"

#include <stdint.h>

enum {
    PLATCTL_DSOUND_DEVICE = 0,
    PLATCTL_DSOUND_NULL = 1,
    PLATCTL_DSOUND_MANUAL = 2
};

/* Chooses the output; returns the output now in effect (PLATCTL_DSOUND_NULL when the device was
 * asked for and could not be opened), or -1 for an unknown value (nothing changes). */
PLATCTL_API int platctl_dsound_use_output(int output);
/* The output in effect. With no sound device open this is the choice that the next one uses. */
PLATCTL_API int platctl_dsound_output(void);

/* Manual output only (else they return 0 and do nothing). Mixes the next `frames` frames (or
 * `ms` milliseconds: 44.1 frames each, the fractions carried from call to call so that repeated
 * calls add up to exact time) and appends them to the read-back store. Returns the frames mixed. */
PLATCTL_API uint32_t platctl_dsound_render_frames(uint32_t frames);
PLATCTL_API uint32_t platctl_dsound_render_ms(uint32_t ms);
/* Frames waiting in the read-back store (at most 60 s are kept; older frames are dropped). */
PLATCTL_API uint32_t platctl_dsound_available(void);
/* Moves up to `max_frames` frames (interleaved left, right) out of the store into `samples`,
 * oldest first; with `samples` null they are discarded. Returns the frames moved. */
PLATCTL_API uint32_t platctl_dsound_read(int16_t* samples, uint32_t max_frames);

/* Sound devices and buffers alive in this process: lets tests prove that nothing leaked. */
PLATCTL_API uint32_t platctl_dsound_live_objects(void);
