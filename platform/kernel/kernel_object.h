// kernel_object.h - internal to libplat_kernel.so: the counted objects that handles name, the
// process-wide handle table, and the one lock + condition variable behind every wait.
//
// Locking: the handle table has its own mutex (held only for table edits and look-ups, never
// while waiting or calling out). Waitable state of every object (an event's signal, a thread's
// end) is guarded by the wait lock; every change of that state is made under the wait lock and
// wakes every waiter, and waiters re-check their whole condition. The two locks are never held
// at the same time: a wait resolves its handles before it takes the wait lock.
#pragma once

#include "win_kernel.h"

#include <memory>
#include <pthread.h>

namespace plat::kernel {

enum class ObjectType { Event, Thread, File, Process };

// Base of every object a handle can name. Lifetime is shared: each handle holds one reference,
// a running thread holds its own object, and a wait holds its objects while it waits.
class Object {
public:
    explicit Object(ObjectType type) : type_(type) {}
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    ObjectType Type() const { return type_; }

    // Wait lock held. True when a wait on this object would be satisfied now.
    virtual bool IsSignalled() const = 0;
    // Wait lock held. A wait that this object satisfies acquires it (an auto-reset event resets).
    virtual void Acquire() {}

private:
    const ObjectType type_;
};

using ObjectRef = std::shared_ptr<Object>;

// --- handle table (handle_table.cpp) ---------------------------------------------------------
// Adds a handle for `object`. On failure returns null and sets ERROR_NOT_ENOUGH_MEMORY.
HANDLE InsertHandle(ObjectRef object);
// The object a handle names, or null (last error untouched) when the handle is unknown.
ObjectRef LookupHandle(HANDLE handle);
// The object if the handle names one of `type`; otherwise null with ERROR_INVALID_HANDLE set.
template <class T>
std::shared_ptr<T> LookupTyped(HANDLE handle, ObjectType type)
{
    ObjectRef object = LookupHandle(handle);
    if (!object || object->Type() != type) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}
// Removes a handle; returns the object it held (so the caller drops it outside the table lock),
// or null when the handle is unknown.
ObjectRef RemoveHandle(HANDLE handle);

// --- wait lock (wait.cpp) --------------------------------------------------------------------
pthread_mutex_t* WaitMutex();
// Wakes every waiter; call with the wait lock held after changing any waitable state.
void NotifyWaiters();

class WaitLock {
public:
    WaitLock() { pthread_mutex_lock(WaitMutex()); }
    ~WaitLock() { pthread_mutex_unlock(WaitMutex()); }
    WaitLock(const WaitLock&) = delete;
    WaitLock& operator=(const WaitLock&) = delete;
};

// Wait lock held: forgets pending message-queue input of a thread that ends.
void ForgetThreadInputLocked(DWORD threadId);

} // namespace plat::kernel
