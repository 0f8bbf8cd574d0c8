// Thread message queues, message hooks, the desktop's windows and the data sections shared across
// processes, as the windows and taskbar-hook libraries use them.
#include "control_user.h"
#include "win_user.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Every test process works on a desktop of its own, so parallel test runs do not meet.
class PrivateDesktop : public ::testing::Environment {
public:
    void SetUp() override
    {
        const std::string name = "usertest-" + std::to_string(getpid());
        ASSERT_EQ(platctl_user_use_desktop(name.c_str()), 1);
    }
    void TearDown() override { platctl_user_remove_desktop(); }
};
[[maybe_unused]] auto* const g_desktop = ::testing::AddGlobalTestEnvironment(new PrivateDesktop);

HWND const kWindowA = reinterpret_cast<HWND>(0xA000);
HWND const kWindowB = reinterpret_cast<HWND>(0xB000);

void Drain()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

int ChildStatus(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(MessageQueue, FiltersPickByWindowAndRangeInPostingOrder)
{
    Drain();
    const DWORD self = GetCurrentThreadId();
    ASSERT_TRUE(PostThreadMessageA(self, WM_USER + 1, 11, 0));
    ASSERT_EQ(platctl_user_post_message(self, kWindowA, WM_USER + 2, 22, 0), 1);
    ASSERT_EQ(platctl_user_post_message(self, kWindowB, WM_USER + 3, 33, 0), 1);
    ASSERT_EQ(platctl_user_post_message(self, kWindowA, WM_USER + 4, 44, 0), 1);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, kWindowB, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 33u);
    ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE)); // thread messages only
    EXPECT_EQ(msg.wParam, 11u);
    EXPECT_EQ(msg.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 4, WM_USER + 9, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 44u);
    EXPECT_FALSE(PeekMessageA(&msg, kWindowB, 0, 0, PM_REMOVE));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 11u) << "oldest first";
    ASSERT_EQ(GetMessageA(&msg, kWindowA, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 22u);
    EXPECT_EQ(platctl_user_queued_messages(self), 0u);

    PostQuitMessage(3);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PostThreadMessageA(0, WM_USER, 0, 0));
}

TEST(MessageQueue, PostsFromAnotherThreadWakeWaitsAndAFullQueueRefuses)
{
    Drain();
    const DWORD self = GetCurrentThreadId();
    std::thread poster([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        PostThreadMessageA(self, WM_USER, 1, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        PostThreadMessageA(self, WM_USER, 2, 0);
    });
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE); // blocks until the second post
    EXPECT_EQ(msg.wParam, 2u);
    poster.join();

    int posted = 0;
    while (posted < 20000 && PostThreadMessageA(self, WM_USER, 0, 0))
        ++posted;
    EXPECT_EQ(posted, 10000);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_QUOTA);
    Drain();
}

TEST(MessageQueue, DispatchCallsTimerProceduresOnly)
{
    static int calls = 0;
    static UINT_PTR seenId = 0;
    calls = 0;
    MSG timer{kWindowA, WM_TIMER, 42, 0, 0, {0, 0}};
    timer.lParam = reinterpret_cast<LPARAM>(+[](HWND window, UINT message, UINT_PTR id, DWORD) {
        ++calls;
        seenId = id;
        EXPECT_EQ(window, kWindowA);
        EXPECT_EQ(message, WM_TIMER);
    });
    EXPECT_EQ(DispatchMessageA(&timer), 0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seenId, 42u);
    MSG other = timer;
    other.message = WM_USER;
    EXPECT_EQ(DispatchMessageA(&other), 0);
    EXPECT_EQ(DispatchMessageA(nullptr), 0);
    EXPECT_EQ(calls, 1);
}

// Hook procedures that record their order and change the message.
std::vector<int> g_order;
LRESULT CALLBACK First(INT code, WPARAM flag, LPARAM lParam)
{
    g_order.push_back(1);
    auto* msg = reinterpret_cast<MSG*>(lParam);
    EXPECT_EQ(msg->message, WM_USER + 7u) << "the later hook's change is seen";
    return CallNextHookEx(nullptr, code, flag, lParam);
}
LRESULT CALLBACK Second(INT code, WPARAM flag, LPARAM lParam)
{
    g_order.push_back(2);
    EXPECT_EQ(code, HC_ACTION);
    reinterpret_cast<MSG*>(lParam)->message = WM_USER + 7;
    return CallNextHookEx(nullptr, code, flag, lParam);
}

TEST(MessageHooks, MostRecentRunsFirstAndTheChainPassesTheChangedMessageOn)
{
    Drain();
    EXPECT_EQ(CallNextHookEx(nullptr, HC_ACTION, 0, 0), 0) << "outside a chain";
    const DWORD self = GetCurrentThreadId();
    HHOOK first = SetWindowsHookExA(WH_GETMESSAGE, &First, nullptr, self);
    HHOOK second = SetWindowsHookExA(WH_GETMESSAGE, &Second, nullptr, 0);
    HHOOK elsewhere = SetWindowsHookExA(WH_GETMESSAGE, &First, nullptr, self + 1000); // another thread's
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(elsewhere, nullptr);
    EXPECT_NE(first, second);
    EXPECT_TRUE(plat_user_hook_alive(first));

    g_order.clear();
    ASSERT_TRUE(PostThreadMessageA(self, WM_USER, 0, 0));
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_USER + 7u);
    EXPECT_EQ(g_order, (std::vector<int>{2, 1}));

    EXPECT_TRUE(UnhookWindowsHookEx(second));
    EXPECT_FALSE(UnhookWindowsHookEx(second));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HOOK_HANDLE);
    EXPECT_FALSE(plat_user_hook_alive(second));
    EXPECT_TRUE(UnhookWindowsHookEx(first));
    EXPECT_TRUE(UnhookWindowsHookEx(elsewhere));
    g_order.clear();
    ASSERT_TRUE(PostThreadMessageA(self, WM_USER, 0, 0));
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_TRUE(g_order.empty());

    EXPECT_EQ(SetWindowsHookExA(2, &First, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HOOK_FILTER);
    EXPECT_EQ(SetWindowsHookExA(WH_GETMESSAGE, nullptr, nullptr, 0), nullptr);
    for (uintptr_t bad : {uintptr_t{0}, uintptr_t{1}, uintptr_t{0xFFFF}, ~uintptr_t{0}})
        EXPECT_FALSE(UnhookWindowsHookEx(reinterpret_cast<HHOOK>(bad)));
}

