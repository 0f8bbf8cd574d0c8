// CriticalSection.h - the recursive lock every engine object with shared state embeds, and its
// scoped guard.
#pragma once

#include "win_kernel.h"

namespace VEL {

// A platform critical section: recursive, so the owning thread may enter it again.
class CCriticalSection {
public:
    CCriticalSection();
    virtual ~CCriticalSection();
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// Holds a CCriticalSection for the span of one scope.
class VELAutoLock {
public:
    explicit VELAutoLock(CCriticalSection* section);
    virtual ~VELAutoLock();
    VELAutoLock(const VELAutoLock&) = delete;
    VELAutoLock& operator=(const VELAutoLock&) = delete;

private:
    CCriticalSection* section_;
};

} // namespace VEL
