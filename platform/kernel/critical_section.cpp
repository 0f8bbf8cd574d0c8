// critical_section.cpp - recursive locks placed in the caller's CRITICAL_SECTION storage.
//
// The storage holds a plain pthread mutex plus the owner's thread id and the recursion depth:
// the owning thread may enter again and must leave as many times as it entered. Leaving a
// section the caller does not own is ignored (it never releases another thread's lock), and a
// null section is ignored (TryEnter fails).

#include "win_kernel.h"

#include <atomic>
#include <new>
#include <pthread.h>

namespace {

struct RecursiveLock {
    pthread_mutex_t mutex;
    std::atomic<DWORD> owner; // 0 when free; read by any thread, written by the holder
    DWORD depth;              // written by the holder only
};

static_assert(sizeof(RecursiveLock) <= sizeof(CRITICAL_SECTION), "CRITICAL_SECTION cannot hold the lock");
static_assert(alignof(RecursiveLock) <= alignof(CRITICAL_SECTION), "CRITICAL_SECTION is under-aligned");
static_assert(std::atomic<DWORD>::is_always_lock_free);

RecursiveLock* LockOf(CRITICAL_SECTION* section) { return std::launder(reinterpret_cast<RecursiveLock*>(section->opaque)); }

// Caller holds the mutex.
void TakeOwnership(RecursiveLock* lock, DWORD self)
{
    lock->owner.store(self, std::memory_order_relaxed);
    lock->depth = 1;
}

} // namespace

PLAT_API void InitializeCriticalSection(CRITICAL_SECTION* section)
{
    if (!section)
        return;
    auto* lock = new (section->opaque) RecursiveLock;
    pthread_mutex_init(&lock->mutex, nullptr);
    lock->owner.store(0, std::memory_order_relaxed);
    lock->depth = 0;
}

PLAT_API void DeleteCriticalSection(CRITICAL_SECTION* section)
{
    if (!section)
        return;
    RecursiveLock* lock = LockOf(section);
    pthread_mutex_destroy(&lock->mutex);
    lock->~RecursiveLock();
}

PLAT_API void EnterCriticalSection(CRITICAL_SECTION* section)
{
    if (!section)
        return;
    RecursiveLock* lock = LockOf(section);
    const DWORD self = GetCurrentThreadId();
    // Only this thread can have stored its own id, so a relaxed read is exact for the owner test.
    if (lock->owner.load(std::memory_order_relaxed) == self) {
        ++lock->depth;
        return;
    }
    pthread_mutex_lock(&lock->mutex);
    TakeOwnership(lock, self);
}

PLAT_API BOOL TryEnterCriticalSection(CRITICAL_SECTION* section)
{
    if (!section)
        return FALSE;
    RecursiveLock* lock = LockOf(section);
    const DWORD self = GetCurrentThreadId();
    if (lock->owner.load(std::memory_order_relaxed) == self) {
        ++lock->depth;
        return TRUE;
    }
    if (pthread_mutex_trylock(&lock->mutex) != 0)
        return FALSE;
    TakeOwnership(lock, self);
    return TRUE;
}

PLAT_API void LeaveCriticalSection(CRITICAL_SECTION* section)
{
    if (!section)
        return;
    RecursiveLock* lock = LockOf(section);
    if (lock->owner.load(std::memory_order_relaxed) != GetCurrentThreadId())
        return;
    if (--lock->depth == 0) {
        lock->owner.store(0, std::memory_order_relaxed);
        pthread_mutex_unlock(&lock->mutex);
    }
}
