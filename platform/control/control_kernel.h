/* control_kernel.h - control of the kernel facility (libplat_kernel.so). */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
#define PLATCTL_API extern "C" __attribute__((visibility("default")))
#else
#define PLATCTL_API __attribute__((visibility("default")))
#endif

/* Replaces timeGetTime with a manual clock that reads `start_ms` until set or advanced.
 * Waits with time-outs and Sleep keep using real time. */
PLATCTL_API void platctl_clock_use_manual(uint32_t start_ms);
/* Sets the manual clock (wraps at 2^32 like the real one). No effect on the real clock. */
PLATCTL_API void platctl_clock_set(uint32_t ms);
/* Advances the manual clock by `ms`, wrapping at 2^32. */
PLATCTL_API void platctl_clock_advance(uint32_t ms);
/* Returns timeGetTime to the real monotonic clock. */
PLATCTL_API void platctl_clock_use_real(void);

/* Number of kernel handles currently open in this process (events, threads, files, processes):
 * lets tests prove that an engine object closed every handle it created. */
PLATCTL_API uint32_t platctl_kernel_open_handles(void);