TEST(MessageHooks, HooksSetOnManyThreadsAtOnceGetDistinctHandles)
{
    constexpr int kThreads = 8, kEach = 24;
    std::vector<HHOOK> handles(kThreads * kEach);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&handles, t] {
            for (int i = 0; i < kEach; ++i)
                handles[t * kEach + i] = SetWindowsHookExA(WH_GETMESSAGE, &First, nullptr, 1);
        });
    for (std::thread& thread : threads)
        thread.join();
    std::vector<HHOOK> sorted = handles;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "two hooks share a handle";
    for (HHOOK hook : handles) {
        EXPECT_NE(hook, nullptr);
        EXPECT_TRUE(UnhookWindowsHookEx(hook));
    }
}

TEST(MessageHooks, AHookIsGoneWhenTheProcessThatSetItEnds)
{
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    if (child == 0) {
        HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, &First, nullptr, 0);
        const bool written = write(channel[1], &hook, sizeof hook) == sizeof hook;
        _exit(written && hook ? 0 : 1);
    }
    HHOOK fromChild = nullptr;
    ASSERT_EQ(read(channel[0], &fromChild, sizeof fromChild), static_cast<ssize_t>(sizeof fromChild));
    EXPECT_EQ(ChildStatus(child), 0);
    ASSERT_NE(fromChild, nullptr);
    EXPECT_FALSE(plat_user_hook_alive(fromChild));
    EXPECT_FALSE(UnhookWindowsHookEx(fromChild));
    close(channel[0]);
    close(channel[1]);
}

TEST(SharedSections, OneZeroFilledSectionPerNameAcrossProcesses)
{
    auto* a = static_cast<uint32_t*>(plat_user_shared_section("probe-a", 16));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a[0], 0u);
    EXPECT_EQ(plat_user_shared_section("probe-a", 16), a);
    EXPECT_NE(plat_user_shared_section("probe-b", 16), a);

    // A child opens a section this process has not opened yet and writes into it.
    const pid_t child = fork();
    if (child == 0) {
        auto* fresh = static_cast<uint32_t*>(plat_user_shared_section("probe-c", 16));
        if (!fresh || fresh[0] != 0)
            _exit(1);
        fresh[0] = 0xC0FFEE;
        _exit(0);
    }
    EXPECT_EQ(ChildStatus(child), 0);
    auto* c = static_cast<uint32_t*>(plat_user_shared_section("probe-c", 16));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c[0], 0xC0FFEEu);

    const std::string tooLong(65, 'n');
    for (const char* bad : {"", "a/b", tooLong.c_str(), static_cast<const char*>(nullptr)})
        EXPECT_EQ(plat_user_shared_section(bad, 16), nullptr);
    EXPECT_EQ(plat_user_shared_section("probe-a", 0), nullptr);
    EXPECT_EQ(plat_user_shared_section("probe-a", 64 * 1024 + 1), nullptr);
    EXPECT_EQ(platctl_user_use_desktop("other"), 0) << "the desktop is in use";
}

TEST(Desktop, StandInWindowsAndTheDesktopContext)
{
    HWND desktop = GetDesktopWindow();
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(GetDCEx(desktop, nullptr, DCX_LOCKWINDOWUPDATE), GetDC(nullptr));
    EXPECT_EQ(GetDCEx(nullptr, nullptr, 0), GetDC(nullptr));
    EXPECT_EQ(GetDCEx(kWindowA, nullptr, 0), nullptr);
    EXPECT_EQ(ReleaseDC(desktop, GetDC(desktop)), 1);

    HWND panel = FindWindowA("Shell_TrayWnd", nullptr);
    EXPECT_NE(panel, nullptr);
    EXPECT_NE(panel, desktop);
    EXPECT_EQ(FindWindowA("Shell_TrayWnd", nullptr), panel);
    EXPECT_EQ(FindWindowA("NoSuchClass", nullptr), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, nullptr), nullptr);

    // SDL windows are found by title.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("vel find me", 0, 0, 32, 32, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    EXPECT_EQ(FindWindowA(nullptr, "vel find me"), window);
    EXPECT_EQ(FindWindowA("SDL_app", "vel find me"), window);
    EXPECT_EQ(FindWindowA(nullptr, "vel not me"), nullptr);
    EXPECT_EQ(FindWindowA("Shell_TrayWnd", "vel find me"), nullptr);
    SDL_DestroyWindow(window);
    EXPECT_EQ(FindWindowA(nullptr, "vel find me"), nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);

    platctl_user_set_foreground_window(1, kWindowB);
    EXPECT_EQ(GetForegroundWindow(), kWindowB);
    platctl_user_set_foreground_window(1, nullptr);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    platctl_user_set_foreground_window(0, nullptr);
}

} // namespace
