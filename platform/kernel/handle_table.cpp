// handle_table.cpp - the process-wide table from handle values to counted kernel objects.
//
// A handle is (slot index + 1) * 4: small, non-null, never INVALID_HANDLE_VALUE. Freed slots are
// reused oldest first and only once kReuseDelay of them are waiting, so a stale handle (used
// after its close) fails as invalid instead of naming the next object created.

#include "kernel_object.h"
#include "control_kernel.h"

#include <deque>
#include <mutex>
#include <new>
#include <vector>

namespace plat::kernel {
namespace {

// The handle limit of one process; beyond it creation fails as out of memory.
constexpr size_t kMaxHandles = size_t{1} << 24;
constexpr uintptr_t kHandleStep = 4;
constexpr size_t kReuseDelay = 64;

struct HandleTable {
    std::mutex mutex;
    std::vector<ObjectRef> slots; // guarded by mutex; empty slot = free
    std::deque<uint32_t> freeSlots; // guarded by mutex; oldest freed first
    uint32_t open = 0;              // guarded by mutex
};

// Never destroyed: detached threads may still close handles while the process exits.
HandleTable& Table()
{
    static HandleTable* table = new HandleTable;
    return *table;
}

bool SlotOf(HANDLE handle, size_t slotCount, size_t* slot)
{
    const auto value = reinterpret_cast<uintptr_t>(handle);
    if (value == 0 || value % kHandleStep != 0)
        return false;
    const size_t index = value / kHandleStep - 1;
    if (index >= slotCount)
        return false;
    *slot = index;
    return true;
}

HANDLE HandleOf(size_t slot) { return reinterpret_cast<HANDLE>((slot + 1) * kHandleStep); }

// Table mutex held.
HANDLE InsertLocked(HandleTable& table, ObjectRef object)
{
    size_t slot;
    if (table.freeSlots.size() > kReuseDelay || (!table.freeSlots.empty() && table.slots.size() >= kMaxHandles)) {
        slot = table.freeSlots.front();
        table.freeSlots.pop_front();
    } else {
        if (table.slots.size() >= kMaxHandles)
            return nullptr;
        slot = table.slots.size();
        table.slots.emplace_back();
    }
    table.slots[slot] = std::move(object);
    ++table.open;
    return HandleOf(slot);
}

// Table mutex held.
ObjectRef RemoveLocked(HandleTable& table, HANDLE handle)
{
    size_t slot;
    if (!SlotOf(handle, table.slots.size(), &slot) || !table.slots[slot])
        return nullptr;
    try {
        table.freeSlots.push_back(static_cast<uint32_t>(slot));
    } catch (const std::bad_alloc&) {
        // Out of memory: the slot is retired instead of recycled; the handle still closes.
    }
    ObjectRef object = std::move(table.slots[slot]);
    table.slots[slot].reset();
    --table.open;
    return object;
}

} // namespace

HANDLE InsertHandle(ObjectRef object)
{
    HANDLE handle = nullptr;
    try {
        HandleTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        handle = InsertLocked(table, std::move(object));
    } catch (const std::bad_alloc&) {
        handle = nullptr;
    }
    if (!handle)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return handle;
}

ObjectRef LookupHandle(HANDLE handle)
{
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    size_t slot;
    if (!SlotOf(handle, table.slots.size(), &slot))
        return nullptr;
    return table.slots[slot];
}

ObjectRef RemoveHandle(HANDLE handle)
{
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    return RemoveLocked(table, handle);
}

// Duplicates `source` (and closes it when asked) in one table transaction.
static BOOL DuplicateInTable(HANDLE source, HANDLE* target, bool closeSource)
{
    ObjectRef dropped; // released after the table lock
    DWORD error = ERROR_SUCCESS;
    HandleTable& table = Table();
    try {
        std::lock_guard<std::mutex> lock(table.mutex);
        size_t slot;
        if (!SlotOf(source, table.slots.size(), &slot) || !table.slots[slot]) {
            error = ERROR_INVALID_HANDLE;
        } else {
            if (target) {
                *target = InsertLocked(table, table.slots[slot]);
                if (!*target)
                    error = ERROR_NOT_ENOUGH_MEMORY;
            }
            if (error == ERROR_SUCCESS && closeSource)
                dropped = RemoveLocked(table, source);
        }
    } catch (const std::bad_alloc&) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (error != ERROR_SUCCESS) {
        if (target)
            *target = nullptr;
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

} // namespace plat::kernel

using namespace plat::kernel;

// The pseudo handle of the calling process: accepted as the process of DuplicateHandle, it names
// no object in the table (closing or waiting on it fails as an invalid handle).
PLAT_API HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

PLAT_API BOOL CloseHandle(HANDLE handle)
{
    ObjectRef object = RemoveHandle(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

// Only duplication within this process is possible. Access rights are not tracked, so a
// duplicate always has the source's access; inheritance does not apply (no child processes
// inherit handles). A null target with DUPLICATE_CLOSE_SOURCE just closes the source; a null
// target without it is refused rather than leaking a handle nobody can close.
PLAT_API BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target,
                              DWORD /*access*/, BOOL /*inherit*/, DWORD options)
{
    if (target)
        *target = nullptr;
    if (sourceProcess != GetCurrentProcess() || targetProcess != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const bool closeSource = (options & DUPLICATE_CLOSE_SOURCE) != 0;
    if (!target && !closeSource) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return DuplicateInTable(source, target, closeSource);
}

PLATCTL_API uint32_t platctl_kernel_open_handles(void)
{
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    return table.open;
}
