// wait.cpp - WaitForSingleObject, WaitForMultipleObjects, MsgWaitForMultipleObjects and the one
// process-wide lock and condition variable they sleep on.
//
// Every waitable state change happens under the wait lock and broadcasts the condition; each
// waiter re-evaluates its whole set. That makes wait-all atomic for free: the waiter sees every
// object's state at one moment under the lock and acquires the whole set before releasing it.
// Time-outs run on CLOCK_MONOTONIC (the condition variable is created on that clock).

#include "kernel_object.h"
#include "thread_input.h"

#include <array>
#include <ctime>
#include <unordered_set>

namespace plat::kernel {
namespace {

struct WaitCore {
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t changed;
    std::unordered_set<DWORD> inputPending; // wait lock; threads with new message-queue input

    WaitCore()
    {
        pthread_condattr_t attr;
        pthread_condattr_init(&attr);
        pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
        pthread_cond_init(&changed, &attr);
        pthread_condattr_destroy(&attr);
    }
};

// Never destroyed: detached threads may still signal while the process exits.
WaitCore& Core()
{
    static WaitCore* core = new WaitCore;
    return *core;
}

timespec Deadline(DWORD milliseconds)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    timespec deadline;
    deadline.tv_sec = now.tv_sec + static_cast<time_t>(milliseconds / 1000);
    deadline.tv_nsec = now.tv_nsec + static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_nsec -= 1000000000L;
        ++deadline.tv_sec;
    }
    return deadline;
}

bool Passed(const timespec& deadline)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec > deadline.tv_sec || (now.tv_sec == deadline.tv_sec && now.tv_nsec >= deadline.tv_nsec);
}

DWORD Fail(DWORD error)
{
    SetLastError(error);
    return WAIT_FAILED;
}

// The common wait. `watchInput`: also end on new message-queue input of the calling thread.
DWORD WaitObjects(DWORD count, const HANDLE* handles, bool waitAll, DWORD milliseconds, bool watchInput)
{
    if (count > MAXIMUM_WAIT_OBJECTS || (count == 0 && !watchInput) || (count != 0 && !handles))
        return Fail(ERROR_INVALID_PARAMETER);

    // Resolve every handle first; the references keep the objects alive for the whole wait even
    // if another thread closes a handle meanwhile.
    std::array<ObjectRef, MAXIMUM_WAIT_OBJECTS> objects;
    for (DWORD i = 0; i < count; ++i) {
        objects[i] = LookupHandle(handles[i]);
        if (!objects[i])
            return Fail(ERROR_INVALID_HANDLE);
    }
    // A wait-all cannot name one object twice (it could not acquire it twice at one moment).
    if (waitAll) {
        for (DWORD i = 0; i < count; ++i)
            for (DWORD j = i + 1; j < count; ++j)
                if (objects[i] == objects[j])
                    return Fail(ERROR_INVALID_PARAMETER);
    }

    const DWORD self = watchInput ? GetCurrentThreadId() : 0;
    const bool infinite = milliseconds == INFINITE;
    const timespec deadline = infinite ? timespec{} : Deadline(milliseconds);

    WaitCore& core = Core();
    WaitLock lock;
    for (;;) {
        if (count != 0) {
            if (waitAll) {
                bool all = true;
                for (DWORD i = 0; i < count && all; ++i)
                    all = objects[i]->IsSignalled();
                if (all) {
                    for (DWORD i = 0; i < count; ++i)
                        objects[i]->Acquire();
                    return WAIT_OBJECT_0;
                }
            } else {
                for (DWORD i = 0; i < count; ++i) {
                    if (objects[i]->IsSignalled()) {
                        objects[i]->Acquire();
                        return WAIT_OBJECT_0 + i;
                    }
                }
            }
        }
        if (watchInput && core.inputPending.erase(self) != 0)
            return WAIT_OBJECT_0 + count;
        if (milliseconds == 0)
            return WAIT_TIMEOUT;
        if (infinite) {
            pthread_cond_wait(&core.changed, &core.mutex);
        } else {
            if (Passed(deadline))
                return WAIT_TIMEOUT;
            pthread_cond_timedwait(&core.changed, &core.mutex, &deadline);
        }
    }
}

} // namespace

pthread_mutex_t* WaitMutex() { return &Core().mutex; }

void NotifyWaiters() { pthread_cond_broadcast(&Core().changed); }

void ForgetThreadInputLocked(DWORD threadId) { Core().inputPending.erase(threadId); }

} // namespace plat::kernel

using namespace plat::kernel;

PLAT_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    return WaitObjects(1, &handle, false, milliseconds, false);
}

PLAT_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds)
{
    return WaitObjects(count, handles, waitAll != FALSE, milliseconds, false);
}

// With wake mask 0 this is WaitForMultipleObjects. With a non-zero mask, new input for the calling
// thread (thread_input.h) also ends the wait, with WAIT_OBJECT_0 + count, in a wait-all too; a
// count of 0 then waits for input alone. Objects are checked before input.
PLAT_API DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                         DWORD wakeMask)
{
    return WaitObjects(count, handles, waitAll != FALSE, milliseconds, wakeMask != 0);
}

PLAT_API void plat_kernel_post_thread_input(DWORD threadId)
{
    try {
        WaitLock lock;
        Core().inputPending.insert(threadId);
        NotifyWaiters();
    } catch (const std::bad_alloc&) {
        // The mark could not be stored; the input is still in the queue for the next read.
    }
}

PLAT_API void plat_kernel_clear_thread_input(DWORD threadId)
{
    WaitLock lock;
    Core().inputPending.erase(threadId);
}
