#include "SystemHacking.h"

#include "ModuleExports.h"

#include <atomic>
#include <dlfcn.h>

namespace VEL {

namespace {

constexpr UINT kPanelMessage = WM_USER + 0x104; // 0x504
constexpr const char* kPanelClass = "Shell_TrayWnd";

// The section every process of the desktop shares. Fields are read and written without a lock
// (single pointer-sized loads and stores); the hook procedure only reads them.
struct SharedSection {
    HHOOK hook;
    HWND targetWindow;
};

// This process's instance handle, recorded when the module is attached.
HINSTANCE g_instance = nullptr;

__attribute__((constructor)) void OnAttach()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OnAttach), &info) != 0)
        g_instance = info.dli_fbase;
}

// Mapped on first use; null if the platform could not provide it.
SharedSection* Shared()
{
    static SharedSection* section =
        static_cast<SharedSection*>(plat_user_shared_section("TrayHook32", sizeof(SharedSection)));
    return section;
}

template <class T>
T Read(T& field)
{
    return std::atomic_ref<T>(field).load();
}
template <class T>
void Write(T& field, T value)
{
    std::atomic_ref<T>(field).store(value);
}

} // namespace

bool CSystemHacking::Install(void* window)
{
    SharedSection* shared = Shared();
    if (!shared)
        return false;
    // One hook on the desktop. A hook whose process ended is gone, as the system removes it.
    HHOOK existing = Read(shared->hook);
    if (existing && plat_user_hook_alive(existing))
        return false;
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, &CSystemHacking::GetMessageProc, g_instance, 0);
    Write(shared->hook, hook);
    Write(shared->targetWindow, static_cast<HWND>(window)); // stored even if the hook failed
    return hook != nullptr;
}

int32_t CSystemHacking::Uninstall()
{
    SharedSection* shared = Shared();
    if (!shared)
        return 0;
    HHOOK hook = Read(shared->hook);
    if (!hook)
        return 0;
    const BOOL result = UnhookWindowsHookEx(hook);
    Write(shared->hook, static_cast<HHOOK>(nullptr));
    Write(shared->targetWindow, static_cast<HWND>(nullptr));
    return result;
}

CSystemHacking::~CSystemHacking() { Uninstall(); }

LRESULT CALLBACK CSystemHacking::GetMessageProc(INT code, WPARAM removeFlag, LPARAM message)
{
    SharedSection* shared = Shared();
    HHOOK hook = shared ? Read(shared->hook) : nullptr;
    if (code < 0 || !shared)
        return CallNextHookEx(hook, code, removeFlag, message);
    auto* msg = reinterpret_cast<MSG*>(message);
    if (msg && msg->message == kPanelMessage) {
        HWND panel = FindWindowA(kPanelClass, nullptr);
        if (panel && msg->hwnd == panel && GetForegroundWindow() == Read(shared->targetWindow))
            msg->message = WM_NULL;
    }
    return CallNextHookEx(hook, code, removeFlag, message);
}

} // namespace VEL

// The hook module's only export: the id comes by value and must be the hook module id.
VEL_EXPORT VEL::IVELInterface* CreateObject(GUID id)
{
    if (!VEL::IsSameId(id, VEL::ID_TrayHookModule))
        return nullptr;
    return new VEL::CSystemHacking();
}
