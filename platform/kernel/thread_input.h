// thread_input.h - the seam between the kernel's waits and a thread's message queue.
//
// MsgWaitForMultipleObjects with a non-zero wake mask also ends when the calling thread's message
// queue receives new input. The kernel keeps no queue: the message-queue facility (the user
// interface library) owns the queues and reports into the kernel through these two calls,
// exported by libplat_kernel.so for other platform libraries only (engine code never calls them).
//
// Semantics: each thread has one "new input" mark.
//   - plat_kernel_post_thread_input(id) sets the mark of thread `id` and wakes its waits; call it
//     whenever a message is posted or input is queued for that thread (any thread may call it).
//   - A MsgWaitForMultipleObjects of that thread with a non-zero wake mask that finds the mark set
//     returns WAIT_OBJECT_0 + count and clears the mark (one wake per batch of new input).
//   - plat_kernel_clear_thread_input(id) clears the mark without waking anyone; the queue calls it
//     when thread `id` reads its queue (GetMessage/PeekMessage), so input already seen does not end
//     the next wait, as on the original system.
// The wake mask is not filtered by kind of input: any non-zero mask watches every input.
// Thread ids are those of GetCurrentThreadId. A thread's mark is forgotten when a thread made by
// CreateThread/_beginthreadex ends.
#pragma once

#include "win_kernel.h"

PLAT_API void plat_kernel_post_thread_input(DWORD threadId);
PLAT_API void plat_kernel_clear_thread_input(DWORD threadId);
