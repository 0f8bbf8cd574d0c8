// The taskbar hook library: its export, one installation per desktop between processes, removal
// by destruction or from another process, installers that die, and what the hook procedure does
// to the messages this process retrieves.
#include "EngineLibrary.h"
#include "control_user.h"
#include "win_user.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace VEL;

namespace {

// Every test process works on a desktop of its own, so parallel test runs do not meet.
class PrivateDesktop : public ::testing::Environment {
public:
    void SetUp() override
    {
        const std::string name = "hooktest-" + std::to_string(getpid());
        ASSERT_EQ(platctl_user_use_desktop(name.c_str()), 1);
    }
    void TearDown() override { platctl_user_remove_desktop(); }
};
[[maybe_unused]] auto* const g_desktop = ::testing::AddGlobalTestEnvironment(new PrivateDesktop);

HWND const kTarget = reinterpret_cast<HWND>(0x7A11);
HWND const kOtherWindow = reinterpret_cast<HWND>(0x0BE7);

// Runs `body` in a forked child; its result is the child's exit status (-1 if it was killed).
int InChild(const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class HookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.Loaded()) << lib.Error();
        create = lib.Export<PFN_CreateHookObject>("CreateObject");
        ASSERT_NE(create, nullptr);
        hook = New();
        ASSERT_NE(hook, nullptr);
    }
    void TearDown() override
    {
        if (hook)
            hook->Release(); // uninstalls whatever is left
        platctl_user_set_foreground_window(0, nullptr);
        MSG drain;
        while (PeekMessageA(&drain, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    ISystemHacking* New() { return static_cast<ISystemHacking*>(create(ID_TrayHookModule)); }

    // Posts one message to this thread as the system would deliver it and retrieves it.
    static UINT Deliver(HWND window, UINT message)
    {
        EXPECT_EQ(platctl_user_post_message(GetCurrentThreadId(), window, message, 0, 0), 1);
        MSG msg{};
        EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.hwnd, window);
        return msg.message;
    }

    veltest::EngineLibrary lib{"TrayHook32"};
    PFN_CreateHookObject create = nullptr;
    ISystemHacking* hook = nullptr;
};

TEST_F(HookTest, ExportTakesTheHookModuleIdByValue)
{
    EXPECT_EQ(lib.Symbol("GetDLLVersion"), nullptr) << "the hook library has no version export";
    GUID wrong = ID_TrayHookModule;
    wrong.Data4[7] ^= 1;
    EXPECT_EQ(create(wrong), nullptr);
    EXPECT_EQ(create(ID_VELFramework), nullptr);
    EXPECT_EQ(hook->AddRef(), 2);
    EXPECT_EQ(hook->Release(), 1);
    EXPECT_EQ(hook->GetRefCount(), 1);
}

TEST_F(HookTest, OneInstallationAtATimeAndUninstallReportsWhetherOneWasRemoved)
{
    EXPECT_EQ(hook->Uninstall(), 0) << "nothing installed";
    EXPECT_TRUE(hook->Install(kTarget));
    EXPECT_FALSE(hook->Install(kOtherWindow));
    veltest::Ref<ISystemHacking> second(New());
    EXPECT_FALSE(second->Install(kOtherWindow));

    // The first window stays the target: 0x504 is blanked while it, not the other, is in front.
    platctl_user_set_foreground_window(1, kTarget);
    EXPECT_EQ(Deliver(FindWindowA("Shell_TrayWnd", nullptr), 0x504), WM_NULL);
    platctl_user_set_foreground_window(1, kOtherWindow);
    EXPECT_EQ(Deliver(FindWindowA("Shell_TrayWnd", nullptr), 0x504), 0x504u);

    EXPECT_NE(second->Uninstall(), 0) << "any object removes the one hook";
    EXPECT_EQ(hook->Uninstall(), 0);
    EXPECT_TRUE(second->Install(kTarget));
    EXPECT_NE(second->Uninstall(), 0);
}

TEST_F(HookTest, DestroyingTheObjectUninstalls)
{
    ISystemHacking* first = New();
    ASSERT_TRUE(first->Install(kTarget));
    EXPECT_EQ(first->Release(), 0);
    platctl_user_set_foreground_window(1, kTarget);
    EXPECT_EQ(Deliver(FindWindowA("Shell_TrayWnd", nullptr), 0x504), 0x504u) << "the procedure no longer runs";
    EXPECT_TRUE(hook->Install(kTarget));
}

TEST_F(HookTest, HookProcedureBlanksOnlyThePanelMessageWhileTheTargetIsInFront)
{
    ASSERT_TRUE(hook->Install(kTarget));
    HWND panel = FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_NE(panel, nullptr);
    struct Case {
        HWND foreground;
        HWND window;
        UINT message;
        UINT expected;
    };
    const Case cases[] = {
        {kTarget, panel, 0x504, WM_NULL},
        {kTarget, panel, 0x503, 0x503},
        {kTarget, panel, 0x505, 0x505},
        {kTarget, panel, WM_KEYDOWN, WM_KEYDOWN},
        {kTarget, kTarget, 0x504, 0x504},           // another window, even the target itself
        {kTarget, nullptr, 0x504, 0x504},           // a thread message
        {kOtherWindow, panel, 0x504, 0x504},        // another window in front
        {nullptr, panel, 0x504, 0x504},             // nothing in front
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "foreground " << c.foreground << " window " << c.window << " message 0x"
                                        << std::hex << c.message);
        platctl_user_set_foreground_window(1, c.foreground);
        EXPECT_EQ(Deliver(c.window, c.message), c.expected);
    }
    // Looked at without removal, the message is shown blanked and stays queued.
    platctl_user_set_foreground_window(1, kTarget);
    ASSERT_EQ(platctl_user_post_message(GetCurrentThreadId(), panel, 0x504, 0, 0), 1);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_NULL);
    EXPECT_EQ(platctl_user_queued_messages(GetCurrentThreadId()), 1u);

    EXPECT_NE(hook->Uninstall(), 0);
    EXPECT_EQ(Deliver(panel, 0x504), 0x504u) << "uninstalled: nothing blanked";
}

