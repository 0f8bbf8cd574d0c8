// Message hooks, the desktop's hook table and data sections shared across processes.
//
// A desktop is a name; its shared objects are POSIX shared memory named after the user and the
// desktop ("/vel-<uid>-<desktop>-..."). The hook table there gives every hook a handle unique on
// the desktop and records the process that set it (pid and start time, so a reused pid does not
// count). Edits of the table are serialised across processes with flock on its descriptor (the
// kernel drops the lock of a process that dies); readers load single fields atomically. On a
// system without POSIX shared memory the objects fall back to anonymous shared mappings: the rules
// then hold within the process and its forks only.
// A hook is alive while its slot still carries its serial and its process runs; so a process that
// ends without unhooking leaves nothing that blocks anyone.
//
// Hook procedures run only in the process that set them (no injection; see win_user.h). The
// local chain is guarded by a mutex that is never held while a procedure runs.
#include "user_internal.h"
#include "control_user.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace plat::user {
namespace {

constexpr uint32_t kHookSlots = 256;
constexpr uint32_t kTableMagic = 0x564B4F48; // "HOKV"
constexpr uint32_t kMaxSectionSize = 64 * 1024;

struct HookSlot {
    uint32_t serial; // changes with every use of the slot
    uint32_t used;
    int32_t pid;
    uint32_t reserved;
    uint64_t startTime;
};

struct HookTable {
    uint32_t magic;
    uint32_t nextSerial;
    HookSlot slots[kHookSlots];
};

template <class T>
T Load(const T& field)
{
    return __atomic_load_n(&field, __ATOMIC_ACQUIRE);
}
template <class T>
void Store(T& field, T value)
{
    __atomic_store_n(&field, value, __ATOMIC_RELEASE);
}

// --- this process's identity -----------------------------------------------------------------

// Field 22 (start time) and field 3 (state) of /proc/<pid>/stat; false when there is no process.
bool ReadProcessStat(int pid, uint64_t* startTime, char* state)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    FILE* file = std::fopen(path, "re");
    if (!file)
        return false;
    char line[1024];
    const size_t length = std::fread(line, 1, sizeof line - 1, file);
    std::fclose(file);
    line[length] = '\0';
    const char* p = std::strrchr(line, ')');
    if (!p)
        return false;
    p += 2; // ") " then the state
    *state = *p;
    // Fields after the state: 4 ... 22; the start time is the 19th after the state.
    for (int field = 0; field < 19; ++field) {
        p = std::strchr(p, ' ');
        if (!p)
            return false;
        ++p;
    }
    *startTime = std::strtoull(p, nullptr, 10);
    return true;
}

bool ProcessRuns(int pid, uint64_t startTime)
{
    uint64_t actual = 0;
    char state = 0;
    if (!ReadProcessStat(pid, &actual, &state))
        return false;
    return actual == startTime && state != 'Z' && state != 'X';
}

// Cached per pid: a forked child has its own start time.
uint64_t OwnStartTime()
{
    static std::atomic<int> cachedPid{0};
    static std::atomic<uint64_t> cachedStart{0};
    const int pid = static_cast<int>(getpid());
    if (cachedPid.load() == pid)
        return cachedStart.load();
    uint64_t start = 0;
    char state = 0;
    ReadProcessStat(pid, &start, &state);
    cachedStart.store(start);
    cachedPid.store(pid);
    return start;
}

// --- the desktop's shared objects ------------------------------------------------------------

struct Desktop {
    std::mutex mutex;
    std::string name = "default";                           // guarded by mutex
    bool inUse = false;                                     // guarded by mutex
    int tableFd = -1;                                       // guarded by mutex
    HookTable* table = nullptr;                             // guarded by mutex (set once)
    std::unordered_map<std::string, void*> sections;        // guarded by mutex
    std::vector<std::string> objectNames;                   // guarded by mutex
};

Desktop& TheDesktop()
{
    static Desktop* desktop = new Desktop;
    return *desktop;
}

