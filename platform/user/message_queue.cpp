// Thread message queues, their retrieval and dispatch, and the bridge from SDL's event queue.
//
// Queues: one per thread id, created on first post or read, guarded by one mutex. A post also
// marks the thread's "new input" in the kernel (thread_input.h) so GetMessageA's wait and the
// host's MsgWaitForMultipleObjects wake.
//
// SDL bridge (why this way): the host runs its own SDL event loop and must find every event there
// after a timed wait of ours. So we never take events out of SDL's queue: an event watch (called
// by SDL for each event as it is added) posts a window message describing it to the event thread,
// and the event thread pumps SDL while it waits, which keeps its windows answering the desktop.
// The event watch is re-registered on each retrieval because SDL drops its watches when the host
// shuts the event subsystem down.
#include "user_internal.h"
#include "control_user.h"
#include "thread_input.h"

#include <SDL.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <new>
#include <unordered_map>

namespace plat::user {
namespace {

constexpr size_t kQueueLimit = 10000;
constexpr DWORD kPumpIntervalMs = 10;
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

struct Queues {
    std::mutex mutex;
    std::unordered_map<DWORD, std::deque<MSG>> byThread; // guarded by mutex
};

Queues& AllQueues()
{
    static Queues* queues = new Queues;
    return *queues;
}

std::atomic<DWORD> g_eventThread{0};

// Forgets the queue of a thread that ends (only threads that used one).
struct QueueOwner {
    DWORD id = 0;
    ~QueueOwner()
    {
        if (id == 0)
            return;
        Queues& queues = AllQueues();
        std::lock_guard lock(queues.mutex);
        queues.byThread.erase(id);
        DWORD self = id;
        g_eventThread.compare_exchange_strong(self, 0);
    }
};
thread_local QueueOwner t_owner;

bool Post(DWORD threadId, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = timeGetTime();
    Queues& queues = AllQueues();
    try {
        std::lock_guard lock(queues.mutex);
        std::deque<MSG>& queue = queues.byThread[threadId];
        if (queue.size() >= kQueueLimit) {
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
            return false;
        }
        queue.push_back(msg);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    plat_kernel_post_thread_input(threadId);
    return true;
}

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (window == kThreadMessagesOnly) {
        if (msg.hwnd)
            return false;
    } else if (window && msg.hwnd != window) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0)
        return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

// The first matching message of the calling thread; removed when `remove`.
bool Take(HWND window, UINT filterMin, UINT filterMax, bool remove, MSG* out)
{
    const DWORD self = GetCurrentThreadId();
    t_owner.id = self;
    plat_kernel_clear_thread_input(self);
    Queues& queues = AllQueues();
    std::lock_guard lock(queues.mutex);
    auto found = queues.byThread.find(self);
    if (found == queues.byThread.end())
        return false;
    std::deque<MSG>& queue = found->second;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (Matches(*it, window, filterMin, filterMax)) {
            *out = *it;
            if (remove)
                queue.erase(it);
            return true;
        }
    }
    return false;
}

HWND WindowOf(Uint32 windowId)
{
    return windowId ? SDL_GetWindowFromID(windowId) : nullptr;
}

UINT MouseButtonMessage(Uint8 button, bool down)
{
    switch (button) {
    case SDL_BUTTON_LEFT:
        return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case SDL_BUTTON_RIGHT:
        return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case SDL_BUTTON_MIDDLE:
        return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default:
        return WM_NULL;
    }
}

LPARAM PackPoint(Sint32 x, Sint32 y)
{
    return static_cast<LPARAM>((static_cast<uint32_t>(y & 0xFFFF) << 16) | static_cast<uint32_t>(x & 0xFFFF));
}

// Called by SDL, on the thread adding the event, for every event added to SDL's queue.
int SDLCALL OnSdlEvent(void* /*userdata*/, SDL_Event* event)
{
    const DWORD target = g_eventThread.load();
    if (target == 0)
        return 1;
    HWND window = nullptr;
    UINT message = WM_NULL;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    switch (event->type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        window = WindowOf(event->key.windowID);
        message = event->type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP;
        wParam = static_cast<WPARAM>(event->key.keysym.sym);
        lParam = static_cast<LPARAM>(event->key.keysym.scancode) << 16;
        break;
    case SDL_TEXTINPUT:
        window = WindowOf(event->text.windowID);
        message = WM_CHAR;
        wParam = static_cast<unsigned char>(event->text.text[0]);
        break;
    case SDL_MOUSEMOTION:
        window = WindowOf(event->motion.windowID);
        message = WM_MOUSEMOVE;
        lParam = PackPoint(event->motion.x, event->motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        window = WindowOf(event->button.windowID);
        message = MouseButtonMessage(event->button.button, event->type == SDL_MOUSEBUTTONDOWN);
        lParam = PackPoint(event->button.x, event->button.y);
        break;
    case SDL_MOUSEWHEEL:
        window = WindowOf(event->wheel.windowID);
        message = WM_MOUSEWHEEL;
        wParam = static_cast<WPARAM>(static_cast<uint32_t>(event->wheel.y * 120) << 16);
        break;
    case SDL_WINDOWEVENT:
        window = WindowOf(event->window.windowID);
        switch (event->window.event) {
        case SDL_WINDOWEVENT_MOVED:
            message = WM_MOVE;
            lParam = PackPoint(event->window.data1, event->window.data2);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            message = WM_SIZE;
            lParam = PackPoint(event->window.data1, event->window.data2);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            message = WM_SETFOCUS;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            message = WM_KILLFOCUS;
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            message = WM_PAINT;
            break;
        case SDL_WINDOWEVENT_CLOSE:
            message = WM_CLOSE;
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    // A full queue drops the message; the event itself is still in SDL's queue.
    Post(target, window, message, wParam, lParam);
    return 1;
}

// True when the calling thread is the event thread of a running SDL video subsystem (it becomes
// it if there is none yet); then the watch is registered and SDL's events are pumped.
bool PumpSdlIfEventThread()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    const DWORD self = GetCurrentThreadId();
    DWORD expected = 0;
    if (!g_eventThread.compare_exchange_strong(expected, self) && expected != self)
        return false;
    t_owner.id = self;
    SDL_DelEventWatch(&OnSdlEvent, nullptr);
    SDL_AddEventWatch(&OnSdlEvent, nullptr);
    SDL_PumpEvents();
    return true;
}

// The owner of a window's messages: the event thread, or the caller while there is none.
DWORD OwnerThread()
{
    const DWORD events = g_eventThread.load();
    return events ? events : GetCurrentThreadId();
}

} // namespace
} // namespace plat::user

using namespace plat::user;

PLAT_API BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    for (;;) {
        const bool pumping = PumpSdlIfEventThread();
        if (Take(window, filterMin, filterMax, true, msg)) {
            RunGetMessageHooks(msg, PM_REMOVE);
            return msg->message == WM_QUIT ? FALSE : TRUE;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, pumping ? kPumpIntervalMs : INFINITE, QS_ALLINPUT);
    }
}

