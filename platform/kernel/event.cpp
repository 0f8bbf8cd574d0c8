// event.cpp - manual- and auto-reset events.

#include "kernel_object.h"

#include <new>

namespace plat::kernel {
namespace {

class EventObject final : public Object {
public:
    EventObject(bool manualReset, bool signalled)
        : Object(ObjectType::Event), manualReset_(manualReset), signalled_(signalled) {}

    bool IsSignalled() const override { return signalled_; }
    // The one wait an auto-reset event releases consumes the signal.
    void Acquire() override
    {
        if (!manualReset_)
            signalled_ = false;
    }
    // Wait lock held.
    void Set(bool signalled) { signalled_ = signalled; }

private:
    const bool manualReset_;
    bool signalled_; // wait lock
};

BOOL SetEventState(HANDLE handle, bool signalled)
{
    auto event = LookupTyped<EventObject>(handle, ObjectType::Event);
    if (!event)
        return FALSE;
    WaitLock lock;
    event->Set(signalled);
    if (signalled)
        NotifyWaiters();
    return TRUE;
}

} // namespace
} // namespace plat::kernel

using namespace plat::kernel;

// Names are not supported: a named event is created unnamed (never shared by name).
PLAT_API HANDLE CreateEventA(SECURITY_ATTRIBUTES* /*attributes*/, BOOL manualReset, BOOL initialState,
                             LPCSTR /*name*/)
{
    ObjectRef event;
    try {
        event = std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return InsertHandle(std::move(event));
}

PLAT_API BOOL SetEvent(HANDLE event) { return SetEventState(event, true); }

PLAT_API BOOL ResetEvent(HANDLE event) { return SetEventState(event, false); }