std::string ObjectName(const Desktop& desktop, const std::string& suffix)
{
    return "/vel-" + std::to_string(getuid()) + "-" + desktop.name + "-" + suffix;
}

// Desktop mutex held. Opens (creating if needed) a shared object of at least `size` bytes.
void* MapShared(Desktop& desktop, const std::string& suffix, size_t size, int* fdOut)
{
    const std::string name = ObjectName(desktop, suffix);
    const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        // No shared memory on this system: the object is this process's (and its forks') alone.
        void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            return nullptr;
        desktop.inUse = true;
        if (fdOut)
            *fdOut = -1;
        return memory;
    }
    // Growing under the lock keeps a second process from mapping a half-sized object.
    flock(fd, LOCK_EX);
    struct stat info;
    bool ok = fstat(fd, &info) == 0;
    if (ok && static_cast<size_t>(info.st_size) < size)
        ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
    flock(fd, LOCK_UN);
    void* memory = ok ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    desktop.inUse = true;
    if (std::find(desktop.objectNames.begin(), desktop.objectNames.end(), name) == desktop.objectNames.end())
        desktop.objectNames.push_back(name);
    if (fdOut)
        *fdOut = fd;
    else
        close(fd);
    return memory;
}

HookTable* Table(int* fd)
{
    Desktop& desktop = TheDesktop();
    std::lock_guard lock(desktop.mutex);
    if (!desktop.table) {
        try {
            desktop.table = static_cast<HookTable*>(MapShared(desktop, "hooks", sizeof(HookTable), &desktop.tableFd));
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    *fd = desktop.tableFd;
    return desktop.table;
}

// Serialises table edits between this process's threads and, through flock, between processes
// (the kernel drops the lock of a process that dies). Without a descriptor only the first applies.
class TableLock {
public:
    explicit TableLock(int fd) : fd_(fd), local_(LocalMutex())
    {
        if (fd_ >= 0)
            flock(fd_, LOCK_EX);
    }
    ~TableLock()
    {
        if (fd_ >= 0)
            flock(fd_, LOCK_UN);
    }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;

private:
    static std::mutex& LocalMutex()
    {
        static std::mutex* mutex = new std::mutex;
        return *mutex;
    }

    int fd_;
    std::lock_guard<std::mutex> local_;
};

// Handles: slot + 1 in the low 16 bits, the slot's serial above.
HHOOK HandleOf(uint32_t slot, uint32_t serial)
{
    return reinterpret_cast<HHOOK>((static_cast<uintptr_t>(serial) << 16) | (slot + 1));
}

bool SlotOf(HHOOK hook, uint32_t* slot, uint32_t* serial)
{
    const auto value = reinterpret_cast<uintptr_t>(hook);
    const uintptr_t index = value & 0xFFFF;
    if (index == 0 || index > kHookSlots || (value >> 48) != 0)
        return false;
    *slot = static_cast<uint32_t>(index - 1);
    *serial = static_cast<uint32_t>(value >> 16);
    return true;
}

bool SlotAlive(const HookSlot& slot, uint32_t serial)
{
    if (Load(slot.used) == 0 || Load(slot.serial) != serial)
        return false;
    const int pid = Load(slot.pid);
    const uint64_t startTime = Load(slot.startTime);
    if (pid == static_cast<int>(getpid()))
        return startTime == OwnStartTime();
    return ProcessRuns(pid, startTime);
}

// Takes a free slot (or one whose process is gone); null when the table is full.
HHOOK AllocateHook()
{
    int fd = -1;
    HookTable* table = Table(&fd);
    if (!table)
        return nullptr;
    TableLock lock(fd);
    if (table->magic != kTableMagic) {
        std::memset(table, 0, sizeof *table);
        table->magic = kTableMagic;
    }
    for (uint32_t i = 0; i < kHookSlots; ++i) {
        HookSlot& slot = table->slots[i];
        if (slot.used && ProcessRuns(slot.pid, slot.startTime))
            continue;
        uint32_t serial = (table->nextSerial++) & 0xFFFFFFFFu;
        if (serial == 0)
            serial = table->nextSerial++;
        Store(slot.used, 0u);
        Store(slot.pid, static_cast<int32_t>(getpid()));
        Store(slot.startTime, OwnStartTime());
        Store(slot.serial, serial);
        Store(slot.used, 1u);
        return HandleOf(i, serial);
    }
    return nullptr;
}

// Frees a live hook's slot, whichever process set it; false for a hook that is gone.
bool FreeHook(HHOOK hook)
{
    uint32_t index = 0, serial = 0;
    if (!SlotOf(hook, &index, &serial))
        return false;
    int fd = -1;
    HookTable* table = Table(&fd);
    if (!table)
        return false;
    TableLock lock(fd);
    HookSlot& slot = table->slots[index];
    if (table->magic != kTableMagic || !SlotAlive(slot, serial))
        return false;
    Store(slot.used, 0u);
    return true;
}

bool HookAlive(HHOOK hook)
{
    uint32_t index = 0, serial = 0;
    if (!SlotOf(hook, &index, &serial))
        return false;
    int fd = -1;
    HookTable* table = Table(&fd);
    return table && Load(table->magic) == kTableMagic && SlotAlive(table->slots[index], serial);
}

// --- this process's chain --------------------------------------------------------------------

struct LocalHook {
    HHOOK handle;
    HOOKPROC procedure;
    DWORD threadId;        // 0: desktop-wide
    Uint32 raisedWindow;   // SDL window id kept above while this hook is set; 0: none
};

struct Chain {
    std::mutex mutex;
    std::vector<LocalHook> hooks; // guarded by mutex; most recent first
};

Chain& TheChain()
{
    static Chain* chain = new Chain;
    return *chain;
}

// The chain being run on this thread, for CallNextHookEx.
struct Running {
    const std::vector<HOOKPROC>* procedures = nullptr;
    size_t next = 0;
};
thread_local Running t_running;

// The stand-in for holding the desktop panel back (win_user.h): the focused SDL window is kept
// above while a desktop-wide hook is set.
Uint32 RaiseForegroundWindow()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return 0;
    SDL_Window* window = SDL_GetKeyboardFocus();
    if (!window || (SDL_GetWindowFlags(window) & SDL_WINDOW_ALWAYS_ON_TOP) != 0)
        return 0;
    SDL_SetWindowAlwaysOnTop(window, SDL_TRUE);
    return SDL_GetWindowID(window);
}

void LowerWindow(Uint32 id)
{
    if (id == 0 || !SDL_WasInit(SDL_INIT_VIDEO))
        return;
    if (SDL_Window* window = SDL_GetWindowFromID(id))
        SDL_SetWindowAlwaysOnTop(window, SDL_FALSE);
}

// Removes local records of hooks that were unhooked (here or by another process); returns the
// windows to lower.
std::vector<Uint32> DropDeadLocked(Chain& chain)
{
    std::vector<Uint32> lowered;
    auto dead = std::remove_if(chain.hooks.begin(), chain.hooks.end(), [&](const LocalHook& hook) {
        if (HookAlive(hook.handle))
            return false;
        if (hook.raisedWindow)
            lowered.push_back(hook.raisedWindow);
        return true;
    });
    chain.hooks.erase(dead, chain.hooks.end());
    return lowered;
}

bool ValidName(const char* name, size_t limit, bool allowDot)
{
    if (!name || !*name)
        return false;
    size_t length = 0;
    for (const char* p = name; *p; ++p, ++length) {
        const char c = *p;
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                        c == '_' || (allowDot && c == '.');
        if (!ok || length >= limit)
            return false;
    }
    return true;
}

} // namespace

