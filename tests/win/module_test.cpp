// libVELWin6 as a host uses it: exports, fonts by name with the weight table, the desktop's
// device context, RunProcess and WaitWithMessages.
#include "EngineLibrary.h"
#include "control_kernel.h"
#include "control_user.h"
#include "win_user.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

// Address-sanitizer builds: fontconfig keeps part of its parsed configuration unreachable for the
// life of the process; that is the library's, not a leak of ours.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

using namespace VEL;
using veltest::Ref;

namespace {

// The family the set-up installs (fonts-dejavu-core: regular and bold faces).
constexpr const char* kFamily = "DejaVu Sans";

class WinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.Loaded()) << lib.Error();
        root = lib.CreateRoot<IVELWin>();
        ASSERT_NE(root, nullptr);
    }
    void TearDown() override
    {
        if (root) {
            EXPECT_EQ(root->Release(), 0);
        }
    }

    static LOGFONTA Describe(HFONT font)
    {
        LOGFONTA description{};
        EXPECT_EQ(GetObjectA(font, sizeof description, &description), static_cast<INT>(sizeof description));
        return description;
    }
    static std::string Style(HFONT font, int* syntheticBold = nullptr, int* syntheticItalic = nullptr)
    {
        char style[64] = {};
        EXPECT_EQ(platctl_user_font_face(font, nullptr, 0, style, sizeof style, syntheticBold, syntheticItalic), 1);
        return style;
    }

    veltest::EngineLibrary lib{"VELWin6"};
    IVELWin* root = nullptr;
};

TEST_F(WinTest, FontsResolveTheInstalledFamilyWithTheWeightTable)
{
    struct Case {
        uint32_t index;
        LONG weight;
    };
    const Case cases[] = {{0, 300}, {1, 400}, {2, 500}, {3, 600}, {4, 700}, {5, 800}, {6, 900}, {7, 300}, {0xFFFFFFFFu, 300}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        HFONT font = root->CreateFontByName(kFamily, 0, -20, c.index, false, false, false);
        ASSERT_NE(font, nullptr);
        const LOGFONTA description = Describe(font);
        EXPECT_STREQ(description.lfFaceName, kFamily);
        EXPECT_EQ(description.lfWeight, c.weight);
        EXPECT_EQ(description.lfHeight, -20);
        EXPECT_EQ(description.lfWidth, 0);
        EXPECT_EQ(description.lfQuality, PROOF_QUALITY);
        int syntheticBold = -1;
        const std::string style = Style(font, &syntheticBold);
        // The family's bold face serves every weight from 600 up; lighter ones get a lighter face.
        EXPECT_EQ(style.find("Bold") != std::string::npos, c.weight >= 600) << style;
        EXPECT_EQ(syntheticBold, 0);
        EXPECT_TRUE(DeleteObject(font));
    }
}

TEST_F(WinTest, FontStylesAndSizesReachTheFont)
{
    HFONT plain = root->CreateFontByName(kFamily, 0, 24, 1, false, false, false);
    HFONT styled = root->CreateFontByName(kFamily, 9, 24, 1, true, true, true);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(styled, nullptr);
    const LOGFONTA description = Describe(styled);
    EXPECT_EQ(description.lfItalic, 1);
    EXPECT_EQ(description.lfUnderline, 1);
    EXPECT_EQ(description.lfStrikeOut, 1);
    EXPECT_EQ(description.lfWidth, 9);
    int syntheticItalic = 0;
    const std::string style = Style(styled, nullptr, &syntheticItalic);
    EXPECT_TRUE(syntheticItalic || style.find("Oblique") != std::string::npos) << style;

    SIZE a{}, b{};
    ASSERT_TRUE(plat_user_text_extent(plain, "Hello", &a));
    ASSERT_TRUE(plat_user_text_extent(styled, "Hello", &b));
    EXPECT_EQ(a.cy, 24) << "a positive height is the cell height";
    EXPECT_LT(b.cx, a.cx) << "width 9 is narrower than the face's own average at this size";
    EXPECT_TRUE(DeleteObject(plain));
    EXPECT_TRUE(DeleteObject(styled));
}

TEST_F(WinTest, BadFontRequestsGiveNull)
{
    EXPECT_EQ(root->CreateFontByName(kFamily, 0, 0, 1, false, false, false), nullptr) << "height 0";
    EXPECT_EQ(root->CreateFontByName(nullptr, 0, 12, 1, false, false, false), nullptr);
    const std::string longest(31, 'x');
    const std::string tooLong(32, 'x');
    EXPECT_EQ(root->CreateFontByName(tooLong.c_str(), 0, 12, 1, false, false, false), nullptr);
    EXPECT_EQ(root->CreateFontByName((tooLong + "yyyyyyyyyyyyyyyyyyyy").c_str(), 0, 12, 1, false, false, false), nullptr);
    HFONT fits = root->CreateFontByName(longest.c_str(), 0, 12, 1, false, false, false);
    EXPECT_NE(fits, nullptr) << "a 31-character name fits; no such family falls back to a face";
    DeleteObject(fits);
}

TEST_F(WinTest, UnknownFamilyKeepsTheLastFaceWithTheNewMetrics)
{
    HFONT known = root->CreateFontByName("DejaVu Sans Mono", 0, 30, 4, false, false, false);
    ASSERT_NE(known, nullptr);
    HFONT unknown = root->CreateFontByName("No Such Family At All", 0, -11, 1, false, true, false);
    ASSERT_NE(unknown, nullptr);
    const LOGFONTA description = Describe(unknown);
    EXPECT_STREQ(description.lfFaceName, "DejaVu Sans Mono");
    EXPECT_EQ(description.lfHeight, -11);
    EXPECT_EQ(description.lfWeight, 400);
    EXPECT_EQ(description.lfUnderline, 1);
    DeleteObject(known);
    DeleteObject(unknown);
}

