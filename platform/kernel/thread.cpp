// thread.cpp - threads with waitable handles (CreateThread, _beginthreadex), exit codes and
// thread ids.
//
// A thread runs detached; it holds its own object while it runs, so closing every handle to a
// running thread is fine, and the object (exit code, signalled state) lives while any handle
// remains. The handle is signalled when the start routine returns.
//
// LIMITATIONS: CREATE_SUSPENDED is refused (nothing resumes threads); the stack size is a hint
// and is ignored (threads get the default stack); there is no ExitThread/TerminateThread.

#include "kernel_object.h"

#include <atomic>
#include <new>

namespace plat::kernel {
namespace {

// Thread ids: assigned from one counter, never 0, never reused while the counter has not wrapped.
// Threads we create get theirs before they start; any other thread gets one on first request.
std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

DWORD NewThreadId()
{
    DWORD id;
    do {
        id = g_nextThreadId.fetch_add(1, std::memory_order_relaxed);
    } while (id == 0);
    return id;
}

class ThreadObject final : public Object {
public:
    using Routine = DWORD (*)(void*);
    using CrtRoutine = unsigned (*)(void*);

    ThreadObject(Routine routine, CrtRoutine crtRoutine, void* parameter, DWORD id)
        : Object(ObjectType::Thread), routine_(routine), crtRoutine_(crtRoutine), parameter_(parameter), id_(id) {}

    bool IsSignalled() const override { return finished_; }

    // Wait lock held.
    DWORD ExitCode() const { return finished_ ? exitCode_ : STILL_ACTIVE; }

    // Runs on the new thread; `self` is the thread's own reference, dropped at the end.
    static void* Run(void* arg)
    {
        auto* self = static_cast<std::shared_ptr<ThreadObject>*>(arg);
        ThreadObject& thread = **self;
        t_threadId = thread.id_;
        const DWORD code = thread.routine_ ? thread.routine_(thread.parameter_)
                                           : static_cast<DWORD>(thread.crtRoutine_(thread.parameter_));
        {
            WaitLock lock;
            thread.exitCode_ = code;
            thread.finished_ = true;
            ForgetThreadInputLocked(thread.id_);
            NotifyWaiters();
        }
        delete self;
        return nullptr;
    }

private:
    const Routine routine_;
    const CrtRoutine crtRoutine_;
    void* const parameter_;
    const DWORD id_;
    bool finished_ = false; // wait lock
    DWORD exitCode_ = 0;    // wait lock
};

HANDLE StartThread(ThreadObject::Routine routine, ThreadObject::CrtRoutine crtRoutine, void* parameter,
                   DWORD flags, DWORD* threadId)
{
    if (threadId)
        *threadId = 0;
    if ((!routine && !crtRoutine) || (flags & CREATE_SUSPENDED) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const DWORD id = NewThreadId();
    std::shared_ptr<ThreadObject>* own = nullptr;
    try {
        own = new std::shared_ptr<ThreadObject>(std::make_shared<ThreadObject>(routine, crtRoutine, parameter, id));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HANDLE handle = InsertHandle(*own);
    if (!handle) {
        delete own;
        return nullptr;
    }

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t native;
    const int error = pthread_create(&native, &attr, &ThreadObject::Run, own);
    pthread_attr_destroy(&attr);
    if (error != 0) {
        RemoveHandle(handle);
        delete own;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId)
        *threadId = id;
    return handle;
}

} // namespace
} // namespace plat::kernel

using namespace plat::kernel;

PLAT_API HANDLE CreateThread(SECURITY_ATTRIBUTES* /*attributes*/, size_t /*stackSize*/, LPTHREAD_START_ROUTINE start,
                             void* parameter, DWORD flags, DWORD* threadId)
{
    return StartThread(start, nullptr, parameter, flags, threadId);
}

PLAT_API uintptr_t _beginthreadex(void* /*security*/, unsigned /*stackSize*/, unsigned (*start)(void*), void* parameter,
                                  unsigned flags, unsigned* threadId)
{
    DWORD id = 0;
    HANDLE handle = StartThread(nullptr, start, parameter, flags, &id);
    if (threadId)
        *threadId = id;
    return reinterpret_cast<uintptr_t>(handle);
}

PLAT_API BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode)
{
    if (!exitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto object = LookupTyped<ThreadObject>(thread, ObjectType::Thread);
    if (!object)
        return FALSE;
    WaitLock lock;
    *exitCode = object->ExitCode();
    return TRUE;
}

PLAT_API DWORD GetCurrentThreadId()
{
    if (t_threadId == 0)
        t_threadId = NewThreadId();
    return t_threadId;
}