void RunGetMessageHooks(MSG* msg, UINT removeFlag)
{
    std::vector<HOOKPROC> procedures;
    std::vector<Uint32> lowered;
    {
        Chain& chain = TheChain();
        std::lock_guard lock(chain.mutex);
        if (chain.hooks.empty())
            return;
        lowered = DropDeadLocked(chain);
        const DWORD self = GetCurrentThreadId();
        for (const LocalHook& hook : chain.hooks)
            if (hook.threadId == 0 || hook.threadId == self)
                procedures.push_back(hook.procedure);
    }
    for (Uint32 id : lowered)
        LowerWindow(id);
    if (procedures.empty())
        return;
    const Running saved = t_running;
    t_running.procedures = &procedures;
    t_running.next = 1;
    procedures[0](HC_ACTION, removeFlag, reinterpret_cast<LPARAM>(msg));
    t_running = saved;
}

} // namespace plat::user

using namespace plat::user;

PLAT_API HHOOK SetWindowsHookExA(INT type, HOOKPROC procedure, HINSTANCE /*module*/, DWORD threadId)
{
    if (type != WH_GETMESSAGE) {
        SetLastError(ERROR_INVALID_HOOK_FILTER);
        return nullptr;
    }
    if (!procedure) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HHOOK handle = AllocateHook();
    if (!handle) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    LocalHook hook{handle, procedure, threadId, 0};
    try {
        Chain& chain = TheChain();
        std::lock_guard lock(chain.mutex);
        chain.hooks.insert(chain.hooks.begin(), hook);
    } catch (const std::bad_alloc&) {
        FreeHook(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId == 0) {
        const Uint32 raised = RaiseForegroundWindow();
        Chain& chain = TheChain();
        std::lock_guard lock(chain.mutex);
        for (LocalHook& entry : chain.hooks)
            if (entry.handle == handle)
                entry.raisedWindow = raised;
    }
    return handle;
}

PLAT_API BOOL UnhookWindowsHookEx(HHOOK hook)
{
    if (!FreeHook(hook)) {
        SetLastError(ERROR_INVALID_HOOK_HANDLE);
        return FALSE;
    }
    Uint32 raised = 0;
    {
        Chain& chain = TheChain();
        std::lock_guard lock(chain.mutex);
        auto found = std::find_if(chain.hooks.begin(), chain.hooks.end(),
                                  [&](const LocalHook& entry) { return entry.handle == hook; });
        if (found != chain.hooks.end()) {
            raised = found->raisedWindow;
            chain.hooks.erase(found);
        }
    }
    LowerWindow(raised);
    return TRUE;
}

PLAT_API LRESULT CallNextHookEx(HHOOK /*hook*/, INT code, WPARAM wParam, LPARAM lParam)
{
    Running& running = t_running;
    if (!running.procedures || running.next >= running.procedures->size())
        return 0;
    HOOKPROC next = (*running.procedures)[running.next++];
    return next(code, wParam, lParam);
}

PLAT_API void* plat_user_shared_section(const char* name, uint32_t size)
{
    if (!ValidName(name, 64, true) || size == 0 || size > kMaxSectionSize)
        return nullptr;
    Desktop& desktop = TheDesktop();
    std::lock_guard lock(desktop.mutex);
    try {
        auto found = desktop.sections.find(name);
        if (found != desktop.sections.end())
            return found->second;
        void* memory = MapShared(desktop, std::string("s-") + name, kMaxSectionSize, nullptr);
        if (memory)
            desktop.sections.emplace(name, memory);
        return memory;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

PLAT_API BOOL plat_user_hook_alive(HHOOK hook) { return HookAlive(hook) ? TRUE : FALSE; }

PLATCTL_API int platctl_user_use_desktop(const char* name)
{
    if (!ValidName(name, 32, false))
        return 0;
    Desktop& desktop = TheDesktop();
    std::lock_guard lock(desktop.mutex);
    if (desktop.inUse)
        return desktop.name == name ? 1 : 0;
    desktop.name = name;
    return 1;
}

PLATCTL_API void platctl_user_remove_desktop(void)
{
    Desktop& desktop = TheDesktop();
    std::lock_guard lock(desktop.mutex);
    for (const std::string& name : desktop.objectNames)
        shm_unlink(name.c_str());
    desktop.objectNames.clear();
}