PLAT_API BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PumpSdlIfEventThread();
    const bool remove = (removeFlags & PM_REMOVE) != 0;
    if (!Take(window, filterMin, filterMax, remove, msg))
        return FALSE;
    RunGetMessageHooks(msg, remove ? PM_REMOVE : PM_NOREMOVE);
    return TRUE;
}

PLAT_API LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        auto procedure = reinterpret_cast<TIMERPROC>(msg->lParam);
        procedure(msg->hwnd, WM_TIMER, msg->wParam, timeGetTime());
    }
    return 0;
}

PLAT_API BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (threadId == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return Post(threadId, nullptr, message, wParam, lParam) ? TRUE : FALSE;
}

PLAT_API BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const DWORD owner = window ? OwnerThread() : GetCurrentThreadId();
    return Post(owner, window, message, wParam, lParam) ? TRUE : FALSE;
}

PLAT_API void PostQuitMessage(INT exitCode)
{
    Post(GetCurrentThreadId(), nullptr, WM_QUIT, static_cast<WPARAM>(static_cast<uint32_t>(exitCode)), 0);
}

PLATCTL_API int platctl_user_post_message(uint32_t thread_id, void* window, uint32_t message, uintptr_t wparam,
                                          intptr_t lparam)
{
    return Post(thread_id, static_cast<HWND>(window), message, wparam, lparam) ? 1 : 0;
}

PLATCTL_API uint32_t platctl_user_queued_messages(uint32_t thread_id)
{
    Queues& queues = AllQueues();
    std::lock_guard lock(queues.mutex);
    auto found = queues.byThread.find(thread_id);
    return found == queues.byThread.end() ? 0u : static_cast<uint32_t>(found->second.size());
}
