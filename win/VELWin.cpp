#include "VELWin.h"

#include "ModuleExports.h"

#include <cstring>
#include <string>

namespace VEL {

namespace {

constexpr LONG kWeights[7] = {300, 400, 500, 600, 700, 800, 900};

LONG WeightOf(uint32_t index) { return index < 7 ? kWeights[index] : 300; }

// What CreateFontByName asks for, handed to the enumeration callback.
struct FontRequest {
    LONG width;
    LONG height;
    LONG weight;
    BYTE italic;
    BYTE underline;
    BYTE strikeOut;
    bool found;
};

// Module-wide: the description the enumeration callback writes and CreateFontByName reads. It
// outlives each call, so a name that matches nothing reuses the face the last success found.
LOGFONTA g_font{};

void ApplyRequest(const FontRequest& request)
{
    g_font.lfHeight = request.height;
    g_font.lfWidth = request.width;
    g_font.lfWeight = request.weight;
    g_font.lfItalic = request.italic;
    g_font.lfUnderline = request.underline;
    g_font.lfStrikeOut = request.strikeOut;
    g_font.lfQuality = PROOF_QUALITY;
}

// The first face reported becomes the description, with the request's metrics; 0 ends the
// enumeration there.
INT OnFont(const LOGFONTA* font, const TEXTMETRICA* /*metrics*/, DWORD /*fontType*/, LPARAM context)
{
    auto* request = reinterpret_cast<FontRequest*>(context);
    g_font = *font;
    ApplyRequest(*request);
    request->found = true;
    return 0;
}

} // namespace

HFONT CVELWin::CreateFontByName(const char* faceName, int32_t width, int32_t height, uint32_t weight, bool italic,
                                bool underline, bool strikeOut)
{
    // A name must fit the 32-byte face-name field with its terminator; longer ones are refused
    // rather than cut to a different family's name.
    if (height == 0 || !faceName || std::strlen(faceName) >= LF_FACESIZE)
        return nullptr;

    LOGFONTA search{};
    search.lfCharSet = DEFAULT_CHARSET;
    search.lfPitchAndFamily = 0;
    std::strcpy(search.lfFaceName, faceName);
    search.lfWeight = WeightOf(weight);

    FontRequest request{width, height, WeightOf(weight), static_cast<BYTE>(italic ? 1 : 0),
                        static_cast<BYTE>(underline ? 1 : 0), static_cast<BYTE>(strikeOut ? 1 : 0), false};
    HDC dc = CreateCompatibleDC(nullptr);
    EnumFontFamiliesExA(dc, &search, &OnFont, reinterpret_cast<LPARAM>(&request), 0);
    DeleteDC(dc);
    // No face matched: the previous face stays, but this call's size and styles are used (the
    // previous call's metrics would give a font of the wrong size).
    if (!request.found)
        ApplyRequest(request);
    return CreateFontIndirectA(&g_font);
}

HDC CVELWin::GetDesktopDC()
{
    if (desktopDc_)
        return desktopDc_;
    desktopWindow_ = GetDesktopWindow();
    desktopDc_ = GetDCEx(desktopWindow_, nullptr, DCX_LOCKWINDOWUPDATE);
    return desktopDc_;
}

void CVELWin::ReleaseDesktopDC()
{
    if (!desktopDc_)
        return;
    ReleaseDC(desktopWindow_, desktopDc_);
    desktopWindow_ = nullptr;
    desktopDc_ = nullptr;
}

bool CVELWin::RunProcess(const char* commandLine)
{
    if (!commandLine)
        return false;
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    // CreateProcessA may write into the command line, so it gets its own copy.
    std::string line(commandLine);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void CVELWin::WaitWithMessages(uint32_t milliseconds)
{
    const DWORD start = timeGetTime();
    MSG msg;
    do {
        GetMessageA(&msg, nullptr, 0, 0);
        DispatchMessageA(&msg);
    } while (timeGetTime() - start < milliseconds);
}

} // namespace VEL

VEL_DEFINE_MODULE_EXPORTS(VEL::CVELWin)