TEST_F(HookTest, AnotherProcessCannotInstallWhileTheFirstHoldsTheHook)
{
    ASSERT_TRUE(hook->Install(kTarget));
    const int childResult = InChild([this] {
        ISystemHacking* other = New();
        const bool installed = other->Install(kOtherWindow);
        // Releasing the child's object uninstalls: that would remove the parent's hook, so the
        // object is left alive (the process ends right after).
        return installed ? 1 : 0;
    });
    EXPECT_EQ(childResult, 0) << "the second Install succeeded in another process";
    platctl_user_set_foreground_window(1, kTarget);
    EXPECT_EQ(Deliver(FindWindowA("Shell_TrayWnd", nullptr), 0x504), WM_NULL) << "the parent's hook still works";

    // Any process removes the one hook; the parent's procedure stops running.
    EXPECT_EQ(InChild([this] { return New()->Uninstall() != 0 ? 0 : 1; }), 0);
    EXPECT_EQ(Deliver(FindWindowA("Shell_TrayWnd", nullptr), 0x504), 0x504u);
    EXPECT_EQ(hook->Uninstall(), 0) << "already removed";
    EXPECT_TRUE(hook->Install(kTarget));
}

TEST_F(HookTest, AnInstallerThatDiedDoesNotBlock)
{
    int ready[2], hold[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(hold), 0);
    const pid_t child = fork();
    if (child == 0) {
        char byte = New()->Install(kOtherWindow) ? 'y' : 'n';
        if (write(ready[1], &byte, 1) != 1)
            _exit(2);
        read(hold[0], &byte, 1); // until the parent kills us
        _exit(0);
    }
    char installed = 0;
    ASSERT_EQ(read(ready[0], &installed, 1), 1);
    EXPECT_EQ(installed, 'y');
    EXPECT_FALSE(hook->Install(kTarget)) << "the child's hook is alive";

    kill(child, SIGKILL); // no Uninstall, no destructor
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(hook->Install(kTarget)) << "a dead process's hook must not block";

    for (int fd : {ready[0], ready[1], hold[0], hold[1]})
        close(fd);
}

} // namespace