TEST_F(WinTest, DesktopContextIsBorrowedOnceAndReportsTheScreen)
{
    root->ReleaseDesktopDC(); // nothing borrowed: nothing happens
    HDC dc = root->GetDesktopDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(root->GetDesktopDC(), dc);
    EXPECT_EQ(dc, GetDC(GetDesktopWindow()));
    EXPECT_GT(GetDeviceCaps(dc, HORZRES), 0);
    EXPECT_GT(GetDeviceCaps(dc, VERTRES), 0);
    EXPECT_GT(GetDeviceCaps(dc, BITSPIXEL), 0);
    root->ReleaseDesktopDC();
    root->ReleaseDesktopDC();
    EXPECT_EQ(root->GetDesktopDC(), dc);
    root->ReleaseDesktopDC();
}

TEST_F(WinTest, RunProcessReturnsAfterTheProgramEnded)
{
    char pattern[] = "/tmp/vel-run-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string marker = std::string(pattern) + "/done";
    const uint32_t handles = platctl_kernel_open_handles();
    const std::string line = "sh -c \"sleep 0.3; echo finished > '" + marker + "'\"";
    EXPECT_TRUE(root->RunProcess(line.c_str()));
    std::string text;
    std::ifstream(marker) >> text;
    EXPECT_EQ(text, "finished") << "RunProcess returned before the program ended";
    EXPECT_EQ(platctl_kernel_open_handles(), handles) << "process and thread handles are closed";
    std::remove(marker.c_str());
    rmdir(pattern);

    EXPECT_TRUE(root->RunProcess("sh -c \"exit 5\"")) << "the exit code is not read";
}

TEST_F(WinTest, RunProcessFailsForProgramsThatCannotStart)
{
    const uint32_t handles = platctl_kernel_open_handles();
    EXPECT_FALSE(root->RunProcess("vel-no-such-program --flag"));
    EXPECT_FALSE(root->RunProcess("/nonexistent/folder/program"));
    EXPECT_FALSE(root->RunProcess(""));
    EXPECT_FALSE(root->RunProcess("   "));
    EXPECT_FALSE(root->RunProcess("sh -c \"true"));
    EXPECT_FALSE(root->RunProcess(nullptr));
    EXPECT_EQ(platctl_kernel_open_handles(), handles);
}

// A timer procedure standing for the work a dispatched message does: it counts and moves the
// manual clock on.
std::atomic<int> g_ticks{0};
void OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    ++g_ticks;
    platctl_clock_advance(40);
}

TEST_F(WinTest, WaitWithMessagesTakesOneMessageForZeroAndDispatchesUntilTheTimeHasPassed)
{
    const DWORD self = GetCurrentThreadId();
    MSG drain;
    while (PeekMessageA(&drain, nullptr, 0, 0, PM_REMOVE)) {
    }
    platctl_clock_use_manual(1000);
    g_ticks = 0;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(PostThreadMessageA(self, WM_TIMER, 1, reinterpret_cast<LPARAM>(&OnTick)));
    root->WaitWithMessages(0);
    EXPECT_EQ(g_ticks, 1);
    EXPECT_EQ(platctl_user_queued_messages(self), 2u) << "exactly one message taken for 0 ms";

    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(PostThreadMessageA(self, WM_TIMER, 1, reinterpret_cast<LPARAM>(&OnTick)));
    g_ticks = 0;
    root->WaitWithMessages(100); // 40 ms per message: the third reaches 120 >= 100
    EXPECT_EQ(g_ticks, 3);
    EXPECT_EQ(platctl_user_queued_messages(self), 3u);
    platctl_clock_use_real();
    while (PeekMessageA(&drain, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TEST_F(WinTest, WaitWithMessagesBlocksUntilAMessageComesAndConsumesQuit)
{
    const DWORD self = GetCurrentThreadId();
    std::thread poster([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        PostThreadMessageA(self, WM_QUIT, 0, 0);
    });
    const DWORD start = timeGetTime();
    root->WaitWithMessages(0);
    EXPECT_GE(timeGetTime() - start, 80u) << "returned before any message arrived";
    poster.join();
    EXPECT_EQ(platctl_user_queued_messages(self), 0u) << "the quit message is taken, not posted again";
}

TEST_F(WinTest, WaitWithMessagesLeavesSdlEventsToTheHost)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    const Uint32 custom = SDL_RegisterEvents(1);
    ASSERT_NE(custom, static_cast<Uint32>(-1));
    MSG drain;
    while (PeekMessageA(&drain, nullptr, 0, 0, PM_REMOVE)) { // also makes this the event thread
    }
    std::thread pusher([custom] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        SDL_Event event{};
        event.type = custom;
        event.user.code = 77;
        SDL_PushEvent(&event);
    });
    root->WaitWithMessages(0);
    pusher.join();
    bool seen = false;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        seen = seen || (event.type == custom && event.user.code == 77);
    EXPECT_TRUE(seen) << "the host's event was taken by the wait";
    while (PeekMessageA(&drain, nullptr, 0, 0, PM_REMOVE)) {
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

} // namespace
